// The storage commands of the control interface: deleting files, groups and lists of files,
// and tagging moments in recorded media. Media paths are named relative to the card's DCIM
// folder ("100TAVRO/ZQ010001.MP4") and must pass the containment rule of zqContainment.h
// (no absolute path, "..", NUL or empty component); anything else is ZQ_ERR_INVALID_PARAM and
// nothing is sent.
//
// Records, little-endian, other bytes zero:
//
//   delete a file (command 9), a group (command 11): the path, 257 bytes (256 characters and
//   a NUL at most)
//
//   tag a moment (command 8), 268 bytes:
//     offset   0  u32        tag_enable: 1 adds a tag, 0 removes it
//     offset   4  256 bytes  the media path, NUL-terminated
//     offset 264  i32        offset into the video in milliseconds (0 for a photo)
//
//   delete a list (command 93): one 23-byte entry per file: byte 0 a flag (1 when the line's
//   second field is "1"), bytes 1 to 22 the file name (21 characters and a NUL at most)
//
//   delete-list state (command 94): reply of one result byte
#ifndef ZQ_LIBZQCONTROLAPI_INCLUDE_ZQCONTROLAPI_ZQSTORAGE_H_
#define ZQ_LIBZQCONTROLAPI_INCLUDE_ZQCONTROLAPI_ZQSTORAGE_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

inline constexpr size_t kZqPathRecordSize = 257;
inline constexpr size_t kZqTagRecordSize = 268;
inline constexpr size_t kZqDeleteListEntrySize = 23;
inline constexpr size_t kZqDeleteListNameMax = 21;
// The largest delete-list request body the daemon reads.
inline constexpr size_t kZqDeleteListBodyMax = 30000;

// The 257-byte path record. False when the path breaks the rule above or is longer than 256.
bool zq_path_record(std::string_view path, std::array<uint8_t, kZqPathRecordSize>* record);

// Marks the source and sends command 9 with the file's path record. ZQ_ERR_INVALID_PARAM for
// a path that cannot be sent, else the control service's status. (Also used by the Open API.)
int32_t send_delete_file(const char* path);

// "command/storage/delete" and ".../delete/group": "p=" (percent-decoded) is the file, or the
// first file of the group; command 9 or 11. The service's status.
int32_t zq_storage_delete(const char* query, bool group);

struct ZqTagRequest {
  uint32_t tag_enable = 1;
  std::string path;
  int32_t offset_ms = 0;  // videos only
  bool photo = false;     // the path ends in "JPG"
};
// "command/storage/tag_moment/playback[/photo]": "p=" the file (required), "tag_enable="
// (optional, 0 or 1, default 1), "tag=" the offset (required for a video, signed).
int32_t zq_tag_parse(const char* query, ZqTagRequest* request);
std::array<uint8_t, kZqTagRecordSize> zq_tag_record(uint32_t tag_enable, std::string_view path,
                                                    int32_t offset_ms);
// Marks the source and sends command 8 with `size` bytes of `request`. The service's status.
// (Also used by the Open API.)
int32_t send_tag_playback(const void* request, uint32_t size);
// The whole command: ZQ_ERR_INVALID_PARAM for a bad query, else 0 whatever the service answers.
int32_t zq_storage_tag(const char* query);

// The "filelist" text of a delete-list request: one file a line ("\n" or "\r\n"), each line
// "name,flag"; empty lines are skipped. Fills the entries (count x 23 bytes). False when a
// line lacks its two fields, a name is longer than 21 characters or breaks the path rule, or
// there is no file at all.
bool zq_delete_list_entries(std::string_view filelist, std::vector<uint8_t>* entries);
// The value of "filelist" in a form-encoded request body ("+" is a space, "%xx" a byte).
bool zq_delete_list_form_value(std::string_view body, std::string* filelist);
// POST: marks the source and sends command 93 with the entries of `filelist`.
int32_t zq_delete_list_send(std::string_view filelist);
// GET: command 94; `*body` is "{\n    \"result\":N\n}\n" with the state byte.
int32_t zq_delete_list_state(std::string* body);

#endif  // ZQ_LIBZQCONTROLAPI_INCLUDE_ZQCONTROLAPI_ZQSTORAGE_H_
