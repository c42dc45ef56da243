#pragma once

#include <nlohmann/json.hpp>

#include <string>

namespace netupdate::cli {

// The tool's JSON values: keys stay in the order they were put in, which is
// the order the README lists them in.
using Json = nlohmann::ordered_json;

// The compact text of a value, UTF-8. Any byte that is not part of valid
// UTF-8 becomes U+FFFD, so the output stays valid JSON whatever a server or
// the system put into a message.
std::string jsonText(const Json& value);

}  // namespace netupdate::cli
