// Finalisation of a quote: its lines totalled into the header row, the follow-up history entry
// and the document registration.
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>

#include "frame/error_convention.h"
#include "frame/publico.h"
#include "lifecycle/lifecycle.h"
#include "lines/sql_values.h"
#include "model/cotizacion.h"

namespace quorlane {

double round_half_even(double value, int decimals) {
  if (value == 0 || !std::isfinite(value)) return value;
  constexpr int kDigits = 15;
  // d.dddddddddddddde+XX: the value's 15 significant digits and its decimal exponent.
  char text[40];
  std::snprintf(text, sizeof text, "%.*e", kDigits - 1, std::fabs(value));
  char digits[kDigits + 1];
  digits[0] = text[0];
  std::memcpy(digits + 1, text + 2, kDigits - 1);
  digits[kDigits] = '\0';
  int exponent = std::atoi(std::strchr(text, 'e') + 1);

  // How many of the digits stand before the place rounded to.
  int kept = exponent + 1 + decimals;
  if (kept >= kDigits) return value;  // nothing beyond that place
  if (kept < 0) return 0.0;           // less than half a unit of that place

  int64_t units = 0;
  for (int i = 0; i < kept; ++i) units = units * 10 + (digits[i] - '0');
  // The dropped digits against exactly one half: "5" followed by zeros.
  int against_half = digits[kept] - '5';
  for (int i = kept + 1; against_half == 0 && i < kDigits; ++i)
    if (digits[i] != '0') against_half = 1;
  if (against_half > 0 || (against_half == 0 && units % 2 != 0)) ++units;

  char rounded[48];
  std::snprintf(rounded, sizeof rounded, "%" PRId64 "e%d", units, -decimals);
  double result = std::strtod(rounded, nullptr);
  return value < 0 ? -result : result;
}

namespace {

constexpr const char* kNoData = "La cotización es incorrecta, no hay datos";
constexpr const char* kHistoryDescription = "Registro de cotización";
constexpr const char* kDocumentTag = "COTIZACION";

std::string no_rows_message(const std::string& folio) {
  return "La cotización:" + folio + " es incorrecta, no hay registros ";
}

struct Totals {
  double L = 0;   // list price amounts
  double Ds = 0;  // line discounts
  double T = 0;   // taxes, rounded
  double D = 0;   // discounted amounts
  double G = 0;   // global discounts
  double N = 0;   // net amount
};

// A piece of a totals statement: fixed text, one of the totals as a plain number, or the folio.
struct Piece {
  enum Kind { Text, Amount, Folio };
  Kind kind;
  const char* text = "";
  double Totals::*amount = nullptr;
};
constexpr Piece txt(const char* s) { return {Piece::Text, s}; }
constexpr Piece amount(double Totals::*total) { return {Piece::Amount, "", total}; }
constexpr Piece kFolio{Piece::Folio};

// clang-format off
// The sums of the folio's line rows; one row even for a folio without lines.
constexpr Piece kTotalsQuery[] = {
    txt("SELECT "),
    txt("   ISNULL(SUM(Ct_Precio_Lista_Importe),0) as Ct_Precio_Lista_Importe, "),
    txt("   ISNULL(SUM(Ct_Descuento_Importe),0) as Ct_Descuento_Importe,"),
    txt("   ISNULL(SUM(Ct_Impuesto_Importe),0) as Ct_Impuesto_Importe,"),
    txt("   ISNULL(SUM(Ct_Precio_Descontado_Importe),0) as Ct_Precio_Descontado_Importe, "),
    txt("   ISNULL(SUM(Ct_Descuento_Global_Importe),0) as Ct_Descuento_Global_Importe "),
    txt("FROM Cotizacion "),
    txt("WHERE Ct_Folio = '"), kFolio, txt("' ")};

// The header's six amounts: the first four as summed, the tax and the net amount rounded.
constexpr Piece kTotalsUpdate[] = {
    txt("UPDATE Cotizacion_Encabezado SET "),
    txt("   Ct_Descuento_Global_Importe = "), amount(&Totals::G), txt(","),
    txt("   Ct_Precio_Lista_Importe = "), amount(&Totals::L), txt(","),
    txt("   Ct_Descuento_Importe = "), amount(&Totals::Ds), txt(","),
    txt("   Ct_Precio_Descontado_Importe = "), amount(&Totals::D), txt(","),
    txt("   Ct_Impuesto_Importe = "), amount(&Totals::T), txt(","),
    txt("   Ct_Precio_Neto_Importe = "), amount(&Totals::N), txt(" "),
    txt("WHERE "),
    txt("   Ct_Folio = '"), kFolio, txt("' ")};
// clang-format on

void build_statement(std::string& sql, std::span<const Piece> pieces, const Totals& t,
                     const std::string& folio) {
  assemble_statement(sql, pieces, [&](const Piece& piece) {
    if (piece.kind == Piece::Amount)
      append_plain_number(sql, t.*piece.amount);
    else
      append_quoted_value(sql, folio);
  });
}

// Floating-point arithmetic that leaves the finite range is an overflow.
double checked(double value) {
  if (!std::isfinite(value)) throw Failure(kOverflow);
  return value;
}

double field_number(Recordset& rs, const char* name) {
  return rs.GetFields().Item(name).Value().to_double();
}

}  // namespace

bool Cotizacion::Finalizar_Cotizacion(std::string& Ct_Folio) {
  if (Ct_Folio.empty()) {
    m_Error = with_source_line(Routine::Finalizar_Cotizacion, kNoData);
    return false;
  }
  return with_error_exit(Routine::Finalizar_Cotizacion, m_Error, [&] {
    Publico& p = publico();
    build_statement(p.gSQL, kTotalsQuery, Totals{}, Ct_Folio);
    std::shared_ptr<Recordset> rs = p.gSistema->Conexion()->Execute(p.gSQL, -1);
    if (rs->Eof()) {
      m_Error = with_source_line(Routine::Finalizar_Cotizacion, no_rows_message(Ct_Folio));
      return false;
    }

    Totals t;
    t.L = field_number(*rs, "Ct_Precio_Lista_Importe");
    t.Ds = field_number(*rs, "Ct_Descuento_Importe");
    double T0 = field_number(*rs, "Ct_Impuesto_Importe");
    t.D = field_number(*rs, "Ct_Precio_Descontado_Importe");
    t.G = field_number(*rs, "Ct_Descuento_Global_Importe");

    double B = checked(p.gDatos->Redondear(Variant(checked(t.D - t.G)), int32_t{2}).to_double());
    t.T = checked(round_half_even(T0, 2));
    t.N = checked(B + t.T);

    // Whether the header row exists is not looked at: without one nothing changes.
    build_statement(p.gSQL, kTotalsUpdate, t, Ct_Folio);
    p.gSistema->Conexion()->Execute(p.gSQL, -1);
    rs->Close();

    if (!Crm_Historial_Seguimiento(Ct_Folio, kHistoryDescription)) {
      m_Error = with_source_line(Routine::Finalizar_Cotizacion, m_Error);
      return false;
    }
    if (!p.gDatos->Registrar_Documento(kDocumentTag, Ct_Folio, "")) {
      m_Error = with_source_line(Routine::Finalizar_Cotizacion, p.gDatos->Ultimo_Error());
      return false;
    }
    return true;
  });
}

}  // namespace quorlane
