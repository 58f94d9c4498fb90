#include "core/zqLocks.h"

ZqMutex g_openApiMutex;
ZqMutex g_accessMutex;
ZqMutex g_webcamMutex;
ZqMutex g_mediaMetadataMutex;
ZqMutex g_pagedListMutex;
ZqMutex g_mediaOpMutex;
ZqMutex g_relayMutex;
ZqMutex g_recordingStatusMutex;
ZqMutex g_CSIMutex;
ZqMutex g_cardReadMutex;
ZqMutex g_clientsMutex;
ZqMutex g_clientsLogMutex;
