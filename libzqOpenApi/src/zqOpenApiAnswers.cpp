#include "zqopenapi/zqOpenApiAnswers.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "zqcommon/zqJson.h"

namespace {

ZqoaAnswer Fitting(int status, std::string body) {
  if (body.size() >= kZqoaResponseBufferSize) return {500, kZqoaEmptyBody};
  return {status, std::move(body)};
}

// A decimal number, optionally signed, as a whole piece.
bool Decimal(const std::string& piece, long* value) {
  if (piece.empty() || piece.size() > 18) return false;
  char* end = nullptr;
  errno = 0;
  *value = strtol(piece.c_str(), &end, 10);
  return errno == 0 && *end == '\0' &&
         (isdigit(static_cast<unsigned char>(piece[0])) || piece[0] == '-' || piece[0] == '+');
}

}  // namespace

ZqoaAnswer zqoa_setting_refusal(int32_t code, uint32_t setting, uint32_t option,
                                const std::vector<ZqoaOption>& options) {
  const std::string head = "{\n\t\"error\": " + std::to_string(code) + ",\n\t\"";
  switch (code) {
    case 1:
      return Fitting(403, head + "option_id\": " + std::to_string(option) +
                              ",\n\t\"setting_id\": " + std::to_string(setting) +
                              ",\n\t\"available_options\": []\n}\n");
    case 2:
      return Fitting(403, head + "setting_id\": " + std::to_string(setting) + "\n}\n");
    case 3:
    case 4: {
      std::string body = head + "option_id\": " + std::to_string(option) +
                         ",\n\t\"setting_id\": " + std::to_string(setting) + ",\n\t\"" +
                         (code == 3 ? "available_options" : "supported_options") + "\": [";
      bool first = true;
      for (const ZqoaOption& o : options) {
        if (!o.valid) continue;
        if (!first) body += ",";
        first = false;
        body += "\n\t\t{\"display_name\": \"" + zq_json_escape(o.name) +
                "\", \"id\": " + std::to_string(o.id) + "}";
      }
      return Fitting(403, body + "\n\t]\n}\n");
    }
    default:
      return {500, kZqoaEmptyBody};
  }
}

ZqoaAnswer zqoa_version_body(const char* version) {
  return Fitting(200,
                 "{\"version\" : \"" + zq_json_escape(version != nullptr ? version : "") + "\"}\n");
}

bool zqoa_date_time_param(const char* date, const char* time, const char* tzone, const char* dst,
                          std::string* param) {
  if (date == nullptr || time == nullptr) return false;
  const std::string d = dst != nullptr ? dst : "0";
  if (d != "0" && d != "1") return false;
  const std::string day = date;
  long year = 0;
  if (day.size() < 5 || !Decimal(day.substr(0, 4), &year)) return false;
  const std::string joined = std::to_string(year - 2000) + day.substr(4) + "_" + time + "_" +
                             (tzone != nullptr ? tzone : "32767") + "_" + d;
  std::string out = "p=";
  int pieces = 0;
  size_t start = 0;
  while (true) {
    const size_t end = joined.find('_', start);
    long value = 0;
    if (!Decimal(joined.substr(start, end - start), &value)) return false;
    char hex[8];
    snprintf(hex, sizeof hex, "%%%x", static_cast<unsigned>(static_cast<uint16_t>(value)));
    out += hex;
    ++pieces;
    if (end == std::string::npos) break;
    start = end + 1;
  }
  if (pieces != 8) return false;
  *param = out;
  return true;
}

std::string zqoa_date_time_body(const uint8_t r[10]) {
  const unsigned year = r[0] | r[1] << 8;
  const int zone = static_cast<int16_t>(static_cast<uint16_t>(r[7] | r[8] << 8));
  char body[256];
  snprintf(body, sizeof body,
           "\n{\n    \"date\": \"%u_%02u_%02u\",\n    \"time\": \"%02u_%02u_%02u\",\n"
           "    \"tzone\": %i,\n    \"dst\": %i\n}\n",
           year, r[2], r[3], r[4], r[5], r[6], zone, r[9]);
  return body;
}
