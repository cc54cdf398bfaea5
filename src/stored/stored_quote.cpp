#include "stored/stored_quote.h"

#include "host/sql/schema.h"

namespace quorlane {

namespace {

constexpr const char* kHeaderTable = "Cotizacion_Encabezado";
constexpr const char* kLineTable = "Cotizacion";
constexpr const char* kHistoryTable = "Historial_Seguimiento";
// The document type under which the component writes a quote's follow-up entries.
constexpr const char* kHistoryDocumentType = "COTIZACION";
constexpr const char* kFinalisedEntry = "Registro de cotización";

std::string column_list(const std::vector<std::string>& columns) {
  std::string out;
  for (const std::string& c : columns) out += (out.empty() ? "" : ", ") + c;
  return out;
}

// Every column of `table` for the rows that `where` selects, in the order of `order_by`. The
// columns are named by the schema, not by what the engine reports (server databases may fold
// the letter case of names).
StoredRows read_rows(db::Database& database, const char* table, const std::string& where,
                     const std::vector<Variant>& params, const char* order_by) {
  StoredRows out;
  out.columns = table_columns(table);
  std::string sql = "SELECT " + column_list(out.columns) + " FROM " + table + " WHERE " + where;
  if (order_by != nullptr) sql += std::string(" ORDER BY ") + order_by;
  out.rows = database.run(sql, params).values;
  return out;
}

automation::Json rows_json(const StoredRows& rows) {
  automation::Json out = automation::Json::array();
  for (const std::vector<Variant>& row : rows.rows) {
    automation::Json object = automation::Json::object();
    for (size_t i = 0; i < rows.columns.size() && i < row.size(); ++i)
      object[rows.columns[i]] = automation::variant_to_json(row[i]);
    out.push_back(std::move(object));
  }
  return out;
}

}  // namespace

Variant StoredRows::value(size_t row, const std::string& column) const {
  for (size_t i = 0; i < columns.size(); ++i)
    if (columns[i] == column && row < rows.size() && i < rows[row].size()) return rows[row][i];
  return Variant();
}

Variant StoredQuote::header_value(const std::string& column) const {
  return has_header() ? header.value(0, column) : Variant();
}

bool StoredQuote::finalised() const {
  for (size_t i = 0; i < history.rows.size(); ++i) {
    Variant description = history.value(i, "Hs_Descripcion");
    if (description.is_text() && description.to_text() == kFinalisedEntry) return true;
  }
  return false;
}

std::string missing_quote(const std::optional<StoredQuote>& quote, const std::string& folio) {
  if (!quote)
    return folio.empty() ? "no quote with an empty folio" : "no quote with folio " + folio;
  if (quote->deleted()) return "quote " + folio + " was deleted";
  return "";
}

std::optional<StoredQuote> read_stored_quote(db::Database& database, const std::string& folio) {
  StoredQuote quote;
  quote.folio = folio;
  const std::vector<Variant> by_folio{Variant(folio)};
  quote.header = read_rows(database, kHeaderTable, "Ct_Folio = ?", by_folio, nullptr);
  quote.lines = read_rows(database, kLineTable, "Ct_Folio = ?", by_folio, "Ct_ID");
  if (quote.header.rows.empty() && quote.lines.rows.empty()) return std::nullopt;
  quote.history = read_rows(database, kHistoryTable, "Hs_Tipo_Documento = ? AND Hs_Documento = ?",
                            {Variant(kHistoryDocumentType), Variant(folio)}, "Hs_ID");
  return quote;
}

std::vector<std::string> stored_line_ids(db::Database& database, const std::string& folio) {
  std::vector<std::string> ids;
  db::Rows rows = database.run(
      std::string("SELECT Ct_ID FROM ") + kLineTable + " WHERE Ct_Folio = ? ORDER BY Ct_ID",
      {Variant(folio)});
  for (const std::vector<Variant>& row : rows.values) ids.push_back(row.at(0).to_text());
  return ids;
}

std::string stored_value_text(const Variant& v) {
  if (v.is_empty() || v.is_null()) return "";
  if (v.is_number()) return number_text(v.to_double());
  try {
    return v.to_text();
  } catch (...) {
    return "";
  }
}

automation::Json stored_quote_json(const StoredQuote& quote) {
  automation::Json header = rows_json(quote.header);
  return automation::Json{{"folio", quote.folio},
                          {"finalized", quote.finalised()},
                          {"header", header.empty() ? automation::Json() : header[0]},
                          {"lines", rows_json(quote.lines)},
                          {"history", rows_json(quote.history)}};
}

}  // namespace quorlane
