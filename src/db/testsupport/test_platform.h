#pragma once

// What the database tests need from the platform. One implementation file per
// platform (test_platform_*.cpp).

#include <string>
#include <vector>

namespace netupdate::db::testsupport {

// Whether something accepts TCP connections on host (an IPv4 address) and port right now.
bool tcpReachable(const std::string& host, int port);

// A loopback port nobody listens on, for tests of an unreachable server.
int closedLoopbackPort();

// Whether this build may run where no Firebird client library is installed:
// the Windows build, whose tests run under Wine beside a Linux engine.
bool clientLibraryMayBeMissing();

// Runs a program with the arguments (UTF-8, argv[0] the program's path),
// its standard output and error going to the two files, and waits for it.
// Returns its exit status, or -1 when it could not be started or did not exit.
int runProcess(const std::vector<std::string>& argv, const std::string& outPath,
               const std::string& errPath);

}  // namespace netupdate::db::testsupport
