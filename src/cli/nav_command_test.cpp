#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "cli/testing/check_setup.h"
#include "cli/testing/nav_pages.h"
#include "cli/testing/run_program.h"
#include "db/testing/reconcile_test_support.h"
#include "download/testing/test_files.h"
#include "download/testing/test_server.h"
#include "download/testing/tls_rig.h"

namespace netupdate::cli {
namespace {

namespace fs = std::filesystem;
using download::testing::fromUtf8;
using download::testing::RefusingPort;
using download::testing::TempDirectory;
using download::testing::TlsRig;
using Listener = TlsRig::Listener;
using testing::ProgramRun;

std::string readFile(const std::string& path) {
  std::ifstream in(fromUtf8(path), std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

// NAV's site as the tests serve it, over plain HTTP and over TLS, from the
// servers tls-rig starts beside the test.
class NavSite : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string why = TlsRig::unavailableBecause();
    if (!why.empty()) GTEST_SKIP() << why;
    m_rig.emplace();
    testing::writeNavSite(m_rig->www(), testing::navTestSite());
  }
  void TearDown() override { testing::setEnvironment("NETUPDATE_NAV_SITE", ""); }

  std::string origin(const std::string& scheme, Listener listener) const {
    return m_rig->url(scheme, listener, m_rig->hosts().front(), "");
  }
  // The https site, which the tool reaches as it reaches nav.gov.hu.
  std::string site() const { return origin("https", Listener::Good); }

  ProgramRun run(const std::string& siteOrigin, const std::vector<std::string>& args) const {
    testing::setEnvironment("NETUPDATE_NAV_SITE", siteOrigin);
    return testing::runProgram(NETUPDATE_CLI, args);
  }

  std::optional<TlsRig> m_rig;
};

std::string json2026(const std::string& url) {
  std::string months;
  for (int month = 4; month <= 12; ++month) {
    months += ",{\"month\":" + std::to_string(month) +
              ",\"prices\":[null,null,null,null,null,null,null]}";
  }
  return "{\"year\":2026,\"url\":\"" + url +
         "\",\"columns\":["
         "{\"fuel\":\"esz95\",\"pricing\":\"capped\",\"unit\":\"Ft/l\",\"label\":\"Ólmozatlan "
         "motorbenzin ESZ-95 (védett ár) (Ft/l)\"},"
         "{\"fuel\":\"esz95\",\"pricing\":\"market\",\"unit\":\"Ft/l\",\"label\":\"Ólmozatlan "
         "motorbenzin ESZ-95 (piaci árszabás) (Ft/l)\"},"
         "{\"fuel\":\"gazolaj\",\"pricing\":\"capped\",\"unit\":\"Ft/l\",\"label\":\"Gázolaj "
         "(védett ár) (Ft/l)\"},"
         "{\"fuel\":\"gazolaj\",\"pricing\":\"market\",\"unit\":\"Ft/l\",\"label\":\"Gázolaj "
         "(piaci árszabás) (Ft/l)\"},"
         "{\"fuel\":\"keverek\",\"pricing\":null,\"unit\":\"Ft/l\",\"label\":\"Keverék (Ft/l)\"},"
         "{\"fuel\":\"lpg\",\"pricing\":null,\"unit\":\"Ft/l\",\"label\":\"LPG autógáz (Ft/l)\"},"
         "{\"fuel\":\"cng\",\"pricing\":null,\"unit\":\"Ft/kg\",\"label\":\"CNG autógáz "
         "(Ft/kg)\"}],"
         "\"months\":[{\"month\":1,\"prices\":[575,601,592,618,null,299.5,null]},"
         "{\"month\":2,\"prices\":[572,598,589,615,628,298,790]},"
         "{\"month\":3,\"prices\":[null,612,null,634,640,301,795]}" +
         months + "]}\n";
}

// The year's page found on the section page or in the archive, through the
// redirects to the folders' pages, over http and https alike; a year the site
// doesn't have, or has only in a table that can't be trusted, is told apart.
TEST_F(NavSite, NavPrintsTheYearsTable) {
  for (const std::string& siteOrigin : {origin("http", Listener::Plain), site()}) {
    SCOPED_TRACE(siteOrigin);
    const std::string base = siteOrigin + "/ugyfeliranytu/uzemanyag/";
    const ProgramRun json = run(siteOrigin, {"nav", "--json", "2026"});
    EXPECT_EQ(json.status, 0) << json.err;
    EXPECT_EQ(json.out, json2026(siteOrigin + testing::navTestPath(2026)));
    EXPECT_EQ(json.err, "");

    const ProgramRun table = run(siteOrigin, {"nav", "2025"});
    EXPECT_EQ(table.status, 0) << table.err;
    EXPECT_EQ(table.out.rfind("2025: " + base +
                                  "2025_uzemanyagar/\n"
                                  "Hónap        ESZ-95  Gázolaj  Keverék     LPG     CNG\n"
                                  "Január          601      621      631     301     781\n",
                              0),
              0u)
        << table.out;
    // December is 2025's own; the previous year's row is not read into it.
    EXPECT_NE(table.out.find("\nDecember        612      632      642     312     792\n"
                             "ESZ-95: Ólmozatlan motorbenzin ESZ-95 (Ft/l)\n"),
              std::string::npos)
        << table.out;

    const ProgramRun archived = run(siteOrigin, {"nav", "2022", "--json"});
    EXPECT_EQ(archived.status, 0) << archived.err;
    EXPECT_NE(archived.out.find("{\"month\":12,\"prices\":[null,560,null,580,552,292]}]}\n"),
              std::string::npos)
        << archived.out;

    const ProgramRun joined = run(siteOrigin, {"nav", "2021"});
    EXPECT_EQ(joined.status, 2);
    EXPECT_NE(joined.err.find("colspan"), std::string::npos) << joined.err;
    EXPECT_EQ(joined.out, "");

    const ProgramRun missing = run(siteOrigin, {"nav", "2019"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("2019"), std::string::npos) << missing.err;
    EXPECT_EQ(missing.out, "");
  }
}

// The page is kept as fetched, once its table is read and only then: a
// page that can't be read leaves what the file held, and no part of it.
TEST_F(NavSite, SaveKeepsAPageWhoseTableWasRead) {
  TempDirectory folder("netupdate-nav-save");
  const std::string saved = folder.file("2022 árak.html");
  std::ofstream(fromUtf8(saved), std::ios::binary) << "last year's page, to be replaced";
  const ProgramRun fetched = run(site(), {"nav", "2022", "--save", saved});
  EXPECT_EQ(fetched.status, 0) << fetched.err;
  EXPECT_EQ(readFile(saved), testing::navTestSite().at(testing::navTestPath(2022)));

  // Read back, the file names itself as the page's address.
  const ProgramRun again = run(site(), {"nav", "--page", saved, "--json"});
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(again.out.rfind("{\"year\":2022,\"url\":" + nlohmann::json(saved).dump() + ",", 0), 0u)
      << again.out;

  const std::string kept = folder.file("kept.html");
  std::ofstream(fromUtf8(kept), std::ios::binary) << "an earlier page";
  const ProgramRun refused = run(site(), {"nav", "2021", "--save", kept});
  EXPECT_EQ(refused.status, 2);
  EXPECT_EQ(readFile(kept), "an earlier page");
  const ProgramRun unwritable = run(site(), {"nav", "2026", "--save", folder.file("no/such.html")});
  EXPECT_EQ(unwritable.status, 2);
  EXPECT_NE(unwritable.err.find("Cannot create file"), std::string::npos) << unwritable.err;
  EXPECT_EQ(unwritable.out, "");

  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder.path())) {
    names.push_back(download::testing::utf8(entry.path().filename()));
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"2022 árak.html", "kept.html"}));
}

// One line of check about the year's page, with what to do for each way it
// can't be had.
TEST_F(NavSite, CheckFindsTheYearsPageOrSaysWhatToDo) {
  RefusingPort refusing;
  const std::string refused = "http://127.0.0.1:" + std::to_string(refusing.port);
  const struct {
    std::string siteOrigin;
    const char* year;
    const char* status;
    std::vector<std::string> pieces;
  } cases[] = {
      {site(),
       "2026",
       "ok",
       {site() + testing::navTestPath(2026), "7 oszlopos táblázat, hónapok: január–március"}},
      {site(), "2019", "fail", {"2019", "még nem tette közzé", "/ugyfeliranytu/uzemanyag"}},
      {site(), "2021", "fail", {"colspan", "megváltoztathatta az oldal felépítését"}},
      {origin("https", Listener::Untrusted), "2026", "fail", {"not trusted", "főtanúsítvány"}},
      {origin("https", Listener::Expired), "2026", "fail", {"expired", "dátumát és óráját"}},
      {origin("https", Listener::Plain), "2026", "fail", {"TLS handshake failed: ", "böngészőben"}},
      {refused, "2026", "fail", {"Socket Error # 10061", "hálózat"}},
  };
  // The window's page address answers, so a failing check is the NAV page's.
  std::ofstream(m_rig->www() / "2018_uzemanyagarak.html", std::ios::binary) << "prices";
  testing::setEnvironment(
      "NETUPDATE_PAGE_URL",
      m_rig->url("http", Listener::Plain, m_rig->hosts().front(), "/2018_uzemanyagarak.html"));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.siteOrigin + " " + c.year);
    const ProgramRun json = run(c.siteOrigin, {"check", "--nav", c.year, "--json"});
    ASSERT_TRUE(nlohmann::json::accept(json.out)) << json.out << json.err;
    std::optional<nlohmann::json> line;
    for (const nlohmann::json& found : nlohmann::json::parse(json.out)) {
      if (found.at("check") == "nav_page") line = found;
    }
    ASSERT_TRUE(line) << json.out;
    EXPECT_EQ(line->at("status"), c.status);
    const std::string said =
        line->at("found").get<std::string>() + " | " + line->at("remedy").get<std::string>();
    for (const std::string& piece : c.pieces) {
      EXPECT_NE(said.find(piece), std::string::npos) << piece << "\n" << said;
    }
    if (std::string(c.status) == "fail") {
      EXPECT_EQ(json.status, 1);
    }
  }
  const ProgramRun human = run(site(), {"check", "--nav", "2026"});
  EXPECT_NE(human.out.find("\nok   NAV oldal (2026): " + site()), std::string::npos) << human.out;
  const ProgramRun offline = run(site(), {"check", "--nav", "2026", "--no-network"});
  EXPECT_NE(offline.out.find("\nskip NAV oldal (2026): "), std::string::npos) << offline.out;
  testing::setEnvironment("NETUPDATE_PAGE_URL", "");
}

// The year's prices brought into a real database straight from the site.
TEST_F(NavSite, SyncReconcilesTheFetchedYear) {
  using db::testsupport::HostDatabase;
  using db::testsupport::Route;
  std::string skipped;
  for (const Route route : {Route::Embedded, Route::Server}) {
    SCOPED_TRACE(db::testsupport::routeName(route));
    if (const std::string why = db::testsupport::unavailable(route); !why.empty()) {
      skipped += db::testsupport::routeName(route) + ": " + why + "\n";
      continue;
    }
    HostDatabase host(route, db::testsupport::concat(
                                 {db::testsupport::fuelType(1, "95-ös benzin", "Benzin ESZ-95"),
                                  db::testsupport::fuelType(2, "Dízel", "Gázolaj")}));
    std::vector<std::string> args = {"sync", host.path(), "SYSDBA", "masterkey"};
    if (route == Route::Server) {
      const auto server = db::testsupport::FirebirdServer::fromEnvironment();
      args[2] = server.user;
      args[3] = server.password;
      args.push_back(server.port == 3050 ? server.host
                                         : server.host + "/" + std::to_string(server.port));
    }
    args.insert(args.end(), {"--nav", "2026", "--pricing", "capped"});
    const ProgramRun result = run(site(), args);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out.rfind("page 2026 " + site() + testing::navTestPath(2026) + "\n", 0), 0u)
        << result.out;
    EXPECT_EQ(
        host.query("SELECT CAST(UZAID AS VARCHAR(2)) || ' ' || CAST(DATUM AS VARCHAR(10)) "
                   "|| ' ' || CAST(CAST(UZAAR AS INTEGER) AS VARCHAR(4)) FROM UZAAR ORDER "
                   "BY UZAID, DATUM"),
        (std::vector<std::string>{"1 2026-01-01 575", "1 2026-02-01 572", "1 2026-03-01 612",
                                  "2 2026-01-01 592", "2 2026-02-01 589", "2 2026-03-01 634"}));
  }
  if (!skipped.empty()) GTEST_SKIP() << skipped;
}

// Wrong command lines are refused before anything is fetched; a saved page
// that can't be had is exit 1, one without a usable table exit 2.
TEST(NavCommand, CommandLineAndSavedPages) {
  TempDirectory folder("netupdate-nav-page");
  const std::string text = folder.file("no table.html");
  std::ofstream(fromUtf8(text), std::ios::binary) << "<html><body><p>2026</p></body></html>";
  const struct {
    std::vector<std::string> args;
    int status;
    const char* errorPiece;
  } cases[] = {
      {{"nav"}, 64, "expected YEAR or --page FILE"},
      {{"nav", "26"}, 64, "YEAR is a year such as 2026, not \"26\""},
      {{"nav", "2026", "2025"}, 64, "expected YEAR or --page FILE"},
      {{"nav", "2026", "--page", text}, 64, "not both"},
      {{"nav", "--page", text, "--save", "x.html"}, 64, "--save goes with YEAR"},
      {{"nav", "2026", "--save"}, 64, "--save needs a value"},
      {{"nav", "2026", "--csv"}, 64, "unknown option --csv"},
      {{"nav", "--page", text + ".missing"}, 1, "The specified file was not found"},
      {{"nav", "--page", text}, 2, "no table whose first cell names a year"},
  };
  // Nothing here may reach a site, least of all the real one.
  testing::setEnvironment("NETUPDATE_NAV_SITE", "http://127.0.0.1:9");
  for (const auto& c : cases) {
    const ProgramRun run = testing::runProgram(NETUPDATE_CLI, c.args);
    EXPECT_EQ(run.status, c.status) << c.args.back() << "\n" << run.err;
    EXPECT_NE(run.err.find(c.errorPiece), std::string::npos) << run.err;
    if (c.status == 64) {
      EXPECT_NE(run.err.find("usage: netupdate-cli nav YEAR"), std::string::npos);
    }
    EXPECT_EQ(run.out, "");
  }
  testing::setEnvironment("NETUPDATE_NAV_SITE", "");
}

}  // namespace
}  // namespace netupdate::cli
