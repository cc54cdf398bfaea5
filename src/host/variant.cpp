#include "quorlane/variant.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "quorlane/com.h"

namespace quorlane {

namespace {

// Days from 1970-01-01 of a proleptic Gregorian date.
long long days_from_civil(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

void civil_from_days(long long z, int& y, int& m, int& d) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long yy = static_cast<long long>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yy + (m <= 2));
}

const long long kEpochOffset = days_from_civil(1899, 12, 30);

struct DateParts {
  int y, mo, d, h, mi, s;
};

// The date-times that the four-digit texts can show: from 1 January of year 0 to the end of 9999.
const double kFirstSerial = static_cast<double>(days_from_civil(0, 1, 1) - kEpochOffset);
const double kEndSerial = static_cast<double>(days_from_civil(10000, 1, 1) - kEpochOffset);

DateParts split(Date date) {
  // A date-time outside those years, or no number at all, cannot be written: it is an overflow,
  // as the arithmetic that made it would have been.
  if (!(date.serial >= kFirstSerial && date.serial < kEndSerial)) throw Failure(kOverflow);
  // Whole seconds, rounded, so that 0.9999999 of a second does not show as the previous one.
  double total = std::floor(date.serial * 86400.0 + 0.5);
  long long days = static_cast<long long>(std::floor(total / 86400.0));
  long long secs = static_cast<long long>(total - static_cast<double>(days) * 86400.0);
  DateParts p{};
  civil_from_days(days + kEpochOffset, p.y, p.mo, p.d);
  p.h = static_cast<int>(secs / 3600);
  p.mi = static_cast<int>(secs / 60 % 60);
  p.s = static_cast<int>(secs % 60);
  return p;
}

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string general_number(double value) {
  if (value == 0) return "0";  // also for -0
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0 ? "Inf" : "-Inf";
  // The text of printf's "%.15G", without the cost of printf: to_chars writes the same digits
  // (it is defined as printf with that precision) with a small "e" for the exponent.
  char buf[40];
  char* end = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15).ptr;
  for (char* c = buf; c != end; ++c)
    if (*c == 'e') *c = 'E';
  return std::string(buf, end);
}

}  // namespace

Date make_date(int year, int month, int day, int hour, int minute, int second) {
  double days = static_cast<double>(
      days_from_civil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) -
      kEpochOffset);
  return Date{days + (hour * 3600.0 + minute * 60.0 + second) / 86400.0};
}

std::string date_only_text(Date d) {
  DateParts p = split(d);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", p.y, p.mo, p.d);
  return buf;
}

std::string date_time_text(Date d) {
  DateParts p = split(d);
  char buf[48];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", p.y, p.mo, p.d, p.h, p.mi, p.s);
  return buf;
}

std::string date_text(Date d) {
  DateParts p = split(d);
  return (p.h == 0 && p.mi == 0 && p.s == 0) ? date_only_text(d) : date_time_text(d);
}

bool parse_date(std::string_view text, Date& out) {
  while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
  auto digits = [&](size_t pos, size_t n, int& v) {
    if (pos + n > text.size()) return false;
    v = 0;
    for (size_t i = pos; i < pos + n; ++i) {
      if (text[i] < '0' || text[i] > '9') return false;
      v = v * 10 + (text[i] - '0');
    }
    return true;
  };
  int y, mo, d, h = 0, mi = 0, s = 0;
  if (!digits(0, 4, y) || text.size() < 10 || text[4] != '-' || !digits(5, 2, mo) ||
      text[7] != '-' || !digits(8, 2, d))
    return false;
  if (text.size() > 10) {
    if ((text[10] != ' ' && text[10] != 'T') || !digits(11, 2, h) || text.size() < 16 ||
        text[13] != ':' || !digits(14, 2, mi))
      return false;
    if (text.size() > 16) {
      if (text[16] != ':' || !digits(17, 2, s)) return false;
      size_t end = 19;
      if (end < text.size() && text[end] == '.') {  // fractions of a second are dropped
        ++end;
        while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
      }
      if (end != text.size()) return false;
    }
  }
  if (mo < 1 || mo > 12 || d < 1 || h > 23 || mi > 59 || s > 59) return false;
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  if (d > kDays[mo - 1] + (mo == 2 && leap ? 1 : 0)) return false;
  out = make_date(y, mo, d, h, mi, s);
  return true;
}

std::string number_text(double value) { return general_number(value); }

std::string plain_number(double value) { return general_number(value); }

bool parse_number(std::string_view text, double& out) {
  while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
  if (text.empty() || text.size() > 400) return false;
  std::string s(text);
  // Only plain decimal forms: no hexadecimal, no "inf"/"nan" words.
  for (char c : s)
    if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E'))
      return false;
  errno = 0;
  char* end = nullptr;
  double v = std::strtod(s.c_str(), &end);
  if (end != s.c_str() + s.size()) return false;
  if (errno == ERANGE && std::isinf(v)) return false;
  out = v;
  return true;
}

// ---------------------------------------------------------------- Variant

Variant::Variant(bool v) : kind_(Kind::Boolean), b_(v) {}
Variant::Variant(int16_t v) : kind_(Kind::Int16), i_(v) {}
Variant::Variant(int32_t v) : kind_(Kind::Int32), i_(v) {}
Variant::Variant(double v) : kind_(Kind::Double), d_(v) {}
Variant::Variant(Date v) : kind_(Kind::Date), d_(v.serial) {}
Variant::Variant(std::string v) : kind_(Kind::Text), s_(std::move(v)) {}
Variant::Variant(const char* v) : kind_(Kind::Text), s_(v ? v : "") {}
Variant::Variant(IDispatch* object) : kind_(Kind::Object), object_(object) {
  if (object_) object_->AddRef();
}

Variant Variant::null() {
  Variant v;
  v.kind_ = Kind::Null;
  return v;
}

Variant::Variant(const Variant& o)
    : kind_(o.kind_),
      b_(o.b_),
      i_(o.i_),
      d_(o.d_),
      s_(o.s_),
      object_(o.object_),
      record_(o.record_) {
  if (object_) object_->AddRef();
}

Variant::Variant(Variant&& o) noexcept
    : kind_(o.kind_),
      b_(o.b_),
      i_(o.i_),
      d_(o.d_),
      s_(std::move(o.s_)),
      object_(o.object_),
      record_(std::move(o.record_)) {
  o.object_ = nullptr;
  o.kind_ = Kind::Empty;
}

Variant& Variant::operator=(const Variant& o) {
  if (this != &o) {
    Variant copy(o);
    *this = std::move(copy);
  }
  return *this;
}

Variant& Variant::operator=(Variant&& o) noexcept {
  if (this != &o) {
    release_object();
    kind_ = o.kind_;
    b_ = o.b_;
    i_ = o.i_;
    d_ = o.d_;
    s_ = std::move(o.s_);
    object_ = o.object_;
    record_ = std::move(o.record_);
    o.object_ = nullptr;
    o.kind_ = Kind::Empty;
  }
  return *this;
}

Variant::~Variant() { release_object(); }

void Variant::release_object() {
  if (object_) {
    IDispatch* p = object_;
    object_ = nullptr;
    p->Release();
  }
}

std::string Variant::to_text() const {
  switch (kind_) {
    case Kind::Empty:
      return "";
    case Kind::Null:
      throw Failure(kInvalidUseOfNull);
    case Kind::Boolean:
      return b_ ? "True" : "False";
    case Kind::Int16:
    case Kind::Int32:
      return std::to_string(i_);
    case Kind::Double:
      return number_text(d_);
    case Kind::Date:
      return date_text(Date{d_});
    case Kind::Text:
      return s_;
    case Kind::Object:
    case Kind::Record:
      break;
  }
  throw Failure(kTypeMismatch);
}

double Variant::to_double() const {
  switch (kind_) {
    case Kind::Empty:
      return 0;
    case Kind::Null:
      throw Failure(kInvalidUseOfNull);
    case Kind::Boolean:
      return b_ ? -1 : 0;
    case Kind::Int16:
    case Kind::Int32:
      return i_;
    case Kind::Double:
    case Kind::Date:
      return d_;
    case Kind::Text: {
      double v;
      if (parse_number(s_, v)) return v;
      throw Failure(kTypeMismatch);
    }
    case Kind::Object:
    case Kind::Record:
      break;
  }
  throw Failure(kTypeMismatch);
}

int16_t Variant::to_int16() const {
  double v = to_double();
  double r = std::nearbyint(v);  // the default rounding mode takes halves to even
  if (!(r >= -32768.0 && r <= 32767.0)) throw Failure(kOverflow);
  return static_cast<int16_t>(r);
}

int32_t Variant::to_int32() const {
  double v = to_double();
  double r = std::nearbyint(v);
  if (!(r >= -2147483648.0 && r <= 2147483647.0)) throw Failure(kOverflow);
  return static_cast<int32_t>(r);
}

bool Variant::to_bool() const {
  switch (kind_) {
    case Kind::Empty:
      return false;
    case Kind::Null:
      throw Failure(kInvalidUseOfNull);
    case Kind::Boolean:
      return b_;
    case Kind::Int16:
    case Kind::Int32:
      return i_ != 0;
    case Kind::Double:
    case Kind::Date:
      return d_ != 0;
    case Kind::Text: {
      if (strcasecmp(s_.c_str(), "True") == 0) return true;
      if (strcasecmp(s_.c_str(), "False") == 0) return false;
      double v;
      if (parse_number(s_, v)) return v != 0;
      throw Failure(kTypeMismatch);
    }
    case Kind::Object:
    case Kind::Record:
      break;
  }
  throw Failure(kTypeMismatch);
}

Date Variant::to_date() const {
  switch (kind_) {
    case Kind::Empty:
      return Date{0};
    case Kind::Null:
      throw Failure(kInvalidUseOfNull);
    case Kind::Int16:
    case Kind::Int32:
      return Date{static_cast<double>(i_)};
    case Kind::Double:
    case Kind::Date:
      return Date{d_};
    case Kind::Text: {
      Date d;
      if (parse_date(s_, d)) return d;
      throw Failure(kTypeMismatch);
    }
    case Kind::Boolean:
    case Kind::Object:
    case Kind::Record:
      break;
  }
  throw Failure(kTypeMismatch);
}

IDispatch* Variant::object() const { return kind_ == Kind::Object ? object_ : nullptr; }

bool operator==(const Variant& a, const Variant& b) {
  if (a.kind_ != b.kind_) return false;
  switch (a.kind_) {
    case Variant::Kind::Empty:
    case Variant::Kind::Null:
      return true;
    case Variant::Kind::Boolean:
      return a.b_ == b.b_;
    case Variant::Kind::Int16:
    case Variant::Kind::Int32:
      return a.i_ == b.i_;
    case Variant::Kind::Double:
    case Variant::Kind::Date:
      return a.d_ == b.d_;
    case Variant::Kind::Text:
      return a.s_ == b.s_;
    case Variant::Kind::Object:
      return a.object_ == b.object_;
    case Variant::Kind::Record:
      return a.record_ == b.record_;
  }
  return false;
}

std::string debug_text(const Variant& v) {
  switch (v.kind()) {
    case Variant::Kind::Empty:
      return "Empty";
    case Variant::Kind::Null:
      return "Null";
    case Variant::Kind::Boolean:
      return v.raw_bool() ? "True" : "False";
    case Variant::Kind::Int16:
      return "Int16(" + std::to_string(v.raw_int()) + ")";
    case Variant::Kind::Int32:
      return "Int32(" + std::to_string(v.raw_int()) + ")";
    case Variant::Kind::Double:
      return "Double(" + number_text(v.raw_double()) + ")";
    case Variant::Kind::Date:
      try {
        return "Date(" + date_text(Date{v.raw_double()}) + ")";
      } catch (const Failure&) {
        return "Date(" + number_text(v.raw_double()) + ")";  // beyond the years a text can show
      }
    case Variant::Kind::Text:
      return "\"" + v.raw_text() + "\"";
    case Variant::Kind::Object:
      return v.object() ? "Object" : "Nothing";
    case Variant::Kind::Record:
      return std::string("Record(") + v.record_value()->type_name() + ")";
  }
  return "?";
}

}  // namespace quorlane
