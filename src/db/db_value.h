#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/format_settings.h"

namespace netupdate::db {

// One parameter or one result column: the Firebird type the server described
// (or the type of the value last written), its data and its NULL flag. Texts
// are UTF-8 here and in the ANSI code page on the wire.
class TDbValue {
 public:
  TDbValue() = default;
  explicit TDbValue(std::string name) : m_name(std::move(name)) {}

  // The parameter name, or the column's alias.
  const std::string& Name() const { return m_name; }

  bool IsNull() const { return m_indicator < 0; }
  // The Firebird SQL type code without its nullable bit (SQL_LONG, SQL_TEXT...).
  int SQLType() const { return m_sqlType; }
  int SQLScale() const { return m_scale; }

  // Readers: NULL reads as 0, 0.0 or the empty text; a value of a type the
  // reader cannot convert raises "Invalid data conversion.".
  std::int32_t AsInteger() const;
  double AsFloat() const;
  // A CHAR value keeps its trailing blanks.
  std::string AsString() const;

  // Writers replace the described type by the value's own; the server
  // converts it to the column's type.
  void setAsInteger(std::int32_t value);
  void setAsFloat(double value);
  // Sent as the timestamp at midnight of that day.
  void setAsDate(const common::Date& date);
  // An empty text becomes NULL for a parameter described as a number, date or time.
  void setAsString(std::string_view value);
  void setNull();

 private:
  friend class TDbQuery;

  void setData(int sqlType, int scale, const void* bytes, std::size_t size);

  std::string m_name;
  int m_sqlType = 0;
  int m_subType = 0;
  int m_scale = 0;
  // The type the server described for a parameter, whatever was written since.
  int m_describedType = 0;
  // An empty text whose NULL-ness depends on the described type, known only once prepared.
  bool m_emptyText = false;
  // The client library's NULL indicator: -1 NULL, 0 a value.
  short m_indicator = -1;
  // The bytes as the client library reads and writes them; a VARCHAR keeps its
  // two-byte length in front, as the XSQLVAR carries it.
  std::vector<char> m_data;
};

}  // namespace netupdate::db
