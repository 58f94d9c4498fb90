// The control-service library's text helpers and the network configuration of a host run.

#include <cstdio>
#include <cstring>
#include <string>

#include "zqCtrlD.h"
#include "zqNetConfig.h"
#include "zqcommon/zqQuery.h"
#include "zqsim/SimState.h"

bool parseParam(const char* params, const char* key, std::string& value) {
  if (params == nullptr || key == nullptr || *key == '\0') return false;
  const size_t key_len = strlen(key);
  const char* p = params;
  while (true) {
    if (strncmp(p, key, key_len) == 0) {
      const char* start = p + key_len;
      const char* end = strchr(start, '&');
      value.assign(start, end != nullptr ? static_cast<size_t>(end - start) : strlen(start));
      return true;
    }
    p = strchr(p, '&');
    if (p == nullptr) return false;
    ++p;
  }
}

std::string urlDecode(const char* text) {
  return text == nullptr ? std::string() : zq_url_decode(text, false);
}

std::string zqnet_ap_address() {
  return zqsim::SimState::Get().Read(
      [](const zqsim::SimStateData& d) { return std::string(d.identity.ap_address); });
}
