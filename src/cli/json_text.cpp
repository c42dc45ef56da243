#include "cli/json_text.h"

namespace netupdate::cli {

std::string jsonText(const Json& value) {
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace netupdate::cli
