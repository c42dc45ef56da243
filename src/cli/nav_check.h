#pragma once

#include <string>

namespace netupdate::cli {

// What check found about NAV's page of a year, in the administrator's words.
struct NavPageFinding {
  bool ok = false;
  std::string found;
  std::string remedy;  // only for a failure
};

// Finds and reads the year's page the way nav does.
NavPageFinding checkNavPage(int year);

}  // namespace netupdate::cli
