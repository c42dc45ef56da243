#include "app/shell_rules.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "app/platform.h"
#include "app/testing/temp_working_dir.h"

namespace netupdate::app {
namespace {

namespace fs = std::filesystem;

TEST(UnhandledErrorText, AddsADotOnlyAfterCharactersAbove46) {
  struct Case {
    std::string message;
    std::string expected;
  };
  const Case cases[] = {
      {"", ""},
      {"Socket Error # 10061", "Socket Error # 10061."},
      {"Connection refused.", "Connection refused."},
      {"Really?", "Really?."},  // '?' is 63
      {"Wow!", "Wow!"},         // '!' is 33
      {"a-", "a-"},             // 45
      {"a/", "a/."},            // 47, the first code that gets one
      {"a,", "a,"},             // 44
      {"trailing blank ", "trailing blank "},
      {"line\r\n", "line\r\n"},
      {"nem található fájl: á", "nem található fájl: á."},
      {"ends in ő", "ends in ő."},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(unhandledErrorText(c.message), c.expected) << c.message;
  }
}

TEST(StartUpMessage, DependsOnTheArgumentCount) {
  const std::string notFromZepa = "A program csak az ZEPA programból indítható!";
  const std::string wrongParameters = "A program nem megfelő paraméterekkel lett indítva!";
  EXPECT_EQ(startUpMessage(0), notFromZepa);
  EXPECT_EQ(startUpMessage(1), wrongParameters);
  EXPECT_EQ(startUpMessage(2), wrongParameters);
  EXPECT_EQ(startUpMessage(3), "");
  EXPECT_EQ(startUpMessage(4), "");
  EXPECT_EQ(startUpMessage(40), "");
}

TEST(ShellRules, FixedValues) {
  EXPECT_EQ(developerDatabasePath(), R"(g:\VARKONA.WIN\2018\user\user.fdb)");
  EXPECT_EQ(joinServer("", "/data/user.fdb"), "/data/user.fdb");
  EXPECT_EQ(joinServer("srv", "/data/user.fdb"), "srv:/data/user.fdb");
  EXPECT_EQ(joinServer("127.0.0.1", R"(C:\x.fdb)"), R"(127.0.0.1:C:\x.fdb)");
  const std::string separator(1, pathSeparator());
  EXPECT_EQ(pageFileName("/home/zepa", {2019, 1, 17}),
            "/home/zepa" + separator + "2019_01_17.html");
  EXPECT_EQ(pageFileName("/home/zepa/", {2018, 12, 3}),
            "/home/zepa/" + separator + "2018_12_03.html");
}

TEST(ShellRules, PageLinkCanOnlyBeReplacedByANonEmptyVariable) {
  EXPECT_EQ(pageLink(nullptr),
            "http://www.nav.gov.hu/nav/archiv/szolgaltatasok/uzemanyag_elszamolas/"
            "2018_uzemanyagarak.html");
  EXPECT_EQ(pageLink(""), kPageLink);
  EXPECT_EQ(pageLink("http://127.0.0.1:8080/p.html"), "http://127.0.0.1:8080/p.html");
  EXPECT_EQ(pageLink(), pageLink(std::getenv(kPageLinkVariable)));
}

// Runs each test in a fresh working directory of its own.
class WorkingDirectory : public ::testing::Test {
 protected:
  void SetUp() override { m_dir.emplace(); }
  void TearDown() override { m_dir.reset(); }

  std::optional<TempWorkingDirectory> m_dir;
};

TEST_F(WorkingDirectory, OnlyAMarkerFileSwitchesDeveloperModeOn) {
  EXPECT_FALSE(developerMarkerPresent());
  fs::create_directory("debugfq.txt");
  EXPECT_FALSE(developerMarkerPresent()) << "a directory of that name";
  fs::remove("debugfq.txt");
  std::ofstream("DEBUGFQ.TXT.bak") << "x";
  EXPECT_FALSE(developerMarkerPresent());
  std::ofstream("debugfq.txt");  // empty: the content is never read
  EXPECT_TRUE(developerMarkerPresent());
}

TEST_F(WorkingDirectory, LeftoverPageFileIsDeletedButNothingElse) {
  std::ofstream("2019_01_17.html") << "old page";
  deleteFileIfPresent("2019_01_17.html");
  EXPECT_FALSE(fs::exists("2019_01_17.html"));

  fs::create_directory("2019_01_18.html");
  std::ofstream("2019_01_18.html/inside") << "kept";
  deleteFileIfPresent("2019_01_18.html");
  EXPECT_TRUE(fs::exists("2019_01_18.html/inside"));

  deleteFileIfPresent("missing.html");
  deleteFileIfPresent("no/such/dir/x.html");
  deleteFileIfPresent("");
}

TEST_F(WorkingDirectory, PathsAreUtf8OnEveryPlatform) {
  const std::string name = "árvíztűrő tükörfúrógép.html";
  std::ofstream(pathFromUtf8(name)) << "old page";
  ASSERT_TRUE(fs::exists(fs::path(u8"árvíztűrő tükörfúrógép.html")));
  deleteFileIfPresent(name);
  EXPECT_FALSE(fs::exists(fs::path(u8"árvíztűrő tükörfúrógép.html")));
}

}  // namespace
}  // namespace netupdate::app
