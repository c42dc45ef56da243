#include "app/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace netupdate::app {
namespace {

using Args = std::vector<std::string>;

TEST(SplitCommandLine, ByTheLaunchersRules) {
  struct Case {
    const char* name;
    std::string line;
    Args expected;  // program name first
  };
  const Case cases[] = {
      {"plain four",
       "netupdate.exe db.fdb SYSDBA pw srv",
       {"netupdate.exe", "db.fdb", "SYSDBA", "pw", "srv"}},
      {"quoted path with blanks is one argument without its quotes",
       R"(netupdate.exe "C:\Program Files\ZEPA\user.fdb" SYSDBA masterkey)",
       {"netupdate.exe", R"(C:\Program Files\ZEPA\user.fdb)", "SYSDBA", "masterkey"}},
      {"empty quotes take no position", R"(p a b "" d)", {"p", "a", "b", "d"}},
      {"several empty pairs in a row", R"(p "" "" """" x)", {"p", "x"}},
      {"leading pair glued to an argument is skipped", R"(p ""abc)", {"p", "abc"}},
      {"quoted and unquoted stretches concatenate", R"(p ab"c d"e"" f)", {"p", "abc de", "f"}},
      {"a quoted path may end in a backslash", R"(p "C:\dir\" next)", {"p", R"(C:\dir\)", "next"}},
      {"backslash does not protect a quote", R"(p a\"b c" d)", {"p", R"(a\b c)", "d"}},
      {"unbalanced quote runs to the end of the line", R"(p "a b  c)", {"p", "a b  c"}},
      {"lone quote at the end takes no position", "p a \"", {"p", "a"}},
      {"runs of separators count once", "  p\t\ta \r\n b  ", {"p", "a", "b"}},
      {"control characters separate",
       std::string("p\x01"
                   "a\x1f"
                   "b\x7f"
                   "c"),
       {"p", "a",
        "b\x7f"
        "c"}},
      {"bytes above 127 are ordinary", "p \xc3\xa1rv\xc3\xadz", {"p", "\xc3\xa1rv\xc3\xadz"}},
      {"a NUL ends the line", std::string("p a\0b c", 7), {"p", "a"}},
      {"empty line", "", {}},
      {"only separators and pairs", " \"\" \t ", {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(splitCommandLine(c.line), c.expected) << c.name;
  }
}

TEST(SplitCommandLine, VeryLongArgumentsStayWhole) {
  const std::string longPath(1 << 20, 'x');
  const auto args = splitCommandLine("p \"" + longPath + " y\" " + longPath);
  ASSERT_EQ(args.size(), 3u);
  EXPECT_EQ(args[1], longPath + " y");
  EXPECT_EQ(args[2], longPath);
}

TEST(SplitCommandLine, ManyArguments) {
  std::string line = "p";
  for (int i = 0; i < 100000; ++i) line += " \"\" a";
  EXPECT_EQ(splitCommandLine(line).size(), 100001u);
}

TEST(CommandLine, CountsAndPositions) {
  struct Case {
    const char* name;
    CommandLine commandLine;
    int count;
    Args positions;  // arguments 1 to 5
  };
  const char* argv[] = {"netupdate", "db.fdb", "SYSDBA", "", "pw", "srv"};
  const Case cases[] = {
      {"raw line: empty third argument moves the fourth up",
       CommandLine::fromRawLine(R"(netupdate db.fdb SYSDBA "" pw)"),
       3,
       {"db.fdb", "SYSDBA", "pw", "", ""}},
      {"argv: empty arguments are dropped the same way",
       CommandLine::fromArgv(6, argv),
       4,
       {"db.fdb", "SYSDBA", "pw", "srv", ""}},
      {"program name only", CommandLine::fromArgv(1, argv), 0, {"", "", "", "", ""}},
      {"nothing at all", CommandLine::fromArgv(0, argv), 0, {"", "", "", "", ""}},
      {"further arguments are kept but unused",
       CommandLine::fromRawLine("p a b c d e f"),
       6,
       {"a", "b", "c", "d", "e"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.commandLine.count(), c.count) << c.name;
    for (int i = 1; i <= 5; ++i) {
      EXPECT_EQ(c.commandLine.argument(i), c.positions[static_cast<std::size_t>(i - 1)])
          << c.name << ", argument " << i;
    }
    EXPECT_EQ(c.commandLine.argument(0), "") << c.name;
    EXPECT_EQ(c.commandLine.argument(-1), "") << c.name;
  }
}

}  // namespace
}  // namespace netupdate::app
