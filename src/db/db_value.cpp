#include "db/db_value.h"

#include <ibase.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "common/codepage.h"
#include "db/db_error.h"
#include "db/text_util.h"

namespace netupdate::db {

namespace {

constexpr int kMaxTextBytes = 32767;

// 1858-11-17, the day Firebird counts dates from, in days since 1970-01-01.
constexpr long long kFirebirdEpoch = -40587;

long long daysFromCivil(int year, int month, int day) {
  // Counts from 1 March so the leap day falls at the end of a year.
  const long long y = month <= 2 ? year - 1 : year;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const long long yearOfEra = y - era * 400;
  const long long dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const long long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

template <typename T>
T readAs(const std::vector<char>& data) {
  T value{};
  if (data.size() >= sizeof value) std::memcpy(&value, data.data(), sizeof value);
  return value;
}

[[noreturn]] void invalidConversion() {
  throw EDbError(kInvalidConversion);
}

bool isInteger(int type) {
  return type == SQL_SHORT || type == SQL_LONG || type == SQL_INT64;
}
bool isFloat(int type) {
  return type == SQL_FLOAT || type == SQL_DOUBLE || type == SQL_D_FLOAT;
}
bool isText(int type) {
  return type == SQL_TEXT || type == SQL_VARYING;
}

std::int64_t integerValue(int type, const std::vector<char>& data) {
  switch (type) {
    case SQL_SHORT:
      return readAs<std::int16_t>(data);
    case SQL_LONG:
      return readAs<std::int32_t>(data);
    default:
      return readAs<std::int64_t>(data);
  }
}

double floatValue(int type, const std::vector<char>& data) {
  return type == SQL_FLOAT ? static_cast<double>(readAs<float>(data)) : readAs<double>(data);
}

std::int64_t pow10(int exponent) {
  std::int64_t result = 1;
  for (int i = 0; i < exponent; ++i) result *= 10;
  return result;
}

std::int32_t toInt32(double value) {
  const double truncated = std::trunc(value);
  if (!(truncated >= std::numeric_limits<std::int32_t>::min() &&
        truncated <= std::numeric_limits<std::int32_t>::max())) {
    invalidConversion();
  }
  return static_cast<std::int32_t>(truncated);
}

std::string_view textBytes(int type, const std::vector<char>& data) {
  if (type == SQL_VARYING) {
    const auto length = static_cast<std::size_t>(readAs<std::uint16_t>(data));
    if (data.size() < 2 || length > data.size() - 2) return {};
    return {data.data() + 2, length};
  }
  return {data.data(), data.size()};
}

}  // namespace

std::int32_t TDbValue::AsInteger() const {
  if (IsNull()) return 0;
  if (isInteger(m_sqlType)) {
    const std::int64_t raw = integerValue(m_sqlType, m_data);
    if (m_scale < -18 || m_scale > 18) invalidConversion();
    // Integer division truncates toward zero, as the reading requires.
    const std::int64_t value = m_scale < 0 ? raw / pow10(-m_scale) : raw;
    if (m_scale > 0) return toInt32(static_cast<double>(raw) * static_cast<double>(pow10(m_scale)));
    if (value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max()) {
      invalidConversion();
    }
    return static_cast<std::int32_t>(value);
  }
  if (isFloat(m_sqlType)) return toInt32(floatValue(m_sqlType, m_data));
  if (isText(m_sqlType)) {
    const std::string text = trimControl(textBytes(m_sqlType, m_data));
    std::int32_t value = 0;
    const char* first = text.data();
    if (!text.empty() && text.front() == '+') ++first;
    const auto [end, error] = std::from_chars(first, text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
      invalidConversion();
    }
    return value;
  }
  invalidConversion();
}

double TDbValue::AsFloat() const {
  if (IsNull()) return 0.0;
  if (isInteger(m_sqlType)) {
    const auto raw = static_cast<double>(integerValue(m_sqlType, m_data));
    if (m_scale < -18 || m_scale > 18) invalidConversion();
    // Dividing by the exact power of ten rounds once; multiplying by 0.01 would round twice.
    return m_scale < 0 ? raw / static_cast<double>(pow10(-m_scale))
                       : raw * static_cast<double>(pow10(m_scale));
  }
  if (isFloat(m_sqlType)) return floatValue(m_sqlType, m_data);
  if (isText(m_sqlType)) {
    try {
      return common::strToFloat(common::decodeAnsi(textBytes(m_sqlType, m_data)));
    } catch (const common::Error&) {
      invalidConversion();
    }
  }
  invalidConversion();
}

std::string TDbValue::AsString() const {
  if (IsNull()) return {};
  if (isText(m_sqlType)) return common::decodeAnsi(textBytes(m_sqlType, m_data));
  if (isInteger(m_sqlType) && m_scale == 0) {
    return std::to_string(integerValue(m_sqlType, m_data));
  }
  invalidConversion();
}

void TDbValue::setData(int sqlType, int scale, const void* bytes, std::size_t size) {
  m_sqlType = sqlType;
  m_subType = 0;
  m_scale = scale;
  m_emptyText = false;
  m_indicator = 0;
  m_data.assign(static_cast<const char*>(bytes), static_cast<const char*>(bytes) + size);
}

void TDbValue::setAsInteger(std::int32_t value) {
  setData(SQL_LONG, 0, &value, sizeof value);
}

void TDbValue::setAsFloat(double value) {
  setData(SQL_DOUBLE, 0, &value, sizeof value);
}

void TDbValue::setAsDate(const common::Date& date) {
  if (!common::isValidDate(date)) invalidConversion();
  ISC_TIMESTAMP stamp{};
  stamp.timestamp_date =
      static_cast<ISC_DATE>(daysFromCivil(date.year, date.month, date.day) - kFirebirdEpoch);
  stamp.timestamp_time = 0;
  setData(SQL_TIMESTAMP, 0, &stamp, sizeof stamp);
}

void TDbValue::setAsString(std::string_view value) {
  const std::string bytes = common::encodeAnsi(value);
  if (bytes.size() > kMaxTextBytes) {
    throw EDbError("Parameter \"" + m_name + "\": the text is longer than 32767 bytes.");
  }
  setData(SQL_TEXT, 0, bytes.data(), bytes.size());
  m_emptyText = bytes.empty();
}

void TDbValue::setNull() {
  m_emptyText = false;
  m_indicator = -1;
}

}  // namespace netupdate::db
