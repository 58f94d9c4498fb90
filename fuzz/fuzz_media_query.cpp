// Client queries of the media routes and names from the card: the list query, the metadata
// query, the paged list's query, and the grouped list written from records whose names come
// from the media database. Every document the writer produces must parse.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "zqmediadb/zqMediaDBApp.h"
#include "zqmediadb/zqMediaDBList.h"
#include "zqmedialist/zqMediaList.h"
#include "zqmedialist/zqMediaListWriter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::string query = input.c_str();

  MediaListSelection selection;
  bool clear = false;
  std::string message;
  parseMediaListQuery(query.c_str(), &selection, &clear, &message);
  const DbResult checked = zqdb_metadata_check_query(query.c_str());
  if (checked != DbResult::kOk && checked != DbResult::kBadRequest &&
      checked != DbResult::kNotFound && checked != DbResult::kNotSupported) {
    __builtin_trap();
  }
  DbMediaListQuery list;
  const DbResult listed = db_parse_media_list_query(query.c_str(), &list, &message);
  if (listed != DbResult::kOk && listed != DbResult::kBadRequest &&
      listed != DbResult::kNotSupported) {
    __builtin_trap();
  }
  if (listed == DbResult::kOk && (list.folder.size() != 8 || list.upload.status > 31)) {
    __builtin_trap();
  }

  // Each 14 bytes: folder (1 byte), type (1), name (12); sizes and times follow the position.
  std::vector<MediaListRecord> records;
  static const char kTypes[] = {'T', 'R', 'L', 'F', 'B'};
  for (size_t at = 0; at + 14 <= size && records.size() < 4096; at += 14) {
    MediaListRecord r = {};
    r.folder = static_cast<uint16_t>(100 + data[at] % 4);
    r.type = kTypes[data[at + 1] % 5];
    memcpy(r.name, data + at + 2, 12);
    r.size = at * 7;
    r.time = at & 1 ? at : 0;
    records.push_back(r);
  }
  std::string json = "{\"media\":[";
  writeAllMediaFolders(&json, records.data(), static_cast<uint32_t>(records.size()));
  json += "]}";
  if (!nlohmann::json::accept(json)) __builtin_trap();
  return 0;
}
