#include "zqcommon/zqJson.h"

#include <nlohmann/json.hpp>

std::string zq_json_escape(std::string_view text) {
  std::string quoted = nlohmann::json(std::string(text))
                           .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  return quoted.substr(1, quoted.size() - 2);
}
