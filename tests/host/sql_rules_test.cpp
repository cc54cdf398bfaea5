#include <gtest/gtest.h>

#include <cmath>

#include "host/sql/rules.h"
#include "support/failure_text.h"

namespace quorlane {
namespace {

using test::failure_of;

TEST(Rounding, HalfAwayFromZeroOnFifteenSignificantDigits) {
  struct Case {
    double amount;
    int32_t decimals;
    double rounded;
  };
  // 0.1 + 0.2 rounds on its 15-digit value.
  // clang-format off
  const Case cases[] = {
      {1.005, 2, 1.01}, {2.675, 2, 2.68}, {-0.125, 2, -0.13}, {0.125, 2, 0.13},
      {0.124999, 2, 0.12}, {90, 2, 90}, {99.995, 2, 100}, {-99.995, 2, -100}, {0.005, 2, 0.01},
      {0.0049, 2, 0}, {2.5, 0, 3}, {1250, -2, 1300}, {0.1 + 0.2, 20, 0.3},
      {1234567.891, 2, 1234567.89}, {0, 2, 0}};
  // clang-format on
  for (const Case& c : cases)
    EXPECT_EQ(round_half_away(c.amount, c.decimals), c.rounded) << c.amount << ", " << c.decimals;
  EXPECT_FALSE(std::signbit(round_half_away(-0.001, 2)));
  EXPECT_EQ(failure_of([] { round_half_away(HUGE_VAL, 2); }), "Desbordamiento");
}

tImportes line(double q, double p, double d, double g, double t) {
  tImportes a;
  a.Ct_Cantidad_1 = q;
  a.Ct_Precio_Lista = p;
  a.Ct_Descuento_Factor = d;
  a.Ct_Descuento_Global_Factor = g;
  a.Ct_Impuesto_Factor = t;
  return a;
}

// Calculates `in` and checks the eight amounts, in the order of tImportes (list amount,
// discount, discounted price, discounted amount, global discount, tax, net price, net amount),
// and that the five inputs stay as given.
void expect_amounts(const char* what, const tImportes& in, int16_t type, double fee,
                    const std::vector<double>& expected) {
  SCOPED_TRACE(what);
  tImportes a = in;
  calculate_amounts(a, type, fee);
  // clang-format off
  const double amounts[] = {a.Ct_Precio_Lista_Importe, a.Ct_Descuento_Importe,
      a.Ct_Precio_Descontado, a.Ct_Precio_Descontado_Importe, a.Ct_Descuento_Global_Importe,
      a.Ct_Impuesto_Importe, a.Ct_Precio_Neto, a.Ct_Precio_Neto_Importe};
  // clang-format on
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_DOUBLE_EQ(amounts[i], expected[i]) << i;
  EXPECT_EQ(std::vector<double>({a.Ct_Cantidad_1, a.Ct_Precio_Lista, a.Ct_Descuento_Factor,
                                 a.Ct_Descuento_Global_Factor, a.Ct_Impuesto_Factor}),
            std::vector<double>({in.Ct_Cantidad_1, in.Ct_Precio_Lista, in.Ct_Descuento_Factor,
                                 in.Ct_Descuento_Global_Factor, in.Ct_Impuesto_Factor}));
}

TEST(Amounts, EachTypeFeeAndQuantityGivesEveryAmount) {
  expect_amounts("price before tax", line(3, 100, 0.1, 0.05, 0.16), 1, 0,
                 {300, 30, 90, 270, 13.5, 41.04, 99.18, 297.54});
  expect_amounts("tax included: the same amounts, the client's price kept",
                 line(3, 116, 0.1, 0.05, 0.16), 2, 0,
                 {300, 30, 90, 270, 13.5, 41.04, 99.18, 297.54});
  expect_amounts("a fixed fee adds to tax and net for each unit", line(3, 100, 0.1, 0.05, 0.16), 1,
                 2.5, {300, 30, 90, 270, 13.5, 48.54, 101.68, 305.04});
  expect_amounts("tax included, the fee still per unit", line(2, 116, 0, 0, 0.16), 2, 3,
                 {200, 0, 100, 200, 0, 38, 119, 238});
  expect_amounts("no quantity: the unit net price", line(0, 100, 0.1, 0.05, 0.16), 1, 2.5,
                 {0, 0, 90, 0, 0, 0, 100 * 0.9 * 0.95 * 1.16 + 2.5, 0});
  expect_amounts("no quantity, tax included", line(0, 116, 0, 0, 0.16), 2, 0,
                 {0, 0, 100, 0, 0, 0, 116, 0});
}

TEST(Amounts, OtherTypesFailAndChangeNothing) {
  tImportes a = line(3, 100, 0.1, 0.05, 0.16);
  a.Ct_Precio_Neto = 7;
  EXPECT_EQ(failure_of([&] { calculate_amounts(a, 3, 0); }),
            "Tipo de cálculo de importes no válido: 3");
  EXPECT_EQ(failure_of([&] { calculate_amounts(a, -1, 0); }),
            "Tipo de cálculo de importes no válido: -1");
  EXPECT_EQ(a.Ct_Precio_Neto, 7);
  EXPECT_EQ(a.Ct_Precio_Lista_Importe, 0);
  tImportes b = line(1, 100, 0, 0, -1);  // a price with tax included of a tax of -100 %
  EXPECT_EQ(failure_of([&] { calculate_amounts(b, 2, 0); }), "Desbordamiento");
}

// (The forms every engine gives, read through the field lookup of the standard host, its tests
// show.)
TEST(FieldText, ShortestExactNumbersAndDatesByColumnType) {
  using db::ColumnKind;
  const std::tuple<Variant, ColumnKind, const char*> cases[] = {
      {Variant(-0.0), ColumnKind::Other, "0"},
      {Variant(1e20), ColumnKind::Other, "1e+20"},
      {Variant(int32_t{-42}), ColumnKind::Other, "-42"},
      {Variant("2026-12-05 00:00:00"), ColumnKind::Date, "2026-12-05"},
      {Variant("2026-12-05"), ColumnKind::DateTime, "2026-12-05 00:00:00"},
      // Text that is no date stays as stored, as does any text of other columns.
      {Variant("pronto"), ColumnKind::Date, "pronto"},
      {Variant("2026-12-05T10:30"), ColumnKind::Other, "2026-12-05T10:30"}};
  for (const auto& [value, kind, text] : cases) EXPECT_EQ(field_text(value, kind), text) << text;
}

}  // namespace
}  // namespace quorlane
