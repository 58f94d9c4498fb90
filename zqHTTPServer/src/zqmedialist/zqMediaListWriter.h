// Turns the records of a media scan into the grouped JSON of the media list: chaptered videos
// and their companions become one item, burst and time-lapse photo sequences one group.
#ifndef ZQ_ZQHTTPSERVER_SRC_ZQMEDIALIST_ZQMEDIALISTWRITER_H_
#define ZQ_ZQHTTPSERVER_SRC_ZQMEDIALIST_ZQMEDIALISTWRITER_H_

#include <cstdint>
#include <string>

#include "zqmedialist/zqMediaListRecord.h"

// Appends every folder object of type `type` to `json`, folders by ascending number; records
// of each folder are sorted in place. `*wrote` tells whether anything was written before in
// this list, and is set once a folder is written.
void writeMediaFolders(std::string* json, MediaListRecord* records, uint32_t count, char type,
                       bool* wrote);

// All five folder types in their order ('T', 'R', 'L', 'F', 'B').
void writeAllMediaFolders(std::string* json, MediaListRecord* records, uint32_t count);

#endif  // ZQ_ZQHTTPSERVER_SRC_ZQMEDIALIST_ZQMEDIALISTWRITER_H_
