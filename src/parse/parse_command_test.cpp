#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/testing/run_program.h"

namespace {

using netupdate::cli::testing::ProgramRun;

ProgramRun runCli(const std::vector<std::string>& args) {
  return netupdate::cli::testing::runProgram(NETUPDATE_CLI, args);
}

const std::string kSample = NETUPDATE_TESTDATA_DIR "/2018_uzemanyagarak.html";

TEST(ParseCommandTest, JsonHoldsAllTwelveMonthsOnOneLine) {
  const ProgramRun run = runCli({"parse", kSample, "--json"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out,
            "{\"months\":["
            "{\"month\":1,\"esz95\":366,\"gazolaj\":379,\"keverek\":388,\"lpg\":241},"
            "{\"month\":2,\"esz95\":371,\"gazolaj\":383,\"keverek\":392,\"lpg\":243},"
            "{\"month\":3,\"esz95\":362,\"gazolaj\":376,\"keverek\":386,\"lpg\":238},"
            "{\"month\":4,\"esz95\":368,\"gazolaj\":374,\"keverek\":391,\"lpg\":236},"
            "{\"month\":5,\"esz95\":377,\"gazolaj\":381,\"keverek\":399,\"lpg\":239},"
            "{\"month\":6,\"esz95\":392,\"gazolaj\":397,\"keverek\":411,\"lpg\":245},"
            "{\"month\":7,\"esz95\":389,\"gazolaj\":394,\"keverek\":408,\"lpg\":247},"
            "{\"month\":8,\"esz95\":385,\"gazolaj\":392,\"keverek\":404,\"lpg\":249},"
            "{\"month\":9,\"esz95\":391,\"gazolaj\":401,\"keverek\":410,\"lpg\":252},"
            "{\"month\":10,\"esz95\":398,\"gazolaj\":409,\"keverek\":417,\"lpg\":257},"
            "{\"month\":11,\"esz95\":396,\"gazolaj\":412,\"keverek\":415,\"lpg\":259},"
            "{\"month\":12,\"esz95\":374,\"gazolaj\":398,\"keverek\":396,\"lpg\":254}"
            "]}\n");
}

// On Windows a drive letter and backslashes, as a user types it there.
TEST(ParseCommandTest, PathInThePlatformsOwnForm) {
  const std::u8string native =
      std::filesystem::absolute(std::filesystem::path(kSample)).make_preferred().u8string();
  const ProgramRun run = runCli({"parse", std::string(native.begin(), native.end()), "--json"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.rfind("{\"months\":[{\"month\":1,\"esz95\":366,", 0), 0u) << run.out;
}

TEST(ParseCommandTest, TableNamesEveryMonthWithItsPrices) {
  const ProgramRun run = runCli({"parse", kSample});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("Benzin ESZ-95"), std::string::npos);
  EXPECT_NE(run.out.find("Január                366      379      388          241\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("Október               398      409      417          257\n"),
            std::string::npos)
      << run.out;
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 13);
}

TEST(CommandLineTest, HelpIsTheUsageOnStdout) {
  for (const char* option : {"--help", "-h"}) {
    const ProgramRun run = runCli({option});
    EXPECT_EQ(run.status, 0) << option;
    EXPECT_EQ(run.out.rfind("usage: netupdate-cli parse FILE [--json]\n", 0), 0u) << run.out;
    EXPECT_EQ(run.err, "") << option;
  }
  const ProgramRun bare = runCli({});
  EXPECT_EQ(bare.status, 64);
  EXPECT_EQ(bare.out, "");
  EXPECT_NE(bare.err.find("usage:"), std::string::npos);
}

TEST(ParseCommandTest, ExitStatusAndMessages) {
  const struct {
    std::vector<std::string> args;
    int status;
    std::string errorPart;
  } cases[] = {
      {{"parse"}, 64, "FILE is missing"},
      {{"parse", "--json"}, 64, "FILE is missing"},
      {{"parse", kSample, "--xml"}, 64, "unknown option --xml"},
      {{"parse", kSample, kSample}, 64, "only one FILE"},
      {{"parse", NETUPDATE_TESTDATA_DIR "/missing.html"}, 2, "The specified file was not found"},
      {{"parse", kSample + "/x"}, 2, "Invalid file name - " + kSample + "/x"},
      {{"parse", NETUPDATE_TESTDATA_DIR}, 2, "File access denied"},
      // A single dash begins no option: the name is a file's, and so is one after "--".
      {{"parse", "-x9"}, 2, "The specified file was not found"},
      {{"parse", "--json", "--", "--x9"}, 2, "The specified file was not found"},
  };
  for (const auto& c : cases) {
    const ProgramRun run = runCli(c.args);
    EXPECT_EQ(run.status, c.status) << c.args.back();
    EXPECT_NE(run.err.find(c.errorPart), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "") << c.args.back();
  }
}

}  // namespace
