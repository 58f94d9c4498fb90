#include "core/zqExtendedMemory.h"

// Set once by start-up before the server runs; read by the media handlers.
uint32_t g_extendedMemory = 0;
