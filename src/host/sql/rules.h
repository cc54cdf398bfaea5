// The standard host's arithmetic and value texts, kept apart from the database so that each
// rule can be read and tested on its own.
#pragma once

#include <cstdint>
#include <string>

#include "db/database.h"
#include "quorlane/host.h"

namespace quorlane {

inline constexpr const char* kInvalidCalculationType = "Tipo de cálculo de importes no válido: ";

// The amounts of a line, from quantity q, list price p, line discount factor d, global
// discount factor g, tax factor t and fixed fee c (per unit):
//   list amount L = q·p, discount Ds = L·d, discounted price p·(1−d), discounted amount
//   D = L − Ds, global discount G = D·g, tax T = (D − G)·t + q·c, net amount N = D − G + T,
//   net price N / q (for q = 0: p·(1−d)·(1−g)·(1+t) + c).
// Type 1 takes the list price before tax; type 2 takes it with tax included and uses p / (1 + t)
// in every formula, leaving Ct_Precio_Lista as given. Nothing is rounded. Any other type fails
// with kInvalidCalculationType + the type; a result that is no finite number fails with
// kOverflow.
void calculate_amounts(tImportes& amounts, int16_t calculation_type, double fee);

// The amount rounded to `decimals` places, half away from zero, on its decimal value written
// with 15 significant digits (so 2.675 gives 2.68 although its binary value lies below).
double round_half_away(double amount, int32_t decimals);

// A column value as cDatos.Obtener_Campo gives it: empty for Null, "YYYY-MM-DD" for a date
// column, "YYYY-MM-DD HH:MM:SS" for a date-time column, numbers in their shortest exact form.
std::string field_text(const Variant& value, db::ColumnKind kind);

// Shortest decimal text that reads back as the same double ("0.1", "12", "1e+20").
std::string shortest_number_text(double value);

}  // namespace quorlane
