// The parsers that turn texts into values, and the Variant conversions: whatever the input, a
// conversion either gives a value or fails with Failure (never another exception, a crash or
// undefined behaviour), and what parses reads back the same.
//   - parse_date: a date that parses is written and parsed again to the same date;
//   - parse_number: a number that parses is written in its general form and parsed again to the
//     same value to 15 significant digits;
//   - Variant conversions of a text, of a number and of a date-time built from the input's bytes.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "quorlane/variant.h"

using quorlane::Date;
using quorlane::Failure;
using quorlane::Variant;

namespace {

// Runs a conversion; only a Failure may stop it.
template <class F>
void converts(F&& f) {
  try {
    f();
  } catch (const Failure&) {
  } catch (...) {
    std::abort();
  }
}

void every_conversion(const Variant& v) {
  converts([&] { (void)v.to_text(); });
  converts([&] { (void)v.to_double(); });
  converts([&] { (void)v.to_int16(); });
  converts([&] { (void)v.to_int32(); });
  converts([&] { (void)v.to_bool(); });
  converts([&] { (void)quorlane::date_text(v.to_date()); });
  (void)quorlane::debug_text(v);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);

  Date date;
  if (quorlane::parse_date(text, date)) {
    Date again;
    if (!quorlane::parse_date(quorlane::date_text(date), again) || !(again == date)) std::abort();
  }

  double number;
  if (quorlane::parse_number(text, number)) {
    if (!std::isfinite(number)) std::abort();
    double again;
    if (quorlane::parse_number(quorlane::number_text(number), again)) {
      const double scale = std::fmax(std::fabs(number), std::fabs(again));
      if (std::fabs(again - number) > scale * 1e-14 && std::fabs(again - number) > 1e-300)
        std::abort();
    } else if (std::fabs(number) < 1.797693134862315e308) {
      std::abort();
    }
  }

  every_conversion(Variant(text));
  if (size >= sizeof(double)) {
    double raw;
    std::memcpy(&raw, data, sizeof raw);
    every_conversion(Variant(raw));
    every_conversion(Variant(Date{raw}));
    converts([&] { (void)quorlane::date_only_text(Date{raw}); });
    converts([&] { (void)quorlane::date_time_text(Date{raw}); });
  }
  if (size >= sizeof(int32_t)) {
    int32_t raw;
    std::memcpy(&raw, data, sizeof raw);
    every_conversion(Variant(raw));
    every_conversion(Variant(static_cast<int16_t>(raw)));
  }
  return 0;
}
