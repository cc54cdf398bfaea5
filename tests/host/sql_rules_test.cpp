#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "host/sql/rules.h"

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

TEST(Rounding, HalfAwayFromZeroOnFifteenSignificantDigits) {
  EXPECT_EQ(round_half_away(1.005, 2), 1.01);
  EXPECT_EQ(round_half_away(2.675, 2), 2.68);
  EXPECT_EQ(round_half_away(-0.125, 2), -0.13);
  EXPECT_EQ(round_half_away(0.125, 2), 0.13);
  EXPECT_EQ(round_half_away(0.124999, 2), 0.12);
  EXPECT_EQ(round_half_away(90, 2), 90);
  EXPECT_EQ(round_half_away(99.995, 2), 100);
  EXPECT_EQ(round_half_away(-99.995, 2), -100);
  EXPECT_EQ(round_half_away(0.005, 2), 0.01);
  EXPECT_EQ(round_half_away(0.0049, 2), 0);
  EXPECT_EQ(round_half_away(2.5, 0), 3);
  EXPECT_EQ(round_half_away(1250, -2), 1300);
  EXPECT_EQ(round_half_away(0.1 + 0.2, 20), 0.3);  // its 15-digit value
  EXPECT_EQ(round_half_away(1234567.891, 2), 1234567.89);
  EXPECT_EQ(round_half_away(0, 2), 0);
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

TEST(Amounts, PricesBeforeTax) {
  tImportes a = line(3, 100, 0.1, 0.05, 0.16);
  calculate_amounts(a, 1, 0);
  EXPECT_DOUBLE_EQ(a.Ct_Precio_Lista_Importe, 300);
  EXPECT_DOUBLE_EQ(a.Ct_Descuento_Importe, 30);
  EXPECT_DOUBLE_EQ(a.Ct_Precio_Descontado, 90);
  EXPECT_DOUBLE_EQ(a.Ct_Precio_Descontado_Importe, 270);
  EXPECT_DOUBLE_EQ(a.Ct_Descuento_Global_Importe, 13.5);
  EXPECT_DOUBLE_EQ(a.Ct_Impuesto_Importe, 41.04);
  EXPECT_DOUBLE_EQ(a.Ct_Precio_Neto_Importe, 297.54);
  EXPECT_DOUBLE_EQ(a.Ct_Precio_Neto, 99.18);
  // The inputs stay as given.
  EXPECT_EQ(a.Ct_Cantidad_1, 3);
  EXPECT_EQ(a.Ct_Precio_Lista, 100);
  EXPECT_EQ(a.Ct_Descuento_Factor, 0.1);
  EXPECT_EQ(a.Ct_Descuento_Global_Factor, 0.05);
  EXPECT_EQ(a.Ct_Impuesto_Factor, 0.16);
}

TEST(Amounts, ListPriceWithTaxIncludedKeepsTheClientsPrice) {
  tImportes a = line(3, 116, 0.1, 0.05, 0.16);
  calculate_amounts(a, 2, 0);
  tImportes b = line(3, 100, 0.1, 0.05, 0.16);
  calculate_amounts(b, 1, 0);
  EXPECT_EQ(a.Ct_Precio_Lista, 116);
  EXPECT_DOUBLE_EQ(a.Ct_Precio_Lista_Importe, b.Ct_Precio_Lista_Importe);
  EXPECT_DOUBLE_EQ(a.Ct_Precio_Descontado, b.Ct_Precio_Descontado);
  EXPECT_DOUBLE_EQ(a.Ct_Impuesto_Importe, b.Ct_Impuesto_Importe);
  EXPECT_DOUBLE_EQ(a.Ct_Precio_Neto_Importe, b.Ct_Precio_Neto_Importe);
  EXPECT_DOUBLE_EQ(a.Ct_Precio_Neto, b.Ct_Precio_Neto);
}

TEST(Amounts, FixedFeeAddsToTaxAndNetForEachUnit) {
  tImportes a = line(3, 100, 0.1, 0.05, 0.16);
  calculate_amounts(a, 1, 2.5);
  EXPECT_DOUBLE_EQ(a.Ct_Impuesto_Importe, 48.54);
  EXPECT_DOUBLE_EQ(a.Ct_Precio_Neto_Importe, 305.04);
  EXPECT_DOUBLE_EQ(a.Ct_Precio_Neto, 101.68);
  // With tax included the fee is still per unit, and the price is taken without tax.
  tImportes b = line(2, 116, 0, 0, 0.16);
  calculate_amounts(b, 2, 3);
  EXPECT_DOUBLE_EQ(b.Ct_Impuesto_Importe, 38);
  EXPECT_DOUBLE_EQ(b.Ct_Precio_Neto, 119);
}

TEST(Amounts, ZeroQuantityGivesTheUnitNetPrice) {
  tImportes a = line(0, 100, 0.1, 0.05, 0.16);
  calculate_amounts(a, 1, 2.5);
  EXPECT_EQ(a.Ct_Precio_Lista_Importe, 0);
  EXPECT_EQ(a.Ct_Precio_Neto_Importe, 0);
  EXPECT_DOUBLE_EQ(a.Ct_Precio_Neto, 100 * 0.9 * 0.95 * 1.16 + 2.5);
  tImportes b = line(0, 116, 0, 0, 0.16);
  calculate_amounts(b, 2, 0);
  EXPECT_DOUBLE_EQ(b.Ct_Precio_Neto, 116);
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

TEST(FieldText, ShortestExactNumbersAndDatesByColumnType) {
  EXPECT_EQ(field_text(Variant(0.1 + 0.2), db::ColumnKind::Other), "0.30000000000000004");
  EXPECT_EQ(field_text(Variant(0.16), db::ColumnKind::Other), "0.16");
  EXPECT_EQ(field_text(Variant(12.0), db::ColumnKind::Other), "12");
  EXPECT_EQ(field_text(Variant(-0.0), db::ColumnKind::Other), "0");
  EXPECT_EQ(field_text(Variant(1e20), db::ColumnKind::Other), "1e+20");
  EXPECT_EQ(field_text(Variant(int32_t{-42}), db::ColumnKind::Other), "-42");
  EXPECT_EQ(field_text(Variant::null(), db::ColumnKind::Date), "");
  EXPECT_EQ(field_text(Variant("2026-12-05 00:00:00"), db::ColumnKind::Date), "2026-12-05");
  EXPECT_EQ(field_text(Variant("2026-12-05"), db::ColumnKind::DateTime), "2026-12-05 00:00:00");
  EXPECT_EQ(field_text(Variant("2026-12-05T10:30"), db::ColumnKind::DateTime),
            "2026-12-05 10:30:00");
  // Text that is no date stays as stored, as does any text of other columns.
  EXPECT_EQ(field_text(Variant("pronto"), db::ColumnKind::Date), "pronto");
  EXPECT_EQ(field_text(Variant("2026-12-05T10:30"), db::ColumnKind::Other), "2026-12-05T10:30");
}

}  // namespace
}  // namespace quorlane
