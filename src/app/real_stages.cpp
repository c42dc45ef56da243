#include "app/real_stages.h"

#include "db/adat_betolt.h"
#include "download/oldal_letolt.h"
#include "parse/feldolgoz.h"

namespace netupdate::app {

bool RealStages::OldalLetolt(RunState& state, common::UserInterface& ui) {
  return download::OldalLetolt(IdHTTP1, state.link, state.TempFile, ui);
}

void RealStages::Feldolgoz(RunState& state) {
  parse::Feldolgoz(state.TempFile, state.haviarak);
}

bool RealStages::AdatBetolt(RunState& state, common::UserInterface& ui) {
  const db::ConnectionValues values{state.adatbazis, state.username, state.password, state.server};
  return db::AdatBetolt(m_db, values, state.haviarak, state.Uzemanyagok, ui);
}

std::unique_ptr<Stages> makeRealStages() {
  return std::make_unique<RealStages>();
}

}  // namespace netupdate::app
