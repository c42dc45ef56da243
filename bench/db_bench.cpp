// Runs the reconciliation's stored-price lookup COUNT times on one prepared
// statement against an embedded database, as AdatBetolt does: months outer,
// fuel types inner. Prints the rows found and the time of the lookups alone.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "db/db_components.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: db_bench DATABASE COUNT\n");
    return 2;
  }
  const int count = std::atoi(argv[2]);
  const int fuels = count / 12;
  try {
    netupdate::db::DbComponents db;
    db.Varkona.setDBName(argv[1]);
    db.Varkona.ConnectParams().setUserName("SYSDBA");
    db.Varkona.ConnectParams().setPassword("x");
    db.Varkona.ConnectParams().setCharSet("WIN1250");
    db.Varkona.setConnected(true);
    db.tr1.setActive(true);
    db.QrS.SQL().clear();
    db.QrS.SQL().add("SELECT UZAAR FROM UZAAR WHERE UZAID = :ID AND DATUM = :DATUM");

    const auto start = std::chrono::steady_clock::now();
    int found = 0;
    double sum = 0;
    for (int month = 1; month <= 12; ++month) {
      for (int fuel = 1; fuel <= fuels; ++fuel) {
        db.QrS.ParamByName("ID").setAsInteger(fuel);
        db.QrS.ParamByName("DATUM").setAsDate({2018, month, 1});
        db.QrS.ExecQuery();
        if (!db.QrS.Eof()) {
          ++found;
          sum += db.QrS.FieldByName("UZAAR").AsFloat();
        }
        db.QrS.Close();
      }
    }
    const std::chrono::duration<double, std::milli> elapsed =
        std::chrono::steady_clock::now() - start;
    std::printf("%d lookups, %d rows found (sum %.2f), %.1f ms in the lookups\n", fuels * 12, found,
                sum, elapsed.count());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "db_bench: %s\n", e.what());
    return 1;
  }
  return 0;
}
