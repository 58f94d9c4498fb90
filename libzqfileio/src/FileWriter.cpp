#include "zqfileio/FileWriter.h"

FileWriter::~FileWriter() = default;

uint32_t FileWriter::Wait(FileBuffer&) { return 0; }
