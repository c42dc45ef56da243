#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "common/prices.h"
#include "parse/feldolgoz.h"

namespace netupdate::parse::testing {

namespace fs = std::filesystem;

// The program's paths are UTF-8 on every platform; std::filesystem's string()
// would give the ANSI code page on Windows.
inline std::string utf8(const fs::path& path) {
  const std::u8string text = path.u8string();
  return {text.begin(), text.end()};
}

inline fs::path fromUtf8(const std::string& text) {
  return fs::path(std::u8string(text.begin(), text.end()));
}

inline common::THaviAr prices(float esz95, float gazolaj, float keverek, float lpg) {
  return common::THaviAr{esz95, keverek, gazolaj, lpg};
}

inline common::THaviArak filledWith(float value) {
  common::THaviArak table;
  for (int month = 1; month <= 12; ++month) table[month] = prices(value, value, value, value);
  return table;
}

struct ErrorCase {
  int code;
  std::string message;
};

inline ErrorCase errorOf(const std::string& path) {
  common::THaviArak haviarak;
  try {
    Feldolgoz(path, haviarak);
  } catch (const EInOutError& error) {
    return {error.code(), error.what()};
  }
  return {0, "no error"};
}

// A fresh folder per test, removed afterwards.
class FeldolgozTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device random;
    do {
      m_dir = fs::temp_directory_path() / ("feldolgoz_test." + std::to_string(random()));
    } while (!fs::create_directory(m_dir));
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(m_dir, ignored);
  }

  // name is UTF-8; returns the file's full path, UTF-8 too.
  std::string write(const std::string& name, const std::string& bytes) {
    const fs::path path = m_dir / fromUtf8(name);
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
    return utf8(path);
  }

  std::string dir() const { return utf8(m_dir); }

  fs::path m_dir;
};

}  // namespace netupdate::parse::testing
