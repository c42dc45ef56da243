#include "db/adat_betolt.h"

#include <exception>

namespace netupdate::db {

namespace {

constexpr const char* kConnectFailed = "Nem sikerült a kapcsolódás a USER adatbázishoz!";

constexpr const char* kFuelTypesSql[] = {
    "SELECT DISTINCT UZA_ID, UZA_MEGNEV, UZA.UZANEV FROM UZA_APEH",
    "INNER JOIN UZA ON (UZA_APEH.UZA_ID = UZA.UZAID)",
    "WHERE (UZA_ID > 0)",
};
constexpr const char* kStoredPriceSql =
    "SELECT UZAAR FROM UZAAR WHERE UZAID = :ID AND DATUM = :DATUM";
constexpr const char* kRemoveSql = "DELETE FROM UZAAR WHERE UZAID = :ID AND DATUM = :DATUM";
// Only the rows that carry no usable price go: a positive price is never
// removed without the user's Yes.
constexpr const char* kRemoveUnpricedSql =
    "DELETE FROM UZAAR WHERE UZAID = :ID AND DATUM = :DATUM AND (UZAAR IS NULL OR UZAAR <= 0)";
constexpr const char* kInsertSql[] = {
    "INSERT INTO UZAAR (UZAID, DATUM, UZAAR, JELLEG, UZANEV, MEGJ)",
    "VALUES (:UZAID, :DATUM, :UZAAR, :JELLEG, :UZANEV, :MEGJ)",
};

// NAV's price for a fuel's category; names match only exactly as NAV writes them.
float navPrice(const common::THaviAr& month, const std::string& megnev) {
  if (megnev == "Benzin ESZ-95") return month.esz95;
  if (megnev == "Keverék") return month.keverek;
  if (megnev == "Gázolaj") return month.gazolaj;
  if (megnev == "LPG autógáz") return month.lpg;
  return 0;
}

void insertNavPrice(TDbQuery& QrI, const common::TUza& uza, const common::Date& datum, float nav) {
  QrI.SQL().clear();
  for (const char* line : kInsertSql) QrI.SQL().add(line);
  QrI.ParamByName("JELLEG").setAsString("AA");
  QrI.ParamByName("MEGJ").setAsString("NAV ÁR");
  QrI.ParamByName("UZAID").setAsInteger(uza.uzaid);
  QrI.ParamByName("DATUM").setAsDate(datum);
  QrI.ParamByName("UZAAR").setAsFloat(static_cast<double>(nav));
  QrI.ParamByName("UZANEV").setAsString(uza.umegnev);
  QrI.ExecQuery();
}

void removeRows(TDbQuery& QrI, const char* sql, std::int32_t uzaid, const common::Date& datum) {
  QrI.SQL().clear();
  QrI.SQL().add(sql);
  QrI.ParamByName("ID").setAsInteger(uzaid);
  QrI.ParamByName("DATUM").setAsDate(datum);
  QrI.ExecQuery();
}

// QrI commits every statement on its own. A removal and the insert that takes
// its place must not be split that way: were the insert to fail after a
// committed removal, the fuel type would be left without a price.
class SingleCommit {
 public:
  explicit SingleCommit(TDbQuery& query) : m_query(query), m_options(query.Options()) {
    m_query.setOptions(m_options & ~static_cast<TQueryOptions>(qoAutoCommit));
  }
  ~SingleCommit() { m_query.setOptions(m_options); }
  SingleCommit(const SingleCommit&) = delete;
  SingleCommit& operator=(const SingleCommit&) = delete;

 private:
  TDbQuery& m_query;
  TQueryOptions m_options;
};

void replaceTogether(DbComponents& db, const char* removeSql, const common::TUza& uza,
                     const common::Date& datum, float nav) {
  SingleCommit single(db.QrI);
  try {
    removeRows(db.QrI, removeSql, uza.uzaid, datum);
    insertNavPrice(db.QrI, uza, datum, nav);
    db.tr2.Commit();
  } catch (...) {
    // The caller gets the failure that stopped the write, not a follow-up
    // failure of the rollback (which a broken connection would also cause).
    try {
      if (db.tr2.Active()) db.tr2.Rollback();
    } catch (const std::exception&) {
    }
    throw;
  }
}

void readFuelTypes(TDbQuery& QrS, common::TUzaArray& Uzemanyagok) {
  QrS.SQL().clear();
  for (const char* line : kFuelTypesSql) QrS.SQL().add(line);
  QrS.ExecQuery();
  while (!QrS.Eof()) {
    common::TUza& uza = Uzemanyagok.emplace_back();
    uza.uzaid = QrS.FieldByName("UZA_ID").AsInteger();
    uza.megnev = QrS.FieldByName("UZA_MEGNEV").AsString();
    uza.umegnev = QrS.FieldByName("UZANEV").AsString();
    QrS.Next();
  }
  QrS.Close();
}

void report(const ReconcileOptions& options, Decision decision, const common::TUza& uza,
            const common::Date& datum, float stored, float nav) {
  if (options.observer) options.observer(DecisionEvent{decision, uza.uzaid, datum, stored, nav});
}

}  // namespace

void setConnectionValues(TDbConnection& Varkona, const ConnectionValues& values) {
  Varkona.setDBName(values.adatbazis);
  Varkona.ConnectParams().setUserName(values.username);
  Varkona.ConnectParams().setPassword(values.password);
  // The role only tells the host that the client came over the network; the
  // server:path attach string is what makes the connection go there.
  if (!values.server.empty()) Varkona.ConnectParams().setRoleName("TCP");
  Varkona.ConnectParams().setCharSet("WIN1250");
}

std::vector<ReconcileStatement> reconcileStatements() {
  const auto lines = [](auto&&... line) { return std::vector<std::string>{line...}; };
  return {
      {"üzemanyagfajták", false, lines(kFuelTypesSql[0], kFuelTypesSql[1], kFuelTypesSql[2])},
      {"tárolt ár", false, lines(kStoredPriceSql)},
      {"tárolt ár törlése", true, lines(kRemoveSql)},
      {"ár nélküli sorok törlése", true, lines(kRemoveUnpricedSql)},
      {"NAV ár beírása", true, lines(kInsertSql[0], kInsertSql[1])},
  };
}

std::string KetJegyu(int value) {
  const std::string text = std::to_string(value);
  return text.size() == 1 ? "0" + text : text;
}

std::string overwriteQuestion(const std::string& megnev, const common::Date& datum, float stored,
                              float nav) {
  return "Az alábbi üzemanyag típusnál: " + megnev + " a " +
         common::formatDate(common::formatSettings().shortDateFormat, datum) +
         " dátumhoz rögzített ár: " + common::formatFloat("###.00", static_cast<double>(stored)) +
         " eltér a NAV által megadott ártól: " +
         common::formatFloat("###.00", static_cast<double>(nav)) + "\r\r" +
         "Kívánja az NAV által megadott árat rögzíteni?";
}

bool AdatBetolt(DbComponents& db, const ConnectionValues& values, const common::THaviArak& haviarak,
                common::TUzaArray& Uzemanyagok, common::UserInterface& ui) {
  return AdatBetolt(db, values, haviarak, Uzemanyagok, ui, ReconcileOptions{});
}

bool AdatBetolt(DbComponents& db, const ConnectionValues& values, const common::THaviArak& haviarak,
                common::TUzaArray& Uzemanyagok, common::UserInterface& ui,
                const ReconcileOptions& options) {
  // Outside the guard on purpose: settings refused on an open connection are
  // a fault of the caller, not a failed connection.
  setConnectionValues(db.Varkona, values);

  try {
    db.Varkona.setConnected(true);
  } catch (const std::exception& error) {
    ui.showError(kConnectFailed);
    if (options.onConnectFailure) options.onConnectFailure(error);
    ui.requestClose();
    return false;
  }

  db.tr1.setActive(true);
  db.tr2.setActive(true);

  readFuelTypes(db.QrS, Uzemanyagok);

  db.QrS.SQL().clear();
  db.QrS.SQL().add(kStoredPriceSql);

  for (int month = 1; month <= 12; ++month) {
    const common::Date datum = common::parseDate(options.ev + "." + KetJegyu(month) + ".01");
    // Counted here, once a month, as the host's code did; the loop body never
    // changes the array.
    const std::size_t count = Uzemanyagok.size();
    for (std::size_t i = 0; i < count; ++i) {
      const common::TUza& uza = Uzemanyagok[i];

      db.QrS.ParamByName("ID").setAsInteger(uza.uzaid);
      db.QrS.ParamByName("DATUM").setAsDate(datum);
      db.QrS.ExecQuery();
      const bool rowFound = !db.QrS.Eof();
      float stored = 0;
      if (rowFound) stored = static_cast<float>(db.QrS.FieldByName("UZAAR").AsFloat());
      db.QrS.Close();

      const float nav = navPrice(haviarak[month], uza.megnev);
      if (nav <= 0 || stored == nav) continue;

      if (stored > 0) {
        if (ui.confirm(overwriteQuestion(uza.megnev, datum, stored, nav)) !=
            common::DialogResult::Yes) {
          report(options, Decision::Keep, uza, datum, stored, nav);
          continue;
        }
        if (!options.dryRun) replaceTogether(db, kRemoveSql, uza, datum, nav);
        report(options, Decision::Overwrite, uza, datum, stored, nav);
      } else if (rowFound) {
        if (!options.dryRun) replaceTogether(db, kRemoveUnpricedSql, uza, datum, nav);
        report(options, Decision::Replace, uza, datum, stored, nav);
      } else {
        if (!options.dryRun) insertNavPrice(db.QrI, uza, datum, nav);
        report(options, Decision::Insert, uza, datum, stored, nav);
      }
    }
  }
  return true;
}

}  // namespace netupdate::db
