#include "db/text_util.h"

#include <algorithm>

namespace netupdate::db {

namespace {

char lowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool isBlankOrControl(char c) {
  return static_cast<unsigned char>(c) <= 0x20;
}

}  // namespace

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return lowerAscii(x) == lowerAscii(y);
         });
}

std::string trimControl(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && isBlankOrControl(text[begin])) ++begin;
  while (end > begin && isBlankOrControl(text[end - 1])) --end;
  return std::string(text.substr(begin, end - begin));
}

}  // namespace netupdate::db
