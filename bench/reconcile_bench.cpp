// A bare driver around AdatBetolt for bench/reconcile.sh: one process, one
// run, every question answered No, nothing printed per decision, so its time
// compares with isql-fb running the same statements from a script.
//   reconcile_bench PAGE DATABASE USER PASSWORD [SERVER]   runs the reconciliation
//   reconcile_bench PAGE                                   prints the page's prices
#include <cstdio>
#include <exception>
#include <string>

#include "common/prices.h"
#include "common/user_interface.h"
#include "db/adat_betolt.h"
#include "db/db_components.h"
#include "parse/feldolgoz.h"

namespace {

class AnswerNo : public netupdate::common::UserInterface {
 public:
  void showError(const std::string& message) override {
    std::fprintf(stderr, "%s\n", message.c_str());
  }
  netupdate::common::DialogResult confirm(const std::string&) override {
    return netupdate::common::DialogResult::No;
  }
  void requestClose() override {}
};

}  // namespace

int main(int argc, char** argv) {
  using namespace netupdate;
  if (argc != 2 && argc != 5 && argc != 6) {
    std::fputs("usage: reconcile_bench PAGE [DATABASE USER PASSWORD [SERVER]]\n", stderr);
    return 64;
  }
  common::THaviArak haviarak;
  parse::Feldolgoz(argv[1], haviarak);
  if (argc == 2) {
    for (int month = 1; month <= 12; ++month) {
      const common::THaviAr& m = haviarak[month];
      std::printf("%d %g %g %g %g\n", month, static_cast<double>(m.esz95),
                  static_cast<double>(m.keverek), static_cast<double>(m.gazolaj),
                  static_cast<double>(m.lpg));
    }
    return 0;
  }
  db::ConnectionValues values{argv[2], argv[3], argv[4], argc == 6 ? argv[5] : ""};
  if (!values.server.empty()) values.adatbazis = values.server + ":" + values.adatbazis;
  try {
    db::DbComponents components;
    common::TUzaArray Uzemanyagok;
    AnswerNo ui;
    int written = 0;
    db::ReconcileOptions options;
    options.observer = [&written](const db::DecisionEvent& event) {
      if (event.decision != db::Decision::Keep) ++written;
    };
    if (!db::AdatBetolt(components, values, haviarak, Uzemanyagok, ui, options)) return 1;
    std::printf("%zu fuel types, %d prices written\n", Uzemanyagok.size(), written);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 2;
  }
  return 0;
}
