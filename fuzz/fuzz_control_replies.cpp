// The replies and values the control commands read from other processes and from clients: BLE
// service pages, network-list pages, transcode records, IPC library messages, webcam replies,
// generic results, base64 values, delete lists and program commands. The first byte picks the
// reader; the rest is its input. Nothing may read outside its input, and every JSON text made
// from what was read must parse.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "zqIpcMsg.h"
#include "zqcontrolapi/zqBase64.h"
#include "zqcontrolapi/zqBle.h"
#include "zqcontrolapi/zqGenericResult.h"
#include "zqcontrolapi/zqStorage.h"
#include "zqcontrolapi/zqSystem.h"
#include "zqcontrolapi/zqTranscode.h"
#include "zqcontrolapi/zqWifi.h"
#include "zqwebcam/zqWebcam.h"

namespace {

void MustParse(const std::string& text) {
  if (!nlohmann::json::accept(text)) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::span<const uint8_t> in(data + 1, size - 1);
  const std::string text(reinterpret_cast<const char*>(in.data()), in.size());
  switch (data[0] % 9) {
    case 0: {
      for (ZqBleList list : {ZqBleList::kScanResults, ZqBleList::kWhitelist}) {
        ZqBlePage page;
        if (!zq_ble_page_parse(in, list, &page)) continue;
        ZqBleListResult result{page.list_id, page.total, page.index, page.entries};
        MustParse(zq_ble_list_body(result, list));
      }
      break;
    }
    case 1: {
      ZqNetworkPage page;
      if (zq_network_page_parse(in, &page)) {
        MustParse(zq_network_list_body(page.scan_id, page.total, page.index, page.entries));
      }
      break;
    }
    case 2: {
      ZqTranscodeRecord records[2];
      if (zq_transcode_record_parse(in, &records[0])) {
        MustParse(zq_transcode_status_body(records[0]));
        if (in.size() >= 2 * kZqTranscodeRecordSize &&
            zq_transcode_record_parse(in.subspan(kZqTranscodeRecordSize), &records[1])) {
          MustParse(zq_transcode_history_body(records));
        }
      }
      break;
    }
    case 3: {
      Msg m;
      if (m.Decode(MemStream(in.data(), in.size()))) {
        MemStream again;
        if (!m.Encode(&again) || again.size() != in.size()) __builtin_trap();
      }
      break;
    }
    case 4: {
      ZqWebcamReply reply;
      if (zq_webcam_reply_parse(in, &reply)) MustParse(zq_webcam_status_answer(reply).body);
      uint32_t res = 0, fov = 0, word = 0;
      zq_webcam_checked_query(text, &res, &fov);
      zq_webcam_start_word(text.c_str(), (data[0] & 0x80) != 0, &word);
      break;
    }
    case 5: {
      int32_t result = 0;
      zq_generic_result_decode(in, &result);
      break;
    }
    case 6: {
      std::vector<uint8_t> bytes;
      zq_base64_decode(text, &bytes);
      break;
    }
    case 7: {
      std::string filelist;
      std::vector<uint8_t> entries;
      if (zq_delete_list_form_value(text, &filelist)) {
        if (zq_delete_list_entries(filelist, &entries) &&
            entries.size() % kZqDeleteListEntrySize != 0) {
          __builtin_trap();
        }
      }
      break;
    }
    case 8: {
      std::vector<ZqProgramCommand> commands;
      zq_execute_parse(text.c_str(), &commands);
      const std::string args = zq_program_arguments(text);
      if (zq_program_arguments_allowed(args)) zq_program_argv(args);
      break;
    }
  }
  return 0;
}
