// Control requests as the dispatcher gets them: the first line is the command path, the rest
// the query. Every answer must be one well-formed HTTP response whose JSON body parses, and
// the parameter readers must never read outside their input.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "core/zqLocks.h"
#include "http/zqWriter.h"
#include "zqcontrol/zqControl.h"
#include "zqcontrol/zqControlParams.h"

namespace {

std::string g_root;

void RemoveRoot() {
  std::error_code ec;
  std::filesystem::remove_all(g_root, ec);
}

// The status line, the length header and the body of `answer` agree.
void CheckAnswer(const std::string& answer) {
  if (answer.rfind("HTTP/1.1 ", 0) != 0) __builtin_trap();
  const size_t end = answer.find("\r\n\r\n");
  if (end == std::string::npos) __builtin_trap();
  if (answer.rfind("HTTP/1.1 204 ", 0) == 0) {
    if (end + 4 != answer.size()) __builtin_trap();
    return;
  }
  const std::string body = answer.substr(end + 4);
  const std::string length = "Content-Length: " + std::to_string(body.size()) + "\r\n";
  if (answer.find(length) == std::string::npos || answer.find(length) > end) __builtin_trap();
  if (!nlohmann::json::accept(body)) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char dir[] = "/tmp/zqfuzz.XXXXXX";
  if (mkdtemp(dir) == nullptr) abort();
  g_root = dir;
  setenv("ZQ_ROOT", dir, 1);
  atexit(RemoveRoot);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::string text = input.c_str();  // as the server hands it over: cut at a NUL
  const size_t nl = text.find('\n');
  const std::string path = text.substr(0, nl);
  const std::string params = nl == std::string::npos ? "" : text.substr(nl + 1);

  int32_t fields[8];
  const int failed = zqc_read_hex_fields(params, 8, fields);
  if (failed < -1 || failed > 8) __builtin_trap();
  int32_t id = 0;
  int32_t value = 0;
  zqc_read_setting_path(path, &id, &value);

  std::optional<ZqAnswer> answer;
  {
    const ZqControlLocks locks;
    zqcontrol_cgi_handler(path.c_str(), params.c_str(), &answer, nullptr);
  }
  if (!answer) __builtin_trap();
  ZqCapture out;
  zq_write_answer(*answer, false, out);
  CheckAnswer(out.bytes);

  // The journal of the simulated control service would grow without end.
  static unsigned runs = 0;
  if (++runs % 4096 == 0) truncate((g_root + "/run/zqsim/control.log").c_str(), 0);
  return 0;
}
