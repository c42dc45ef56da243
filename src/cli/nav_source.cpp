#include "cli/nav_source.h"

#include <algorithm>
#include <vector>

#include "download/http_client.h"
#include "nav/nav_site.h"
#include "parse/in_out_error.h"
#include "parse/input_file.h"

namespace netupdate::cli {

namespace {

std::string readPageFile(const std::string& path) {
  // One byte past the reader's limit tells a page too big without holding
  // a file of any size.
  constexpr std::size_t kLimit = nav::kMaxPageBytes + 1;
  parse::InputFile file(path);
  std::string body;
  char block[65536];
  while (body.size() < kLimit) {
    const std::size_t got = file.read(block, std::min(sizeof block, kLimit - body.size()));
    if (got == 0) break;
    body.append(block, got);
  }
  file.close();
  if (body.size() > nav::kMaxPageBytes) {
    throw nav::ENavTableError("The page has more than " + std::to_string(nav::kMaxPageBytes) +
                              " bytes (8 MiB); a page that big is not read.");
  }
  return body;
}

void collectMessages(const std::exception& error, std::vector<std::string>& messages) {
  messages.emplace_back(error.what());
  try {
    std::rethrow_if_nested(error);
  } catch (const std::exception& inner) {
    collectMessages(inner, messages);
  } catch (...) {
    // A non-standard cause carries no text.
  }
}

}  // namespace

NavRead readNav(const NavSource& source) {
  if (source.year) {
    download::THttpClient client;
    nav::NavYear found = nav::findNavYear(client, nav::navOrigin(), *source.year);
    return {std::move(found.page.url), std::move(found.page.body), std::move(found.table)};
  }
  NavRead read{source.file, readPageFile(source.file), {}};
  read.table = nav::readNavTable(read.body, std::nullopt);
  return read;
}

std::optional<int> parseYear(const std::string& text) {
  if (text.size() != 4 || text[0] == '0') return std::nullopt;
  int year = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    year = year * 10 + (c - '0');
  }
  return year;
}

std::string causeChain(const std::exception& error) {
  std::vector<std::string> messages;
  collectMessages(error, messages);
  std::string chain;
  for (const std::string& message : messages) {
    if (message.empty() || chain.find(message) != std::string::npos) continue;
    chain += (chain.empty() ? "" : ": ") + message;
  }
  return chain;
}

}  // namespace netupdate::cli
