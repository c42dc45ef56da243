#pragma once

#include <string>

#include "common/user_interface.h"
#include "download/http_client.h"

namespace netupdate::download {

// Saves the page at `link` into TempFile, created or truncated first. A fetch
// that fails is shown to the user through `ui` and gives false; the file
// then holds whatever arrived before the failure and is left for the caller
// to delete. A file that cannot be created is not the fetch's failure: that
// error is thrown, and no request is sent.
bool OldalLetolt(THttpClient& IdHTTP1, const std::string& link, const std::string& TempFile,
                 common::UserInterface& ui);

}  // namespace netupdate::download
