#include "app/testing/stage_double.h"

#include <fstream>

#include "app/shell_rules.h"

namespace netupdate::app {

void StageDouble::record(const char* what) {
  m_log->push_back(context ? std::string(what) + " | " + context() : std::string(what));
}

bool StageDouble::OldalLetolt(RunState& state, common::UserInterface& ui) {
  record("OldalLetolt");
  const bool saved = download ? download(state, ui) : true;
  // Even a failed download leaves a (possibly empty) page file behind.
  std::ofstream(pathFromUtf8(state.TempFile), std::ios::binary) << "<html>page</html>";
  return saved;
}

void StageDouble::Feldolgoz(RunState& state) {
  record("Feldolgoz");
  if (parse) parse(state);
}

bool StageDouble::AdatBetolt(RunState& state, common::UserInterface& ui) {
  record("AdatBetolt");
  return reconcile ? reconcile(state, ui) : true;
}

StagesFactory stageDoubleFactory(std::shared_ptr<StageDouble::Log> log, StageDouble** made) {
  return [log, made]() -> std::unique_ptr<Stages> {
    auto stages = std::make_unique<StageDouble>(log);
    *made = stages.get();
    return stages;
  };
}

}  // namespace netupdate::app
