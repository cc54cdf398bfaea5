#include "host/sql/rules.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace quorlane {

void calculate_amounts(tImportes& a, int16_t calculation_type, double fee) {
  if (calculation_type != 1 && calculation_type != 2)
    throw Failure(kInvalidCalculationType + std::to_string(calculation_type));
  const double q = a.Ct_Cantidad_1;
  const double d = a.Ct_Descuento_Factor;
  const double g = a.Ct_Descuento_Global_Factor;
  const double t = a.Ct_Impuesto_Factor;
  const double p = calculation_type == 1 ? a.Ct_Precio_Lista : a.Ct_Precio_Lista / (1 + t);

  const double list_amount = q * p;
  const double discount = list_amount * d;
  const double discounted_price = p * (1 - d);
  const double discounted_amount = list_amount - discount;
  const double global_discount = discounted_amount * g;
  const double tax = (discounted_amount - global_discount) * t + q * fee;
  const double net_amount = discounted_amount - global_discount + tax;
  const double net_price = q != 0 ? net_amount / q : p * (1 - d) * (1 - g) * (1 + t) + fee;

  for (double v : {list_amount, discount, discounted_price, discounted_amount, global_discount, tax,
                   net_amount, net_price})
    if (!std::isfinite(v)) throw Failure(kOverflow);

  a.Ct_Precio_Lista_Importe = list_amount;
  a.Ct_Descuento_Importe = discount;
  a.Ct_Precio_Descontado = discounted_price;
  a.Ct_Precio_Descontado_Importe = discounted_amount;
  a.Ct_Descuento_Global_Importe = global_discount;
  a.Ct_Impuesto_Importe = tax;
  a.Ct_Precio_Neto_Importe = net_amount;
  a.Ct_Precio_Neto = net_price;
}

double round_half_away(double amount, int32_t decimals) {
  if (!std::isfinite(amount)) throw Failure(kOverflow);
  if (amount == 0) return 0;
  // The magnitude as 15 significant digits d0.d1...d14 times 10^exponent.
  char text[40];
  std::snprintf(text, sizeof text, "%.14e", std::fabs(amount));
  std::string digits;
  digits += text[0];
  digits.append(text + 2, 14);
  const int exponent = std::atoi(text + 17);
  // Digits kept: those before the decimals' cut.
  const long long kept = static_cast<long long>(exponent) + 1 + decimals;
  if (kept >= 15) return std::strtod(text, nullptr) * (amount < 0 ? -1 : 1);
  if (kept < 0) return 0;
  std::string rounded = digits.substr(0, static_cast<size_t>(kept));
  int scale = exponent + 1;  // the value is 0.<rounded> times 10^scale
  if (digits[static_cast<size_t>(kept)] >= '5') {
    // Add one unit in the last kept place, carrying to the left.
    size_t i = rounded.size();
    while (i > 0 && rounded[i - 1] == '9') rounded[--i] = '0';
    if (i == 0) {
      rounded.insert(rounded.begin(), '1');
      ++scale;
    } else {
      ++rounded[i - 1];
    }
  }
  if (rounded.empty() || rounded.find_first_not_of('0') == std::string::npos) return 0;
  std::string decimal = "0." + rounded + "e" + std::to_string(scale);
  double result = std::strtod(decimal.c_str(), nullptr);
  if (!std::isfinite(result)) throw Failure(kOverflow);
  return amount < 0 ? -result : result;
}

std::string shortest_number_text(double value) {
  if (value == 0) return "0";  // also for -0
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
  if (ec != std::errc()) return number_text(value);
  return std::string(buf, end);
}

std::string field_text(const Variant& value, db::ColumnKind kind) {
  switch (value.kind()) {
    case Variant::Kind::Empty:
    case Variant::Kind::Null:
      return "";
    case Variant::Kind::Int16:
    case Variant::Kind::Int32:
      return std::to_string(value.raw_int());
    case Variant::Kind::Double:
      return shortest_number_text(value.raw_double());
    case Variant::Kind::Date:
      return kind == db::ColumnKind::Date ? date_only_text(Date{value.raw_double()})
                                          : date_time_text(Date{value.raw_double()});
    case Variant::Kind::Text: {
      Date date;
      if (kind == db::ColumnKind::Date && parse_date(value.raw_text(), date))
        return date_only_text(date);
      if (kind == db::ColumnKind::DateTime && parse_date(value.raw_text(), date))
        return date_time_text(date);
      return value.raw_text();
    }
    default:
      return value.to_text();
  }
}

}  // namespace quorlane
