#include "app/stages.h"
#include "common/error.h"

// Built instead of real_stages.cpp while a stage library is missing from the
// tree: the window, its dialogs and exit codes still work, and every stage
// reports through the unhandled-error box that this build cannot run it.
namespace netupdate::app {

namespace {

[[noreturn]] void missing(const char* stage) {
  throw common::Error(std::string("This build of netupdate has no ") + stage + " stage");
}

class UnavailableStages : public Stages {
 public:
  bool OldalLetolt(RunState&, common::UserInterface&) override { missing("download"); }
  void Feldolgoz(RunState&) override { missing("parse"); }
  bool AdatBetolt(RunState&, common::UserInterface&) override { missing("database"); }
};

}  // namespace

std::unique_ptr<Stages> makeRealStages() {
  return std::make_unique<UnavailableStages>();
}

}  // namespace netupdate::app
