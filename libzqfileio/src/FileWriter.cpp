#include "quicktime64/FileWriter.h"

FileWriter::~FileWriter() = default;

uint32_t FileWriter::Wait(FileBuffer&) { return 0; }
