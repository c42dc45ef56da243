#include "download/oldal_letolt.h"

#include <exception>

#include "common/error.h"
#include "download/file_sink.h"

namespace netupdate::download {

bool OldalLetolt(THttpClient& IdHTTP1, const std::string& link, const std::string& TempFile,
                 common::UserInterface& ui) {
  // Outside the guard on purpose: a page file we cannot create is the
  // caller's unhandled error, not a failed download.
  FileSink page = FileSink::create(TempFile);
  std::string failure;
  bool fetched = false;
  try {
    IdHTTP1.Get(link, page);
    fetched = true;
  } catch (const std::exception& error) {
    failure = error.what();
  } catch (...) {
    // Nothing the fetch throws may leave the download stage; an error with no
    // text of its own still gets its dialog.
    failure = "Unknown error";
  }
  // The descriptor must not outlive the stage, whichever way the fetch went.
  // A close that fails after a good fetch means the page may be cut short,
  // so it counts as the fetch failing.
  try {
    page.close();
  } catch (const std::exception& error) {
    if (fetched) {
      fetched = false;
      failure = error.what();
    }
  }
  if (!fetched) {
    ui.showError("Hiba történt a weboldal megnyitása közben:\r\n\r\n" + link + "\r\n\r\n" +
                 "Hibaüzenet: " + failure);
  }
  return fetched;
}

}  // namespace netupdate::download
