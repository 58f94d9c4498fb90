// The camera's names for the media it records on the card: the one place that knows them, for
// the media list, media operations, metadata requests and the media database client.
//
// Folders below DCIM are "NNN" + a type suffix, NNN from 100 to 999:
//   TAVRO  'T'  ordinary recordings          Q3D_L  'L'  3D left eye
//   Q3D_R  'R'  3D right eye                 QFRNT  'F'  front lens (dual-lens cameras)
//   QBACK  'B'  back lens
// Files are twelve characters, "PPPPnnnn.EXT": a four-character prefix, a four-digit file
// number, a dot, a three-letter extension (MP4, 360, LRV proxy, THM thumbnail, JPG, ZQR raw
// photo, WAV audio, MRV). In the prefix:
//   - a chaptered clip's chapter k (1 to 99) is "ZQkk" (older) or "Qxkk" (newer: QB back lens,
//     QF front lens, QS, QH, QX, QL, QM); its first chapter is "TAVR";
//   - a photo group (burst, time-lapse) is "Qggg", "Lggg" or "Rggg" (group ggg, 001-999), or
//     "ZQ"/"QS"/"QH"/"QX"/"QL"/"QM" followed by two capital letters (groups from 1001), or a
//     JPG "ZQgg"/"QSgg"/"QBgg"/"QFgg" (gg 01-99).
// Names come from the card and from clients: every function here reads only the characters
// it is given (a shorter name simply does not match).
#ifndef ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQMEDIANAMES_H_
#define ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQMEDIANAMES_H_

#include <cstddef>
#include <string>
#include <string_view>

// Length of a media file name.
inline constexpr size_t kZqMediaNameLength = 12;

// The number of a folder name ("100TAVRO" -> 100), or -1 when it does not start with one.
int zq_media_folder_number(std::string_view name);

// The type letter of a media folder's whole name ("100QBACK" -> 'B'), or 0 when it is none.
char zq_media_folder_type(std::string_view name);

// The suffix of folder type `type` ("TAVRO" for a letter that is no type).
const char* zq_media_folder_suffix(char type);

// The extension of a twelve-character name with its dot as the ninth character ("MP4"), or ""
// for any other name.
std::string_view zq_media_extension(std::string_view name);

// True for a twelve-character name whose file number is four digits and whose extension is
// `ext` ("ZQ010001.MP4" with "MP4").
bool zq_media_name_is(std::string_view name, std::string_view ext);

// The four-digit file number of a twelve-character name, or -1.
int zq_media_file_number(std::string_view name);

// The chapter (1 to 99) of a chaptered clip's file (MP4, MRV, 360, LRV or WAV), or -1 for the
// first chapter and every other name.
int zq_media_chapter(std::string_view name);

// The group of a photo group member (JPG or ZQR), or -1.
int zq_media_group_id(std::string_view name);

// The name of chapter `chapter` (0 for the first) of clip `number` with extension `ext`:
// "TAVR0005.MP4", "ZQ020005.LRV".
std::string zq_media_chapter_name(int chapter, long number, std::string_view ext);

// The thumbnail beside a clip: its name with the last four characters replaced by ".THM".
std::string zq_media_thumbnail_of(std::string_view clip);

// True when `name` ends in `suffix` (".MP4"), in any case, with at least one character before.
bool zq_media_has_suffix(std::string_view name, std::string_view suffix);

// Rewrites a back-lens path ("100QBACK/QB010021.MP4", or any text holding it) into its
// front-lens twin ("100QFRNT/QF010021.MP4"; "ZQBK" becomes "ZQFR"). False, and `text` left
// without its name rewritten, when it names no back-lens folder or the file has no back-lens
// prefix.
bool zq_media_front_lens_twin(std::string* text);

#endif  // ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQMEDIANAMES_H_
