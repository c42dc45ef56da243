#pragma once

#include <string>

#include "common/prices.h"

namespace netupdate::app {

// Everything a run knows. The window owns it; the stages read and fill it,
// and it is the only way they hand data to each other.
struct RunState {
  bool debug = false;
  bool indithiba = false;
  std::string adatbazis;
  std::string username;
  std::string password;
  std::string server;
  std::string link;
  std::string ProgramDir;
  std::string TempFile;
  common::THaviArak haviarak;
  common::TUzaArray Uzemanyagok;
};

}  // namespace netupdate::app
