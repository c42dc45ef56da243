#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "db/client_facts.h"

namespace netupdate::db {
namespace {

namespace fs = std::filesystem;

std::string peImage(std::uint16_t machine, std::uint32_t peOffset = 0x80) {
  std::string image(0x200, '\0');
  image[0] = 'M';
  image[1] = 'Z';
  for (std::size_t i = 0; i < 4; ++i) {
    image[0x3c + i] = static_cast<char>((peOffset >> (8 * i)) & 0xff);
  }
  if (peOffset + 6 <= image.size()) {
    image.replace(peOffset, 4, std::string("PE\0\0", 4));
    image[peOffset + 4] = static_cast<char>(machine & 0xff);
    image[peOffset + 5] = static_cast<char>(machine >> 8);
  }
  return image;
}

std::string elfImage(char elfClass) {
  std::string image(64, '\0');
  image.replace(0, 4,
                "\x7f"
                "ELF");
  image[4] = elfClass;
  return image;
}

// The bitness of a client library is read from its header, so a library of
// the other bitness is named without the loader's help.
TEST(ClientFacts, BitnessFromTheHeaderAlone) {
  const fs::path file = fs::temp_directory_path() / "netupdate-client-facts-test.bin";
  const struct {
    const char* name;
    std::string bytes;
    int bits;
  } cases[] = {
      {"x86 DLL", peImage(0x014c), 32},
      {"x64 DLL", peImage(0x8664), 64},
      {"ARM64 DLL", peImage(0xaa64), 64},
      {"unknown machine", peImage(0x01c4), 0},
      {"PE header past the end", peImage(0x014c, 0x7fffff00), 0},
      {"32-bit ELF", elfImage(1), 32},
      {"64-bit ELF", elfImage(2), 64},
      {"text", std::string(100, 'x'), 0},
      {"too short", "MZ", 0},
  };
  for (const auto& c : cases) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << c.bytes;
    EXPECT_EQ(binaryBits(file.string()), c.bits) << c.name;
  }
  fs::remove(file);
  EXPECT_EQ(binaryBits(file.string()), 0) << "missing file";
}

}  // namespace
}  // namespace netupdate::db
