#include "print/quote_sheet.h"

#include <cstdio>
#include <map>

namespace quorlane::print {

namespace {

// The follow-up entry that finalisation writes once the totals are in the header row.
constexpr const char* kFinalisedEntry = "Registro de cotización";
// Promotion lines carry this parameter's text, a blank and the product's description as their
// own_concept.
constexpr const char* kPromotionParameter = "GEN_COMENTARIO_PROMOCION";
constexpr const char* kPromotionDefault = "*PROMOCION*";

std::string text(const Variant& v) { return stored_value_text(v); }

std::string amount(const Variant& v) {
  if (v.is_empty() || v.is_null()) return "";
  try {
    return amount_text(v.to_double());
  } catch (...) {
    return text(v);
  }
}

// "05/12/2026" for a stored "2026-12-05" (or a date-time); any other text as stored.
std::string date_text(const std::string& stored) {
  int y, m, d;
  char rest;
  if (stored.size() >= 10 && std::sscanf(stored.c_str(), "%4d-%2d-%2d%c", &y, &m, &d, &rest) >= 3) {
    char out[16];
    std::snprintf(out, sizeof out, "%02d/%02d/%04d", d, m, y);
    return out;
  }
  return stored;
}

struct StatusName {
  const char* code;
  const char* name;
  bool alert;
};
constexpr StatusName kStatuses[] = {{"AC", "Abierta", false},
                                    {"AU", "Autorizada", false},
                                    {"RZ", "Rechazada", true},
                                    {"CA", "Cancelada", true}};

// Reads catalogue names, each query once per key.
class Catalogue {
 public:
  explicit Catalogue(db::Database& database) : database_(database) {}

  // The first column of the row that the keys select; "" when there is none.
  std::string name(const std::string& sql, const std::vector<std::string>& keys) {
    std::string cache_key = sql;
    for (const std::string& k : keys) cache_key += '\x1f' + k;
    auto found = cache_.find(cache_key);
    if (found != cache_.end()) return found->second;
    std::vector<Variant> params;
    for (const std::string& k : keys) params.emplace_back(k);
    std::string value = text(database_.run(sql, params).first());
    cache_.emplace(cache_key, value);
    return value;
  }

 private:
  db::Database& database_;
  std::map<std::string, std::string> cache_;
};

// "C1 — Name", or the part that is there.
std::string key_and_name(const std::string& key, const std::string& name) {
  if (key.empty() || name.empty() || name == key) return key.empty() ? name : key;
  return key + " — " + name;
}

}  // namespace

std::string amount_text(double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.2f", value);
  std::string digits = buffer;
  if (digits == "-0.00") digits = "0.00";
  bool negative = digits[0] == '-';
  if (negative) digits.erase(0, 1);
  std::string grouped;
  size_t integer = digits.find('.');
  for (size_t i = 0; i < integer; ++i) {
    if (i > 0 && (integer - i) % 3 == 0) grouped += ',';
    grouped += digits[i];
  }
  return (negative ? "-" : "") + grouped + digits.substr(integer);
}

QuoteSheet make_quote_sheet(db::Database& database, const StoredQuote& quote) {
  Catalogue catalogue(database);
  auto header = [&](const char* column) { return text(quote.header_value(column)); };
  // The header row may be missing: the first line row carries the same header columns.
  auto header_or_line = [&](const char* column) {
    std::string value = header(column);
    return value.empty() && !quote.lines.rows.empty() ? text(quote.lines.value(0, column)) : value;
  };

  QuoteSheet sheet;
  sheet.folio = quote.folio;
  sheet.date = date_text(header_or_line("Ct_Fecha"));
  sheet.currency = header_or_line("Mn_Cve_Moneda");

  // The first line row in line order holds the quote's status.
  std::string status = text(quote.lines.value(0, "Es_Cve_Estado"));
  sheet.status = status;
  for (const StatusName& s : kStatuses)
    if (status == s.code) {
      sheet.status = s.name;
      sheet.status_alert = s.alert;
    }
  for (size_t i = 0; i < quote.history.rows.size(); ++i)
    if (text(quote.history.value(i, "Hs_Descripcion")) == kFinalisedEntry) sheet.finalized = true;

  const std::string branch = header_or_line("Sc_Cve_Sucursal");
  const std::string branch_name =
      catalogue.name("SELECT Sc_Descripcion FROM Sucursal WHERE Sc_Cve_Sucursal = ?", {branch});
  sheet.branch = branch_name.empty() ? "Sucursal " + branch : branch_name;
  const std::string warehouse = header_or_line("Al_Cve_Almacen");
  const std::string customer = header_or_line("Cl_Cve_Cliente");
  sheet.customer = key_and_name(
      customer,
      catalogue.name("SELECT Cl_Descripcion FROM Cliente WHERE Cl_Cve_Cliente = ?", {customer}));
  const std::string seller = header_or_line("Vn_Cve_Vendedor");
  const std::string condition = header_or_line("Ct_Condicion_Venta");
  const std::string rate = header_or_line("Ct_Tipo_Cambio");

  auto add = [](std::vector<SheetField>& to, const char* label, const std::string& value) {
    if (!value.empty()) to.push_back({label, value});
  };
  add(sheet.customer_fields, "Cliente", sheet.customer);
  add(sheet.customer_fields, "Atención", header_or_line("Ct_Atencion"));
  add(sheet.customer_fields, "Referencia", header_or_line("Ct_Referencia"));
  add(sheet.customer_fields, "Condición de venta",
      key_and_name(condition, catalogue.name("SELECT Cv_Descripcion FROM Condicion_Venta "
                                             "WHERE Cv_Cve_Condicion_Venta = ?",
                                             {condition})));
  add(sheet.seller_fields, "Sucursal", key_and_name(branch, branch_name));
  add(sheet.seller_fields, "Almacén",
      key_and_name(warehouse, catalogue.name("SELECT Al_Descripcion FROM Almacen WHERE "
                                             "Sc_Cve_Sucursal = ? AND Al_Cve_Almacen = ?",
                                             {branch, warehouse})));
  add(sheet.seller_fields, "Vendedor",
      key_and_name(seller,
                   catalogue.name("SELECT Vn_Descripcion FROM Vendedor WHERE Vn_Cve_Vendedor = ?",
                                  {seller})));
  add(sheet.seller_fields, "Moneda",
      key_and_name(sheet.currency,
                   catalogue.name("SELECT Mn_Descripcion FROM Moneda WHERE Mn_Cve_Moneda = ?",
                                  {sheet.currency})));
  add(sheet.seller_fields, "Tipo de cambio", rate);
  sheet.comment = header_or_line("Ct_Comentario");

  db::Rows parameter = database.run("SELECT Pa_Valor FROM Parametro WHERE Pa_Cve_Parametro = ?",
                                    {Variant(kPromotionParameter)});
  const std::string promotion = parameter.empty() ? kPromotionDefault : text(parameter.first());

  const StoredRows& rows = quote.lines;
  for (size_t i = 0; i < rows.rows.size(); ++i) {
    auto cell = [&](const char* column) { return text(rows.value(i, column)); };
    SheetLine line;
    line.line = cell("Ct_Partida");
    if (line.line.empty()) line.line = cell("Ct_ID");
    line.product = cell("Pr_Cve_Producto");
    line.description = catalogue.name(
        "SELECT Pr_Descripcion FROM Producto WHERE Pr_Cve_Producto = ?", {line.product});
    std::string own_concept = cell("Ct_Concepto");
    line.gift = !promotion.empty() && own_concept.rfind(promotion + " ", 0) == 0;
    if (!line.gift && !own_concept.empty() && own_concept != line.description)
      line.description += line.description.empty() ? own_concept : "\n" + own_concept;
    line.size = cell("Tl_Cve_Talla");
    line.colour = cell("Cl_Cve_Color");
    line.quantity = cell("Ct_Cantidad_1");
    std::string unit = cell("Ct_Unidad_1");
    if (!unit.empty()) line.quantity += (line.quantity.empty() ? "" : " ") + unit;
    line.price = amount(rows.value(i, "Ct_Precio_Lista"));
    line.discount = amount(rows.value(i, "Ct_Descuento_Importe"));
    line.tax = amount(rows.value(i, "Ct_Impuesto_Importe"));
    line.net = amount(rows.value(i, "Ct_Precio_Neto_Importe"));
    sheet.lines.push_back(std::move(line));
  }

  const std::pair<const char*, const char*> kTotals[] = {
      {"Ct_Precio_Lista_Importe", "Importe de lista"},
      {"Ct_Descuento_Importe", "Descuentos de partida"},
      {"Ct_Precio_Descontado_Importe", "Importe con descuento"},
      {"Ct_Descuento_Global_Importe", "Descuento global"},
      {"Ct_Impuesto_Importe", "Impuestos"},
      {"Ct_Precio_Neto_Importe", "Importe neto"}};
  for (const auto& [column, label] : kTotals) {
    std::string value = amount(quote.header_value(column));
    if (value.empty()) value = "0.00";
    sheet.totals.push_back({label, value + " " + sheet.currency});
  }
  return sheet;
}

}  // namespace quorlane::print
