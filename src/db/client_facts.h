#pragma once

#include <string>
#include <vector>

namespace netupdate::db {

// What this machine's Firebird client library is, found out without a run:
// for an administrator's check, so every field is a fact, not a verdict.
struct ClientLibraryFacts {
  std::string name;  // the name the loader is asked for
  // The file the loader takes (or would take, where it was not loaded); empty when none.
  std::string path;
  // Of that file, read from its header: 32, 64, or 0 when it is no library.
  int bits = 0;
  std::string fileVersion;    // the version resource, where libraries carry one
  std::string clientVersion;  // the client's own answer, where it has the call
  int clientMajor = 0;        // 0 when it cannot say
  int clientMinor = 0;
  bool loaded = false;
  std::string loadError;  // the loader's reason when it was not loaded
  // Entry points a run calls that the library lacks, comma-separated; a
  // library with neither fb_interpret nor isc_interprete lacks fb_interpret.
  std::string missing;
  // Messages only through isc_interprete, as Firebird 1.x clients have it.
  bool legacyInterpret = false;
  // Where the loader looks, in order; empty where only the loader knows.
  std::vector<std::string> searched;
};

// 32 or 64: this program's own bitness, which the client library must share.
int programBits();

// The client library a connect would load, by the same names and loader. A
// library of the other bitness is named from its header and never loaded.
ClientLibraryFacts clientLibraryFacts();

// The bitness of a PE or ELF file from its header, without loading it; 0
// when the file cannot be read or is neither.
int binaryBits(const std::string& path);

}  // namespace netupdate::db
