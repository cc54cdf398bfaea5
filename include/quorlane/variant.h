// Values that cross the component's interfaces: the Variant of the host services and of late
// binding, the date-time, the failure that a call reports, and the two number-to-text rules.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quorlane {

// A failure of an operation, carrying its own description (a host's or database's message,
// or one of the run-time descriptions below). Failures travel as exceptions inside the
// component and end at each routine's single error exit.
class Failure : public std::runtime_error {
 public:
  explicit Failure(const std::string& description) : std::runtime_error(description) {}
};

// Run-time failure descriptions of value conversions and arithmetic, used the same everywhere.
inline constexpr const char* kOverflow = "Desbordamiento";
inline constexpr const char* kTypeMismatch = "No coinciden los tipos";
inline constexpr const char* kInvalidUseOfNull = "Uso no válido de Null";

// A date-time: days counted from 30 December 1899, the fraction being the time of day.
struct Date {
  double serial = 0;
  friend bool operator==(const Date&, const Date&) = default;
};

Date make_date(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);
// "YYYY-MM-DD" when the time is midnight, "YYYY-MM-DD HH:MM:SS" otherwise. A date-time outside
// the years 0 to 9999 (or no number) fails with kOverflow, as do the two below.
std::string date_text(Date d);
// Always "YYYY-MM-DD" / always "YYYY-MM-DD HH:MM:SS".
std::string date_only_text(Date d);
std::string date_time_text(Date d);
// Reads "YYYY-MM-DD", "YYYY-MM-DD HH:MM[:SS]" or "YYYY-MM-DDTHH:MM[:SS]"; false when the text
// is no such date or names an impossible one.
bool parse_date(std::string_view text, Date& out);

// Number text of messages: general form, at most 15 significant digits, no trailing zeros.
std::string number_text(double value);
// Plain number of SQL statements: the same digits, always '.' as the decimal separator.
std::string plain_number(double value);
// Reads a number written in either form (blanks around it allowed); false when it is none.
bool parse_number(std::string_view text, double& out);

class IDispatch;

// A record value (tCtEncabezado, tCtDetalle, ...) carried by a Variant in late-bound calls.
class RecordValue {
 public:
  virtual ~RecordValue() = default;
  virtual const char* type_name() const = 0;
  virtual std::unique_ptr<RecordValue> clone() const = 0;
};

template <class T>
class RecordOf final : public RecordValue {
 public:
  explicit RecordOf(T v) : value(std::move(v)) {}
  const char* type_name() const override { return T::kTypeName; }
  std::unique_ptr<RecordValue> clone() const override { return std::make_unique<RecordOf>(value); }
  T value;
};

class Variant {
 public:
  enum class Kind : uint8_t {
    Empty,
    Null,
    Boolean,
    Int16,
    Int32,
    Double,
    Date,
    Text,
    Object,
    Record
  };

  Variant() = default;
  Variant(bool v);
  Variant(int16_t v);
  Variant(int32_t v);
  Variant(double v);
  Variant(Date v);
  Variant(std::string v);
  Variant(const char* v);
  Variant(IDispatch* object);  // takes a reference of its own; nullptr gives Nothing
  template <class T>
  static Variant record(T v) {
    Variant r;
    r.kind_ = Kind::Record;
    r.record_ = std::make_shared<RecordOf<T>>(std::move(v));
    return r;
  }
  static Variant null();

  Variant(const Variant& other);
  Variant(Variant&& other) noexcept;
  Variant& operator=(const Variant& other);
  Variant& operator=(Variant&& other) noexcept;
  ~Variant();

  Kind kind() const { return kind_; }
  bool is_empty() const { return kind_ == Kind::Empty; }
  bool is_null() const { return kind_ == Kind::Null; }
  bool is_text() const { return kind_ == Kind::Text; }
  bool is_number() const {
    return kind_ == Kind::Int16 || kind_ == Kind::Int32 || kind_ == Kind::Double;
  }

  // Conversions; each throws Failure with one of the run-time descriptions above.
  std::string to_text() const;  // Empty gives "", Null fails
  double to_double() const;     // Empty gives 0; a text must read as a number
  int16_t to_int16() const;     // rounds halves to even; outside the 16-bit range fails
  int32_t to_int32() const;
  bool to_bool() const;       // any number but 0 is yes; "True"/"False" and numbers as text
  Date to_date() const;       // a number is the serial; a text as parse_date
  IDispatch* object() const;  // the object held (no new reference), or nullptr
  const RecordValue* record_value() const { return record_.get(); }
  template <class T>
  const T* record_as() const {
    auto* r = dynamic_cast<const RecordOf<T>*>(record_.get());
    return r ? &r->value : nullptr;
  }

  // The raw payload, for code that must tell the kinds apart (JSON, SQL binding).
  bool raw_bool() const { return b_; }
  double raw_double() const { return d_; }
  int32_t raw_int() const { return i_; }
  const std::string& raw_text() const { return s_; }

  friend bool operator==(const Variant& a, const Variant& b);

 private:
  void release_object();
  Kind kind_ = Kind::Empty;
  bool b_ = false;
  int32_t i_ = 0;
  double d_ = 0;
  std::string s_;
  IDispatch* object_ = nullptr;
  std::shared_ptr<const RecordValue> record_;
};

// A readable form for logs and test failures: kind and value.
std::string debug_text(const Variant& v);

}  // namespace quorlane
