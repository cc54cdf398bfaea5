#include "cli/quote_report.h"

#include <cstdio>
#include <sstream>
#include <tuple>
#include <unordered_map>
#include <utility>
#include <vector>

#include "cli/text_table.h"

namespace quorlane::cli {

namespace {

using automation::Json;

// ---------------------------------------------------------------- values

std::string text(const Variant& v) { return stored_value_text(v); }

std::string quantity_text(const Variant& v) {
  if (v.is_empty() || v.is_null()) return "";
  try {
    return number_text(v.to_double());
  } catch (...) {
    return text(v);
  }
}

const char* status_name(const std::string& code) {
  if (code == "AC") return "open";
  if (code == "AU") return "authorised";
  if (code == "RZ") return "rejected";
  if (code == "CA") return "cancelled";
  return "unknown status";
}

const char* shape_name(automation::DocumentShape shape) {
  return shape == automation::DocumentShape::Object ? "object" : "record";
}

// The header's amount columns, as the totals show them.
const std::pair<const char*, const char*> kTotals[] = {
    {"Ct_Precio_Lista_Importe", "List amount"},
    {"Ct_Descuento_Importe", "Line discounts"},
    {"Ct_Precio_Descontado_Importe", "Discounted amount"},
    {"Ct_Descuento_Global_Importe", "Global discount"},
    {"Ct_Impuesto_Importe", "Tax"},
    {"Ct_Precio_Neto_Importe", "Net amount"},
};

void print_totals(std::ostream& out, const StoredQuote& quote) {
  TextTable table({{"", Align::Left}, {"", Align::Right}});
  for (const auto& [column, label] : kTotals)
    table.add({label, amount_text(quote.header_value(column))});
  std::ostringstream body;
  table.print(body, "  ");
  // The table's heading row is empty: leave it out.
  std::string s = body.str();
  out << s.substr(s.find('\n') + 1);
}

// "Date 2026-12-05  Branch S1  ..." from the header row.
std::string header_summary(const StoredQuote& quote) {
  const std::pair<const char*, const char*> kFields[] = {{"Ct_Fecha", "Date"},
                                                         {"Sc_Cve_Sucursal", "Branch"},
                                                         {"Al_Cve_Almacen", "Warehouse"},
                                                         {"Cl_Cve_Cliente", "Customer"},
                                                         {"Vn_Cve_Vendedor", "Seller"},
                                                         {"Mn_Cve_Moneda", "Currency"},
                                                         {"Ct_Tipo_Cambio", "Rate"}};
  std::string out;
  for (const auto& [column, label] : kFields) {
    std::string value = text(quote.header_value(column));
    if (value.empty()) continue;
    out += (out.empty() ? "" : "  ") + std::string(label) + " " + value;
  }
  return out;
}

// The cells of a line row shared by both tables: product to net amount.
std::vector<std::string> line_cells(const StoredRows& lines, size_t row) {
  return {text(lines.value(row, "Pr_Cve_Producto")),
          text(lines.value(row, "Tl_Cve_Talla")),
          text(lines.value(row, "Cl_Cve_Color")),
          quantity_text(lines.value(row, "Ct_Cantidad_1")),
          text(lines.value(row, "Ct_Unidad_1")),
          amount_text(lines.value(row, "Ct_Precio_Lista")),
          amount_text(lines.value(row, "Ct_Descuento_Importe")),
          amount_text(lines.value(row, "Ct_Impuesto_Importe")),
          amount_text(lines.value(row, "Ct_Precio_Neto_Importe"))};
}

const std::vector<std::pair<std::string, Align>> kLineColumns = {
    {"Product", Align::Left},   {"Size", Align::Left}, {"Colour", Align::Left},
    {"Quantity", Align::Right}, {"Unit", Align::Left}, {"Price", Align::Right},
    {"Discount", Align::Right}, {"Tax", Align::Right}, {"Net", Align::Right}};

// The rows of the stored lines by their ids.
class RowIndex {
 public:
  explicit RowIndex(const std::optional<StoredQuote>& quote) {
    if (!quote) return;
    for (size_t i = 0; i < quote->lines.rows.size(); ++i)
      rows_.emplace(text(quote->lines.value(i, "Ct_ID")), i);
  }
  // The row of a line id; npos when the database has none.
  size_t operator()(const std::string& id) const {
    auto found = rows_.find(id);
    return found == rows_.end() ? std::string::npos : found->second;
  }

 private:
  std::unordered_map<std::string, size_t> rows_;
};

const char* stop_name(BuildStop stop) {
  switch (stop) {
    case BuildStop::Interrupted:
      return "interrupted";
    case BuildStop::Locked:
      return "locked";
    case BuildStop::None:
      break;
  }
  return nullptr;
}

std::string plural(int n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

Json number_or_null(const Variant& v) {
  return v.is_empty() ? Json() : automation::variant_to_json(v);
}

}  // namespace

std::string amount_text(const Variant& value) {
  if (value.is_empty() || value.is_null()) return "";
  double v;
  try {
    v = value.to_double();
  } catch (...) {
    return text(value);
  }
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.2f", v);
  std::string s = buffer;
  return s == "-0.00" ? "0.00" : s;
}

std::string indented(const std::string& text, const std::string& indent) {
  std::string out;
  size_t start = 0;
  while (true) {
    size_t end = text.find('\n', start);
    std::string line = text.substr(start, end == std::string::npos ? end : end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (start > 0) out += line.empty() ? "\n" : "\n" + indent;
    out += line;
    if (end == std::string::npos) return out;
    start = end + 1;
  }
}

std::string message_line(const HostMessage& m) {
  std::string out;
  if (!m.id.empty()) out += "[" + m.id + "] ";
  if (!m.source.empty()) out += m.source + ": ";
  return out + m.text;
}

Json message_json(const HostMessage& m) {
  return Json{{"position", m.position == 0 ? Json() : Json(m.position)},
              {"text", m.text},
              {"style", m.style},
              {"source", m.source},
              {"app", m.app},
              {"id", m.id}};
}

void print_quote(std::ostream& out, const QuoteOutcome& o) {
  const std::string sub = "      ";
  if (o.folio.empty()) {
    out << "No quote was stored (" << shape_name(o.shape) << " shape): no folio was allocated.\n";
  } else {
    out << "Quote " << o.folio << " (" << shape_name(o.shape) << " shape)\n";
    if (o.stored) out << "  " << header_summary(*o.stored) << "\n";
  }

  if (o.stored && o.rows_added() > 0) {
    std::vector<std::pair<std::string, Align>> columns = {{"Doc", Align::Right},
                                                          {"ID", Align::Left}};
    columns.insert(columns.end(), kLineColumns.begin(), kLineColumns.end());
    columns.push_back({"Note", Align::Left});
    TextTable table(columns);
    const RowIndex row_of(o.stored);
    for (const LineOutcome& line : o.lines) {
      for (size_t k = 0; k < line.row_ids.size(); ++k) {
        size_t row = row_of(line.row_ids[k]);
        if (row == std::string::npos) continue;
        std::vector<std::string> cells = {k == 0 ? std::to_string(line.position) : "",
                                          line.row_ids[k]};
        for (std::string& c : line_cells(o.stored->lines, row)) cells.push_back(std::move(c));
        cells.push_back(k == 0 ? (line.stored ? "" : "stored, but see below")
                               : "promotion: " + text(o.stored->lines.value(row, "Ct_Concepto")));
        table.add(std::move(cells));
      }
    }
    out << "\n";
    table.print(out, "  ");
  }

  if (o.lines_refused() > 0) {
    out << "\nRefused lines\n";
    for (const LineOutcome& line : o.lines) {
      if (line.stored) continue;
      out << "  line " << line.position;
      if (!line.product.empty()) out << " (" << line.product << ")";
      out << ": " << indented(line.error, sub) << "\n";
    }
  }

  if (!o.messages.empty()) {
    out << "\nMessages\n";
    for (const HostMessage& m : o.messages) {
      out << "  " << (m.position > 0 ? "line " + std::to_string(m.position) + ": " : "")
          << indented(message_line(m), sub) << "\n";
    }
  }

  if (o.finalized && o.stored) {
    out << "\nTotals\n";
    print_totals(out, *o.stored);
  } else if (!o.error.empty()) {
    out << "\n"
        << (o.finalize_requested && !o.folio.empty() ? "Not finalised: " : "Error: ")
        << indented(o.error, sub) << "\n";
  }

  out << "\n"
      << o.lines_stored() << " of " << plural(static_cast<int>(o.document_lines), "line", "lines")
      << " stored";
  if (o.promotion_rows() > 0)
    out << ", " << plural(o.promotion_rows(), "promotion line", "promotion lines") << " added";
  if (o.lines_refused() > 0) out << ", " << o.lines_refused() << " refused";
  if (o.finalize_requested) out << (o.finalized ? "; quote finalised" : "; quote not finalised");
  out << ".\n";
}

Json quote_json(const QuoteOutcome& o) {
  Json lines = Json::array();
  Json rows = Json::array();
  const RowIndex row_of(o.stored);
  for (const LineOutcome& line : o.lines) {
    Json l{{"position", line.position}, {"product", line.product}, {"stored", line.stored}};
    l["error"] = line.error.empty() ? Json() : Json(line.error);
    l["ids"] = line.row_ids;
    lines.push_back(std::move(l));
    if (!o.stored) continue;
    for (size_t k = 0; k < line.row_ids.size(); ++k) {
      size_t row = row_of(line.row_ids[k]);
      if (row == std::string::npos) continue;
      Json r{{"position", line.position}, {"promotion", k > 0}};
      for (const char* column :
           {"Ct_ID", "Pr_Cve_Producto", "Tl_Cve_Talla", "Cl_Cve_Color", "Ct_Cantidad_1",
            "Ct_Unidad_1", "Ct_Precio_Lista", "Ct_Descuento_Importe", "Ct_Impuesto_Importe",
            "Ct_Precio_Neto_Importe", "Ct_Concepto"})
        r[column] = number_or_null(o.stored->lines.value(row, column));
      rows.push_back(std::move(r));
    }
  }
  Json messages = Json::array();
  for (const HostMessage& m : o.messages) messages.push_back(message_json(m));
  Json totals;
  if (o.finalized && o.stored) {
    totals = Json::object();
    for (const auto& [column, label] : kTotals)
      totals[column] = number_or_null(o.stored->header_value(column));
  }
  return Json{{"ok", o.ok()},
              {"folio", o.folio.empty() ? Json() : Json(o.folio)},
              {"shape", shape_name(o.shape)},
              {"document_lines", o.document_lines},
              {"stopped", stop_name(o.stopped) ? Json(stop_name(o.stopped)) : Json()},
              {"lines", lines},
              {"rows", rows},
              {"messages", messages},
              {"finalize", o.finalize_requested},
              {"finalized", o.finalized},
              {"error", o.error.empty() ? Json() : Json(o.error)},
              {"totals", totals}};
}

void print_stored_quote(std::ostream& out, const StoredQuote& q) {
  out << "Quote " << q.folio;
  if (q.has_header()) {
    std::string status = text(q.header_value("Es_Cve_Estado"));
    out << "  status " << status << " (" << status_name(status) << ")"
        << (q.finalised() ? "" : ", never finalised") << "\n";
    out << "  " << header_summary(q) << "\n";
    const std::pair<const char*, const char*> kTexts[] = {
        {"Ct_Referencia", "Reference"},           {"Ct_Atencion", "Attention"},
        {"Ct_Condicion_Venta", "Sale condition"}, {"Ct_Comentario", "Comment"},
        {"Ct_Tabla", "Document table"},           {"Ct_Documento", "Document"}};
    for (const auto& [column, label] : kTexts) {
      std::string value = text(q.header_value(column));
      if (!value.empty()) out << "  " << label << ": " << value << "\n";
    }
    const std::tuple<const char*, const char*, const char*> kAudit[] = {
        {"Created", "Fecha_Alta", "Oper_Alta"},
        {"Modified", "Fecha_Ult_Modif", "Oper_Ult_Modif"},
        {"Cancelled", "Fecha_Baja", "Oper_Baja"}};
    for (const auto& [label, date, who] : kAudit) {
      std::string when = text(q.header_value(date)), by = text(q.header_value(who));
      if (when.empty() && by.empty()) continue;
      out << "  " << label << " " << when << (by.empty() ? "" : " by " + by) << "\n";
    }
  } else {
    out << "\n  (the database holds no header row for this folio)\n";
  }

  out << "\n";
  if (q.lines.rows.empty()) {
    out << "  No lines.\n";
  } else {
    std::vector<std::pair<std::string, Align>> columns = {{"ID", Align::Left},
                                                          {"Line", Align::Left}};
    columns.insert(columns.end(), kLineColumns.begin(), kLineColumns.end());
    columns.push_back({"Status", Align::Left});
    columns.push_back({"Concept", Align::Left});
    TextTable table(columns);
    for (size_t i = 0; i < q.lines.rows.size(); ++i) {
      std::vector<std::string> cells = {text(q.lines.value(i, "Ct_ID")),
                                        text(q.lines.value(i, "Ct_Partida"))};
      for (std::string& c : line_cells(q.lines, i)) cells.push_back(std::move(c));
      cells.push_back(text(q.lines.value(i, "Es_Cve_Estado")));
      cells.push_back(text(q.lines.value(i, "Ct_Concepto")));
      table.add(std::move(cells));
    }
    table.print(out, "  ");
  }

  if (q.has_header() && q.finalised()) {
    out << "\nTotals\n";
    print_totals(out, q);
  } else if (q.has_header()) {
    out << "\nNo totals: the quote was never finalised ('quorlane finalize " << q.folio
        << "' totals its lines).\n";
  }

  out << "\nHistory\n";
  if (q.history.rows.empty()) out << "  No entries.\n";
  for (size_t i = 0; i < q.history.rows.size(); ++i) {
    out << "  " << text(q.history.value(i, "Hs_Fecha")) << "  "
        << text(q.history.value(i, "Hs_Descripcion")) << "  "
        << text(q.history.value(i, "Hs_Tipo_Entidad")) << " "
        << text(q.history.value(i, "Hs_Entidad"));
    std::string when = text(q.history.value(i, "Fecha_Alta")),
                by = text(q.history.value(i, "Oper_Alta"));
    if (!when.empty() || !by.empty())
      out << "  (written " << when << (by.empty() ? "" : " by " + by) << ")";
    out << "\n";
  }
}

}  // namespace quorlane::cli
