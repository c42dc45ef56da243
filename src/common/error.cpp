#include "common/error.h"

namespace netupdate::common {

std::string innermostMessage(const std::exception& error) {
  try {
    std::rethrow_if_nested(error);
  } catch (const std::exception& inner) {
    return innermostMessage(inner);
  } catch (...) {
    // A nested non-standard exception carries no text; the outer one is the best we have.
  }
  return error.what();
}

}  // namespace netupdate::common
