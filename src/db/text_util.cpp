#include "db/text_util.h"

namespace netupdate::db {

namespace {

bool isBlankOrControl(char c) {
  return static_cast<unsigned char>(c) <= 0x20;
}

}  // namespace

std::string trimControl(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && isBlankOrControl(text[begin])) ++begin;
  while (end > begin && isBlankOrControl(text[end - 1])) --end;
  return std::string(text.substr(begin, end - begin));
}

}  // namespace netupdate::db
