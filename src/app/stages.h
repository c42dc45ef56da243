#pragma once

#include <functional>
#include <memory>

#include "app/run_state.h"
#include "common/user_interface.h"

namespace netupdate::app {

// The three stages as the window calls them. Expected failures are shown
// through `ui` and reported by the result; anything else is thrown.
class Stages {
 public:
  virtual ~Stages() = default;

  // Saves the page at state.link into state.TempFile.
  virtual bool OldalLetolt(RunState& state, common::UserInterface& ui) = 0;

  // Reads state.TempFile into state.haviarak.
  virtual void Feldolgoz(RunState& state) = 0;

  // Reconciles the database with state.haviarak; false only when the
  // connection failed, after it has asked for the window to close.
  virtual bool AdatBetolt(RunState& state, common::UserInterface& ui) = 0;
};

// The window calls it after its own controls exist, so the stages' components
// come after them and are released before them.
using StagesFactory = std::function<std::unique_ptr<Stages>()>;

// The stages the product runs with.
std::unique_ptr<Stages> makeRealStages();

}  // namespace netupdate::app
