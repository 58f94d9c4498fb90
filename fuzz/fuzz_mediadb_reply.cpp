// Replies of the media database: folder listings, single-file records with their formatters,
// and list pages (with group records and the names their entries get). The first byte picks
// the command the bytes answer.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "zqmediadb/zqMediaDBApp.h"
#include "zqmediadb/zqMediaDBList.h"

namespace {

bool KeepAll(const char*, int) { return true; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > kZqIpcMaxMessage + 1) return 0;
  const uint8_t pick = data[0];
  ++data;
  --size;
  std::vector<DbScanEntry> entries;
  uint32_t taken = 0, announced = 0, transfers = 0;
  switch (pick % 4) {
    case 0: {
      const uint32_t capacity = pick >> 2;
      db_scan_first_reply(data, size, 1, capacity, (pick & 0x80) ? KeepAll : nullptr, &entries,
                          &taken, &announced, &transfers);
      if (entries.size() > capacity) __builtin_trap();
      db_scan_next_reply(data, size, capacity + 5, nullptr, &entries, &taken, announced);
      if (entries.size() > capacity + 5) __builtin_trap();
      break;
    }
    case 1: {
      static const uint32_t kCommands[] = {2, 3, 4, 7, 8};
      const uint32_t command = kCommands[(pick >> 2) % 5];
      DbReply r;
      memcpy(r.bytes, data, size < sizeof r.bytes ? size : sizeof r.bytes);
      r.length = static_cast<int>(size < sizeof r.bytes ? size : sizeof r.bytes);
      if (db_check_single_reply(command, 1, 1, &r) != DbResult::kOk) break;
      DbJsonEntry e;
      const char* sep = "";
      if (r.content != nullptr)
        db_format_content_record(&e, &sep, r.content, ~uint64_t{0}, "TAVR0001.MP4");
      if (r.video != nullptr && db_is_video_type(zq_load_le32(r.content)))
        db_format_video_info(&e, &sep, r.video, ~uint64_t{0});
      if (command == DB_CMD_GET_UMID_BY_FILENAME) db_format_umid(&e, &sep, r.extra, ~uint64_t{0});
      if (command == DB_CMD_GET_MORE_INFO) db_format_more_info(&e, &sep, r.extra, ~uint64_t{0});
      if (e.text().size() > kDbJsonEntrySize) __builtin_trap();
      break;
    }
    default: {
      // Pages with and without group records (pick 2: plain entries, 3: grouped).
      uint32_t total = 0;
      std::vector<DbListEntry> out;
      const uint32_t options = (pick % 4) == 3 ? kDbListGrouping : 0;
      const uint32_t asked = pick >> 2;
      if (processQueryResponse(data, size, 1, asked, options, &total, &out) != DbResult::kOk) break;
      if (out.size() > asked) __builtin_trap();
      for (const DbListEntry& e : out) {
        if (e.dir.size() > 8 || e.name.size() > 12) __builtin_trap();
        if (!e.group) continue;
        if (e.last < e.first || e.last - e.first >= kDbMaxGroupSpan) __builtin_trap();
        for (size_t i = 0; i < e.missing.size(); ++i) {
          if (e.missing[i] < e.first || e.missing[i] > e.last) __builtin_trap();
          if (i > 0 && e.missing[i] <= e.missing[i - 1]) __builtin_trap();
        }
        // Every name the list may give an entry is a short text.
        if (db_list_entry_name(e, pick, (pick & 0x80) != 0).size() > 40) __builtin_trap();
      }
      break;
    }
  }
  return 0;
}
