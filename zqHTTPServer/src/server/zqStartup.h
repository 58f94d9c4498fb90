// Decisions the daemon makes once at start.
#ifndef ZQ_ZQHTTPSERVER_SRC_SERVER_ZQSTARTUP_H_
#define ZQ_ZQHTTPSERVER_SRC_SERVER_ZQSTARTUP_H_

#include <cstdint>

// The log level for the camera's logging flags (status 123): DEBUG with extended logging
// (bit 0x800), ERROR otherwise.
uint32_t zq_log_level_for_flags(uint32_t flags);

// Queries the model number and writes 1 to `out` for models with extended memory (58, 60,
// 61), else 0 (also when the query fails). Returns the query's status.
int32_t get_memory_support(uint32_t* out);

// Worker threads of the server: 8 with extended memory, 5 otherwise.
int zq_worker_threads(uint32_t extended_memory);

#endif  // ZQ_ZQHTTPSERVER_SRC_SERVER_ZQSTARTUP_H_
