#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct CliRun {
  int status = -1;
  std::string out;
  std::string err;
};

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// Runs the real tool with its output captured in files beside the test.
CliRun runCli(const std::vector<std::string>& args) {
  char outName[] = "/tmp/parse_command_out.XXXXXX";
  char errName[] = "/tmp/parse_command_err.XXXXXX";
  const int outFd = ::mkstemp(outName);
  const int errFd = ::mkstemp(errName);
  CliRun run;
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(outFd, 1);
    ::dup2(errFd, 2);
    std::vector<char*> argv;
    std::string program = NETUPDATE_CLI;
    argv.push_back(program.data());
    std::vector<std::string> copies = args;
    for (std::string& arg : copies) argv.push_back(arg.data());
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  ::close(outFd);
  ::close(errFd);
  run.out = slurp(outName);
  run.err = slurp(errName);
  ::unlink(outName);
  ::unlink(errName);
  return run;
}

const std::string kSample = NETUPDATE_TESTDATA_DIR "/2018_uzemanyagarak.html";

TEST(ParseCommandTest, JsonHoldsAllTwelveMonthsOnOneLine) {
  const CliRun run = runCli({"parse", kSample, "--json"});
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

TEST(ParseCommandTest, TableNamesEveryMonthWithItsPrices) {
  const CliRun run = runCli({"parse", kSample});
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
      {{"parse", "/nonexistent/page.html"}, 2, "The specified file was not found"},
      {{"parse", kSample + "/x"}, 2, "Invalid file name - " + kSample + "/x"},
      {{"parse", NETUPDATE_TESTDATA_DIR}, 2, "File access denied"},
  };
  for (const auto& c : cases) {
    const CliRun run = runCli(c.args);
    EXPECT_EQ(run.status, c.status) << c.args.back();
    EXPECT_NE(run.err.find(c.errorPart), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "") << c.args.back();
  }
}

}  // namespace
