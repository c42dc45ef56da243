#include <cstdio>
#include <exception>

#include "common/prices.h"
#include "parse/feldolgoz.h"

// Parses one page and prints how many cells got a price, so the work cannot
// be optimised away and a broken page shows in the output.
int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: parse_bench FILE\n", stderr);
    return 64;
  }
  netupdate::common::THaviArak haviarak;
  try {
    netupdate::parse::Feldolgoz(argv[1], haviarak);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "parse_bench: %s\n", error.what());
    return 2;
  }
  int cells = 0;
  for (int month = 1; month <= 12; ++month) {
    const auto& row = haviarak[month];
    cells += (row.esz95 != 0) + (row.gazolaj != 0) + (row.keverek != 0) + (row.lpg != 0);
  }
  std::printf("%d\n", cells);
  return 0;
}
