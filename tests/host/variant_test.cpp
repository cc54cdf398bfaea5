#include "quorlane/variant.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>

#include "support/failure_text.h"

namespace quorlane {
namespace {

using test::failure_of;

TEST(NumberText, GeneralFormWithFifteenDigitsAndPlainDecimals) {
  const std::pair<double, const char*> general[] = {
      {3, "3"},        {2.5, "2.5"},       {-1.25, "-1.25"},
      {0, "0"},        {-0.0, "0"},        {0.75, "0.75"},
      {1e20, "1E+20"}, {0.1 + 0.2, "0.3"}, {1.0 / 3, "0.333333333333333"}};
  for (const auto& [value, text] : general) EXPECT_EQ(number_text(value), text) << text;
  EXPECT_EQ(plain_number(12.5), "12.5");
  EXPECT_EQ(plain_number(-100), "-100");
  EXPECT_EQ(plain_number(1234567.125), "1234567.125");
}

TEST(VariantConversion, SixteenBitTextBooleanAndDate) {
  // Halves round to even; the range is checked after rounding.
  const std::pair<Variant, int16_t> whole[] = {{Variant(2.5), 2},
                                               {Variant(3.5), 4},
                                               {Variant(-2.5), -2},
                                               {Variant("1"), 1},
                                               {Variant(32767.4), 32767}};
  for (const auto& [value, n] : whole) EXPECT_EQ(value.to_int16(), n) << n;
  EXPECT_EQ(Variant(2.5).to_text(), "2.5");
  EXPECT_EQ(Variant().to_text(), "");
  EXPECT_TRUE(Variant("True").to_bool());
  EXPECT_FALSE(Variant("0").to_bool());
  EXPECT_TRUE(Variant(int16_t{-1}).to_bool());
  EXPECT_EQ(date_time_text(Variant("2026-12-05 10:30:00").to_date()), "2026-12-05 10:30:00");
  EXPECT_EQ(date_text(Variant("2026-12-05").to_date()), "2026-12-05");

  const std::pair<std::function<void()>, const char*> failures[] = {
      {[] { Variant(40000.0).to_int16(); }, "Desbordamiento"},
      {[] { Variant(32767.5).to_int16(); }, "Desbordamiento"},
      {[] { Variant("uno").to_int16(); }, "No coinciden los tipos"},
      {[] { Variant::null().to_int16(); }, "Uso no válido de Null"},
      {[] { Variant::null().to_text(); }, "Uso no válido de Null"},
      {[] { Variant("quizá").to_bool(); }, "No coinciden los tipos"},
      {[] { Variant("").to_date(); }, "No coinciden los tipos"},
      {[] { Variant("2026-02-30").to_date(); }, "No coinciden los tipos"}};
  for (size_t i = 0; i < std::size(failures); ++i)
    EXPECT_EQ(failure_of(failures[i].first), failures[i].second) << "case " << i;
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
