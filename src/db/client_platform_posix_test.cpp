#include <langinfo.h>
#include <locale.h>

#include <gtest/gtest.h>

#include <string>

#include "db/client_platform.h"

namespace netupdate::db::detail {
namespace {

TEST(ClientPlatform, NamesGoOverAsUtf8) {
  for (const char* name : {"/srv/Könyvelés/zepa.fdb", "127.0.0.1:/srv/Árvíztűrő – Año/x.fdb"}) {
    EXPECT_EQ(clientText(name), name);
  }
}

// The client library reads names in the thread's character set: UTF-8 while
// the scope lives, whatever the process's locale, and the thread's own after.
TEST(ClientPlatform, CharsetScopeMakesTheThreadUtf8ForItsLifeOnly) {
  const std::string before = ::nl_langinfo(CODESET);
  const std::string numeric = ::nl_langinfo(RADIXCHAR);
  {
    const ClientCharsetScope charset;
    EXPECT_STREQ(::nl_langinfo(CODESET), "UTF-8");
    EXPECT_EQ(::nl_langinfo(RADIXCHAR), numeric) << "only the character set changes";
    {
      const ClientCharsetScope nested;
      EXPECT_STREQ(::nl_langinfo(CODESET), "UTF-8");
    }
    EXPECT_STREQ(::nl_langinfo(CODESET), "UTF-8");
  }
  EXPECT_EQ(::nl_langinfo(CODESET), before);
}

TEST(ClientPlatform, MissingLibrarySaysWhy) {
  std::string reason;
  EXPECT_EQ(openClientLibrary("libnetupdate-no-such-fbclient.so", reason), nullptr);
  EXPECT_NE(reason.find("libnetupdate-no-such-fbclient.so"), std::string::npos) << reason;
}

}  // namespace
}  // namespace netupdate::db::detail
