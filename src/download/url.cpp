#include "download/url.h"

#include <algorithm>
#include <charconv>

#include "common/error.h"
#include "download/response_head.h"

namespace netupdate::download {

namespace {

std::string defaultPortOf(const std::string& protocol) {
  if (equalsIgnoringCase(protocol, "http")) return "80";
  if (equalsIgnoringCase(protocol, "https")) return "443";
  return {};
}

}  // namespace

TUrl TUrl::split(const std::string& text) {
  std::string rest = text;

  // Windows users type backslashes; they mean slashes in the address part only.
  const std::size_t colon = rest.find(':');
  if (colon != std::string::npos) {
    const std::size_t end = std::min(rest.find_first_of("?#", colon), rest.size());
    std::replace(rest.begin() + static_cast<std::ptrdiff_t>(colon) + 1,
                 rest.begin() + static_cast<std::ptrdiff_t>(end), '\\', '/');
  }

  TUrl url;
  // The fragment is for the browser, never for the server.
  rest = rest.substr(0, rest.find('#'));
  const std::size_t question = rest.find('?');
  if (question != std::string::npos) {
    url.query = rest.substr(question + 1);
    rest.resize(question);
  }

  const std::size_t schemeEnd = rest.find("://");
  if (schemeEnd != std::string::npos) {
    url.protocol = rest.substr(0, schemeEnd);
    rest.erase(0, schemeEnd + 3);
    const std::size_t slash = std::min(rest.find('/'), rest.size());
    std::string authority = rest.substr(0, slash);
    rest.erase(0, slash);

    const std::size_t at = authority.rfind('@');
    if (at != std::string::npos) {
      const std::string userInfo = authority.substr(0, at);
      authority.erase(0, at + 1);
      const std::size_t separator = userInfo.find(':');
      url.username = userInfo.substr(0, separator);
      if (separator != std::string::npos) url.password = userInfo.substr(separator + 1);
    }

    std::size_t portColon = std::string::npos;
    if (!authority.empty() && authority.front() == '[') {
      const std::size_t close = authority.find(']');
      if (close != std::string::npos && close + 1 < authority.size() &&
          authority[close + 1] == ':') {
        portColon = close + 1;
      }
    } else {
      portColon = authority.find(':');
    }
    url.host = authority.substr(0, portColon);
    if (portColon != std::string::npos) url.port = authority.substr(portColon + 1);
  }

  if (!rest.empty() && rest.front() == '/') rest.erase(0, 1);
  const std::size_t lastSlash = rest.rfind('/');
  const std::size_t documentStart = lastSlash == std::string::npos ? 0 : lastSlash + 1;
  url.path.assign(1, '/').append(rest, 0, documentStart);
  url.document = rest.substr(documentStart);
  return url;
}

std::string TUrl::effectivePort() const {
  if (!port.empty()) return port;
  std::string fallback = defaultPortOf(protocol);
  if (fallback.empty()) throw common::Error("Unknown Protocol");
  return fallback;
}

std::uint16_t TUrl::portNumber() const {
  const std::string text = effectivePort();
  std::uint16_t number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (error != std::errc() || end != text.data() + text.size()) return 80;
  return number;
}

std::string TUrl::requestTarget() const {
  std::string target = path + document;
  if (!query.empty()) target += "?" + query;
  return target;
}

std::string TUrl::hostHeader() const {
  const std::string portText = effectivePort();
  if (portText == defaultPortOf(protocol)) return host;
  return host + ":" + portText;
}

std::string TUrl::hostName() const {
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
    return host.substr(1, host.size() - 2);
  }
  return host;
}

bool TUrl::isHttps() const {
  return equalsIgnoringCase(protocol, "https");
}

}  // namespace netupdate::download
