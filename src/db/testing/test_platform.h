#pragma once

// What the database tests need from the platform. One implementation file per
// platform (test_platform_*.cpp).

#include <string>

namespace netupdate::db::testsupport {

// Whether something accepts TCP connections on host (an IPv4 address) and port right now.
bool tcpReachable(const std::string& host, int port);

// A loopback port nobody listens on, for tests of an unreachable server.
int closedLoopbackPort();

// Whether this build may run where no Firebird client library is installed:
// the Windows build, whose tests run under Wine beside a Linux engine.
bool clientLibraryMayBeMissing();

}  // namespace netupdate::db::testsupport
