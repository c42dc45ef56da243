#pragma once

#include "app/stages.h"
#include "db/db_components.h"
#include "download/http_client.h"

namespace netupdate::app {

// The stages as the product runs them, over the components the window owns:
// the HTTP client first, the database objects last, so those go first.
class RealStages : public Stages {
 public:
  bool OldalLetolt(RunState& state, common::UserInterface& ui) override;
  void Feldolgoz(RunState& state) override;
  bool AdatBetolt(RunState& state, common::UserInterface& ui) override;

 private:
  download::THttpClient IdHTTP1;
  db::DbComponents m_db;
};

}  // namespace netupdate::app
