// A quote as the database holds it: its header row, its line rows in Ct_ID order and its
// follow-up history entries. Read directly from the tables, not through the component: this is
// what `quorlane show` prints and what `quorlane quote` reports after building.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "automation/json_values.h"
#include "db/database.h"

namespace quorlane {

// Rows of one table, every column of the table in its declared order.
struct StoredRows {
  std::vector<std::string> columns;
  std::vector<std::vector<Variant>> rows;
  // The value of a column of row `row`; Empty for a column the table does not have.
  Variant value(size_t row, const std::string& column) const;
};

struct StoredQuote {
  std::string folio;
  StoredRows header;   // Cotizacion_Encabezado: no row or one
  StoredRows lines;    // Cotizacion, in Ct_ID order
  StoredRows history;  // Historial_Seguimiento entries of the quote, oldest first

  bool has_header() const { return !header.rows.empty(); }
  // Eliminar_Cotizacion deletes a quote's line rows and leaves its header row.
  bool deleted() const { return has_header() && lines.rows.empty(); }
  // Finalisation leaves the follow-up entry "Registro de cotización"; until then the header's
  // totals are not the lines'.
  bool finalised() const;
  // A header value, Empty when the quote has no header row.
  Variant header_value(const std::string& column) const;
};

// The quote of that folio; none when the database holds neither a header row nor a line row
// for it.
std::optional<StoredQuote> read_stored_quote(db::Database& database, const std::string& folio);

// What every command says of a folio the database has no quote for: "no quote with folio
// Z999", or "quote Z999 was deleted"; empty when it holds the quote.
std::string missing_quote(const std::optional<StoredQuote>& quote, const std::string& folio);

// The line ids of the folio, in order.
std::vector<std::string> stored_line_ids(db::Database& database, const std::string& folio);

// {"folio":..., "header": {column: value} or null, "lines": [...], "history": [...]}, every
// value as the database gives it (null for NULL).
automation::Json stored_quote_json(const StoredQuote& quote);

// A stored value as a report shows it: empty for Empty and Null (and a value that has no text),
// a number in its number text, any other value as text.
std::string stored_value_text(const Variant& v);

}  // namespace quorlane
