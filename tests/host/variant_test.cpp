#include <gtest/gtest.h>

#include <functional>
#include <limits>

#include "quorlane/variant.h"

namespace quorlane {
namespace {

std::string failure_of(const std::function<void()>& f) {
  try {
    f();
  } catch (const Failure& e) {
    return e.what();
  }
  return "(no failure)";
}

TEST(NumberText, GeneralFormWithFifteenDigits) {
  EXPECT_EQ(number_text(3), "3");
  EXPECT_EQ(number_text(2.5), "2.5");
  EXPECT_EQ(number_text(-1.25), "-1.25");
  EXPECT_EQ(number_text(0), "0");
  EXPECT_EQ(number_text(-0.0), "0");
  EXPECT_EQ(number_text(1.0 / 3), "0.333333333333333");
  EXPECT_EQ(number_text(0.1 + 0.2), "0.3");
  EXPECT_EQ(number_text(0.75), "0.75");
  EXPECT_EQ(number_text(1e20), "1E+20");
  EXPECT_EQ(plain_number(12.5), "12.5");
  EXPECT_EQ(plain_number(-100), "-100");
  EXPECT_EQ(plain_number(1234567.125), "1234567.125");
}

TEST(VariantConversion, SixteenBitRoundsHalvesToEvenAndChecksRange) {
  EXPECT_EQ(Variant(2.5).to_int16(), 2);
  EXPECT_EQ(Variant(3.5).to_int16(), 4);
  EXPECT_EQ(Variant(-2.5).to_int16(), -2);
  EXPECT_EQ(Variant("1").to_int16(), 1);
  EXPECT_EQ(Variant(32767.4).to_int16(), 32767);
  EXPECT_EQ(failure_of([] { Variant(40000.0).to_int16(); }), "Desbordamiento");
  EXPECT_EQ(failure_of([] { Variant(32767.5).to_int16(); }), "Desbordamiento");
  EXPECT_EQ(failure_of([] { Variant("uno").to_int16(); }), "No coinciden los tipos");
  EXPECT_EQ(failure_of([] { Variant::null().to_int16(); }), "Uso no válido de Null");
  EXPECT_EQ(failure_of([] { Variant::null().to_text(); }), "Uso no válido de Null");
}

TEST(VariantConversion, TextBooleanAndDate) {
  EXPECT_EQ(Variant(2.5).to_text(), "2.5");
  EXPECT_EQ(Variant().to_text(), "");
  EXPECT_TRUE(Variant("True").to_bool());
  EXPECT_FALSE(Variant("0").to_bool());
  EXPECT_TRUE(Variant(int16_t{-1}).to_bool());
  EXPECT_EQ(failure_of([] { Variant("quizá").to_bool(); }), "No coinciden los tipos");
  Date d = Variant("2026-12-05 10:30:00").to_date();
  EXPECT_EQ(date_time_text(d), "2026-12-05 10:30:00");
  EXPECT_EQ(date_text(Variant("2026-12-05").to_date()), "2026-12-05");
  EXPECT_EQ(failure_of([] { Variant("").to_date(); }), "No coinciden los tipos");
  EXPECT_EQ(failure_of([] { Variant("2026-02-30").to_date(); }), "No coinciden los tipos");
}

TEST(Dates, SerialCountsDaysFromDecember30Of1899) {
  EXPECT_EQ(make_date(1899, 12, 30).serial, 0);
  EXPECT_EQ(make_date(1900, 1, 1).serial, 2);
  EXPECT_EQ(make_date(2000, 1, 1).serial, 36526);
  EXPECT_DOUBLE_EQ(make_date(2000, 1, 1, 12, 0, 0).serial, 36526.5);
  EXPECT_EQ(date_text(Date{36526.5}), "2000-01-01 12:00:00");
}

// A text shows years 0 to 9999; a date-time beyond them, or one that is no number, is an
// overflow wherever it would be written, but still shows in a log line.
TEST(Dates, BeyondTheYearsATextCanShowIsAnOverflow) {
  EXPECT_EQ(date_text(make_date(9999, 12, 31, 23, 59, 59)), "9999-12-31 23:59:59");
  EXPECT_EQ(date_only_text(make_date(0, 1, 1)), "0000-01-01");
  for (double serial :
       {make_date(10000, 1, 1).serial, make_date(0, 1, 1).serial - 1, 1e300, -1e300,
        std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
    EXPECT_EQ(failure_of([&] { date_text(Date{serial}); }), kOverflow) << serial;
    EXPECT_EQ(failure_of([&] { date_time_text(Date{serial}); }), kOverflow) << serial;
    EXPECT_EQ(failure_of([&] { Variant(Date{serial}).to_text(); }), kOverflow) << serial;
  }
  EXPECT_EQ(debug_text(Variant(Date{1e300})), "Date(1E+300)");
}

}  // namespace
}  // namespace quorlane
