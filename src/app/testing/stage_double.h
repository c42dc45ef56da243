#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/stages.h"

namespace netupdate::app {

// Stands in for the three stages in window tests: records each call and does
// what the test scripted. The download writes the page file after the
// scripted part, as the real one does unless it throws.
class StageDouble : public Stages {
 public:
  using Log = std::vector<std::string>;

  explicit StageDouble(std::shared_ptr<Log> log) : m_log(std::move(log)) {}

  bool OldalLetolt(RunState& state, common::UserInterface& ui) override;
  void Feldolgoz(RunState& state) override;
  bool AdatBetolt(RunState& state, common::UserInterface& ui) override;

  // Each runs inside its stage, after the call is logged.
  std::function<bool(RunState&, common::UserInterface&)> download;
  std::function<void(RunState&)> parse;
  std::function<bool(RunState&, common::UserInterface&)> reconcile;

  // Appended to every log entry, e.g. the activity text the window shows.
  std::function<std::string()> context;

 private:
  void record(const char* what);

  std::shared_ptr<Log> m_log;
};

// A factory for the window that keeps a handle on the double it made.
StagesFactory stageDoubleFactory(std::shared_ptr<StageDouble::Log> log, StageDouble** made);

}  // namespace netupdate::app
