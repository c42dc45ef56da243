#pragma once

#include <string>

#include "common/format_settings.h"

// The process services the run sequence needs that each platform names its
// own way. One implementation file per platform; CMake picks it.
namespace netupdate::app {

// The working directory in UTF-8, or "." when the system cannot name it (it
// has been removed under us): the page file then fails where it is written,
// with a message, instead of landing in the root directory.
std::string currentDirectory();

// The local date.
common::Date today();

// What goes between the working directory and the page file's name.
char pathSeparator();

}  // namespace netupdate::app
