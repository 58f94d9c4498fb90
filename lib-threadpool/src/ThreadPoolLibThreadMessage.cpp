#include "threadpool/ThreadPoolLibThreadMessage.h"

ThreadPoolLibThreadMessage::~ThreadPoolLibThreadMessage() = default;

ThreadPoolLibProcessMessage::~ThreadPoolLibProcessMessage() = default;
