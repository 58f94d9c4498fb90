#include "server/zqMediaMutex.h"

std::mutex zqMediaMetadata_mutex;
