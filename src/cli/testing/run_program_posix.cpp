#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <stdexcept>

#include "cli/testing/run_program.h"

namespace netupdate::cli::testing {

ProgramRun runProgram(const std::string& program, const std::vector<std::string>& args) {
  std::vector<std::string> words{program};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  int out[2];
  int err[2];
  if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe failed");
  }
  // Only calls that are safe between fork and exec: the tests run servers on threads.
  const pid_t child = ::fork();
  if (child == 0) {
    const int nothing = ::open("/dev/null", O_RDONLY);
    ::dup2(nothing, 0);
    ::dup2(out[1], 1);
    ::dup2(err[1], 2);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(out[1]);
  ::close(err[1]);

  ProgramRun run;
  // Both streams at once, so a program filling one pipe never waits on us.
  std::array<pollfd, 2> streams{{{out[0], POLLIN, 0}, {err[0], POLLIN, 0}}};
  std::array<std::string*, 2> texts{&run.out, &run.err};
  while (streams[0].fd >= 0 || streams[1].fd >= 0) {
    if (::poll(streams.data(), streams.size(), -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (std::size_t i = 0; i < streams.size(); ++i) {
      if (streams[i].fd < 0 || streams[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t got = ::read(streams[i].fd, buffer, sizeof buffer);
      if (got > 0) {
        texts[i]->append(buffer, static_cast<std::size_t>(got));
      } else if (got == 0 || errno != EINTR) {
        ::close(streams[i].fd);
        streams[i].fd = -1;
      }
    }
  }
  for (const pollfd& stream : streams) {
    if (stream.fd >= 0) ::close(stream.fd);
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

}  // namespace netupdate::cli::testing
