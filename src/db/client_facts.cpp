#include "db/client_facts.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>

#include "db/client_library.h"
#include "db/client_platform.h"

namespace netupdate::db {

namespace {

constexpr std::uint16_t kMachineI386 = 0x014c;
constexpr std::uint16_t kMachineAmd64 = 0x8664;
constexpr std::uint16_t kMachineArm64 = 0xaa64;

std::uint32_t littleEndian(const unsigned char* bytes, int count) {
  std::uint32_t value = 0;
  for (int i = count - 1; i >= 0; --i) value = (value << 8) | bytes[i];
  return value;
}

// isc_get_client_version writes as much as it has; a kilobyte is many times that.
void readClientVersion(void* library, ClientLibraryFacts& facts) {
  // Their types from ibase.h, which carry the calling convention (__stdcall on x86).
  using VersionText = decltype(&::isc_get_client_version);
  using VersionNumber = decltype(&::isc_get_client_major_version);
  if (auto text = reinterpret_cast<VersionText>(
          detail::findClientFunction(library, "isc_get_client_version"))) {
    std::array<char, 1024> buffer{};
    text(buffer.data());
    buffer.back() = '\0';
    facts.clientVersion = buffer.data();
  }
  const auto major = reinterpret_cast<VersionNumber>(
      detail::findClientFunction(library, "isc_get_client_major_version"));
  const auto minor = reinterpret_cast<VersionNumber>(
      detail::findClientFunction(library, "isc_get_client_minor_version"));
  if (major != nullptr && minor != nullptr) {
    facts.clientMajor = major();
    facts.clientMinor = minor();
  }
}

}  // namespace

int programBits() {
  return static_cast<int>(sizeof(void*) * 8);
}

int binaryBits(const std::string& path) {
  std::ifstream file(std::filesystem::path(std::u8string(path.begin(), path.end())),
                     std::ios::binary);
  std::array<unsigned char, 64> head{};
  if (!file.read(reinterpret_cast<char*>(head.data()), head.size())) return 0;
  if (head[0] == 0x7f && head[1] == 'E' && head[2] == 'L' && head[3] == 'F') {
    return head[4] == 1 ? 32 : head[4] == 2 ? 64 : 0;
  }
  if (head[0] != 'M' || head[1] != 'Z') return 0;
  // The DOS header points at the PE signature, followed by the machine type.
  const std::uint32_t peOffset = littleEndian(head.data() + 0x3c, 4);
  std::array<unsigned char, 6> pe{};
  if (!file.seekg(peOffset) || !file.read(reinterpret_cast<char*>(pe.data()), pe.size())) {
    return 0;
  }
  if (pe[0] != 'P' || pe[1] != 'E' || pe[2] != 0 || pe[3] != 0) return 0;
  switch (littleEndian(pe.data() + 4, 2)) {
    case kMachineI386:
      return 32;
    case kMachineAmd64:
    case kMachineArm64:
      return 64;
    default:
      return 0;
  }
}

ClientLibraryFacts clientLibraryFacts() {
  ClientLibraryFacts facts;
  const std::vector<std::string> names = detail::defaultClientLibraryNames();
  facts.searched = detail::clientLibrarySearchFolders();
  for (const std::string& name : names) {
    facts.name = name;
    facts.path = detail::findClientLibraryFile(name);
    if (!facts.path.empty()) {
      facts.bits = binaryBits(facts.path);
      facts.fileVersion = detail::libraryFileVersion(facts.path);
      // The loader would refuse it; loading it only to hear that is pointless.
      // A file that is no library at all is left to the loader to describe.
      if (facts.bits != 0 && facts.bits != programBits()) return facts;
    }
    std::string reason;
    void* library = detail::openClientLibrary(name, reason);
    if (library == nullptr) {
      if (!facts.loadError.empty()) facts.loadError += "; ";
      facts.loadError += reason;
      // Found where the loader looks first, but unusable: it looks no further.
      if (!facts.path.empty()) return facts;
      continue;
    }
    facts.loaded = true;
    facts.loadError.clear();
    const std::string loadedFrom = detail::loadedLibraryFile(
        library, detail::findClientFunction(library, "isc_attach_database"));
    if (!loadedFrom.empty()) facts.path = loadedFrom;
    facts.bits = binaryBits(facts.path);
    facts.fileVersion = detail::libraryFileVersion(facts.path);
    facts.missing = detail::missingEntryPoints(library);
    facts.legacyInterpret = detail::findClientFunction(library, "fb_interpret") == nullptr &&
                            detail::findClientFunction(library, "isc_interprete") != nullptr;
    readClientVersion(library, facts);
    return facts;
  }
  facts.name = names.empty() ? std::string() : names.front();
  return facts;
}

}  // namespace netupdate::db
