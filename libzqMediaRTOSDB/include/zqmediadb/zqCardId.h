// The storage identifier: a random decimal number kept in "MISC/card" of each storage, so a
// client can tell two cards apart.
#ifndef ZQ_LIBZQMEDIARTOSDB_INCLUDE_ZQMEDIADB_ZQCARDID_H_
#define ZQ_LIBZQMEDIARTOSDB_INCLUDE_ZQMEDIADB_ZQCARDID_H_

#include <string>

// The SD card's identifier ("/tmp/fuse_d/MISC/card"), created when missing or invalid.
// Negative when there is none (no card, or the file cannot be written).
int getCardIDStr(std::string* id);

// Storage `storage`: 0 the SD card, 1 the internal storage ("/tmp/fuse_i/MISC/card").
int getCardIDStrFromCard(std::string* id, int storage);

// True for the content of a valid identifier file: 1 to 20 decimal digits, optionally ended by
// one newline.
bool zq_card_id_valid(const std::string& text);

#endif  // ZQ_LIBZQMEDIARTOSDB_INCLUDE_ZQMEDIADB_ZQCARDID_H_
