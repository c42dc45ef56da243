#include "cli/nav_check.h"

#include <array>
#include <exception>
#include <vector>

#include "cli/nav_source.h"
#include "cli/terminal_ui.h"
#include "download/http_errors.h"
#include "nav/nav_site.h"
#include "nav/nav_table.h"

namespace netupdate::cli {

namespace {

constexpr std::array<const char*, 12> kMonths = {"január",     "február", "március",  "április",
                                                 "május",      "június",  "július",   "augusztus",
                                                 "szeptember", "október", "november", "december"};

// What the remedy depends on, told by the errors under the site's own.
enum class Trouble {
  NotFound,
  Untrusted,
  Expired,
  WrongHost,
  NoTls12,
  Tls,
  Network,
  ServerError,
  Table,
};

Trouble troubleOf(const std::exception& error) {
  using download::ETlsError;
  if (const auto* tls = dynamic_cast<const ETlsError*>(&error)) {
    switch (tls->cause()) {
      case ETlsError::Cause::Untrusted:
        return Trouble::Untrusted;
      case ETlsError::Cause::Expired:
        return Trouble::Expired;
      case ETlsError::Cause::WrongHost:
        return Trouble::WrongHost;
      case ETlsError::Cause::Protocol:
        return Trouble::NoTls12;
      case ETlsError::Cause::Other:
        break;
    }
    return Trouble::Tls;
  }
  if (dynamic_cast<const download::ESocketError*>(&error) != nullptr ||
      dynamic_cast<const download::EConnectionClosed*>(&error) != nullptr) {
    return Trouble::Network;
  }
  if (dynamic_cast<const download::EHttpProtocolError*>(&error) != nullptr) {
    return Trouble::ServerError;
  }
  if (dynamic_cast<const nav::ENavTableError*>(&error) != nullptr) return Trouble::Table;
  try {
    std::rethrow_if_nested(error);
  } catch (const std::exception& inner) {
    return troubleOf(inner);
  } catch (...) {
    // A cause without text tells nothing more.
  }
  return Trouble::NotFound;
}

std::string remedy(Trouble trouble, int year, const std::string& origin) {
  const std::string section = origin + "/ugyfeliranytu/uzemanyag";
  switch (trouble) {
    case Trouble::Untrusted:
      return "a gép nem bízik a kiszolgáló tanúsítványában: frissítse a gép megbízható "
             "főtanúsítványait (Windows: Windows Update, főtanúsítványok frissítése; Debian: "
             "apt-get install ca-certificates); ha a hálózat egy proxyja bontja a https "
             "forgalmat, a proxy tanúsítványát is fel kell venni közéjük.";
    case Trouble::Expired:
      return "a kiszolgáló tanúsítványa lejártnak látszik: ellenőrizze a gép dátumát és óráját.";
    case Trouble::WrongHost:
      return "a tanúsítvány nem ehhez a címhez szól: ellenőrizze, hogy a gép valóban a NAV "
             "kiszolgálóját éri-e el (proxy, tűzfal, névfeloldás).";
    case Trouble::NoTls12:
      return "a rendszer nem beszél TLS 1.2-t vagy újabbat: telepítse a Windows frissítéseit "
             "(Windows 7 SP1-en a TLS 1.2-t bekapcsoló frissítést is).";
    case Trouble::Tls:
      return "a titkosított kapcsolat nem jött létre: nyissa meg a címet böngészőben ezen a "
             "gépen, és ellenőrizze, nincs-e a forgalmat bontó proxy az útban.";
    case Trouble::Network:
      return "ellenőrizze, hogy ez a gép közvetlenül (proxy nélkül) eléri-e a " + origin +
             " címet: hálózat, névfeloldás, tűzfal" +
             (origin.rfind("https://", 0) == 0 ? " (443-as port)." : ".");
    case Trouble::ServerError:
      return "a NAV kiszolgálója hibával válaszolt: próbálja később, vagy nyissa meg a " + section +
             " címet böngészőben.";
    case Trouble::Table:
      return "a NAV megváltoztathatta az oldal felépítését: a netupdate-cli nav " +
             std::to_string(year) + " ugyanezt mutatja; jelezze a netupdate fejlesztőjének.";
    case Trouble::NotFound:
      break;
  }
  return "lehet, hogy a NAV még nem tette közzé a " + std::to_string(year) +
         ". év árait, vagy átrendezte az oldalait; nézze meg böngészőben: " + section + ".";
}

// "január–március, május": the months a table has, as runs.
std::string monthRuns(const std::vector<int>& months) {
  std::string text;
  for (std::size_t i = 0; i < months.size();) {
    std::size_t end = i;
    while (end + 1 < months.size() && months[end + 1] == months[end] + 1) ++end;
    if (!text.empty()) text += ", ";
    text += kMonths.at(static_cast<std::size_t>(months[i] - 1));
    if (end > i) text += std::string("–") + kMonths.at(static_cast<std::size_t>(months[end] - 1));
    i = end + 1;
  }
  return text;
}

// Messages of the socket layer break lines with CR LF; a finding stays on one line.
std::string oneLine(const std::string& text) {
  std::string line;
  for (const char c : text) {
    if (c == '\r' || c == '\n' || c == '\t' || c == ' ') {
      if (!line.empty() && line.back() != ' ') line += ' ';
    } else {
      line += c;
    }
  }
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return line;
}

}  // namespace

NavPageFinding checkNavPage(int year) {
  NavPageFinding finding;
  const std::string origin = nav::navOrigin();
  try {
    const NavRead read = readNav(NavSource{year, {}});
    const std::vector<int> months = read.table.monthsFound();
    finding.ok = true;
    finding.found = printable(read.url) + ": " + std::to_string(read.table.columns.size()) +
                    " oszlopos táblázat, " +
                    (months.empty() ? std::string("még egy hónap sincs benne")
                                    : "hónapok: " + monthRuns(months));
  } catch (const std::exception& error) {
    finding.found = printable(oneLine(causeChain(error)));
    finding.remedy = remedy(troubleOf(error), year, origin);
  }
  return finding;
}

}  // namespace netupdate::cli
