#pragma once

#include <exception>
#include <stdexcept>
#include <string>

namespace netupdate::common {

// Base of every error the layers raise. The message is the text the user
// will see (UTF-8), so it is built once where the failure is understood.
class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& message) : std::runtime_error(message) {}
};

// For an error raised while handling another one (std::throw_with_nested),
// the user is shown the innermost cause: that is where the real reason is.
std::string innermostMessage(const std::exception& error);

}  // namespace netupdate::common
