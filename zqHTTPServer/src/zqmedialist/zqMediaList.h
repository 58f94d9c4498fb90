// The media list routes "/zq/zqMediaList" and "/zq/zqMediaListEx": every photo, video and
// companion file of the DCIM folders, grouped, as one JSON document. And the paged list,
// "/zq/zqMediaListRTOSDB": one folder's entries as the media database lists them
// (zqmediadb/zqMediaDBList.h has its query rules), under g_pagedListMutex.
//
// Folder names come from the file system; the names, sizes and creation times inside each
// folder come from the media database (scandirRTOSdb). The two scanning handlers hold
// g_mediaMetadataMutex for the whole request.
#ifndef ZQ_ZQHTTPSERVER_SRC_ZQMEDIALIST_ZQMEDIALIST_H_
#define ZQ_ZQHTTPSERVER_SRC_ZQMEDIALIST_ZQMEDIALIST_H_

#include <cstdint>
#include <string>

#include "http/zqAnswer.h"
#include "http/zqRequest.h"
#include "zqmedialist/zqMediaListRecord.h"

ZqAnswer zqMediaList(ZqRequest& request);
ZqAnswer zqMediaListEx(ZqRequest& request);
ZqAnswer zqMediaListRTOSDB(ZqRequest& request);

// Scan results.
enum : int {
  kMediaScanOk = 0,
  kMediaScanNoDcim = 4,
  kMediaScanRecording = 8,
};
// True for a scan result that means the camera is busy.
inline bool mediaScanBusy(int code) { return (code & (8 | 16 | 32)) != 0; }

// Scans: on success `*buffer` holds the records (left empty when there is nothing to list)
// and `*count` their number. Storage 0 is the SD card, 1 the internal storage.
int zqMediaList_ScanDir(MediaScanBuffer* buffer, uint32_t* count);
int zqMediaList_ScanDirEx(MediaScanBuffer* buffer, uint32_t* count, int storage);
int zqMediaList_ScanDirSES(MediaScanBuffer* buffer, uint32_t* count);

enum class MediaListSelection { kUnknown, kVideoPhoto, kSes };

// Parses the list query. Returns 0 on success, else the HTTP status to answer with and the
// message in `*message`.
int parseMediaListQuery(const char* query, MediaListSelection* selection,
                                bool* clear_new_media, std::string* message);

// Filters, as the scans apply them.
bool isMediaFolder(const char* name, bool is_symlink);
bool isMediaFile(const char* name, int length);
bool isSesFile(const char* name, int length);

// The camera model number, read once through the camera status; 57 when it cannot be read.
int getModelNumber();
// Forgets the cached model number (tests change the model).
void zqMediaList_ResetModelNumber();

#endif  // ZQ_ZQHTTPSERVER_SRC_ZQMEDIALIST_ZQMEDIALIST_H_
