#include "floor.h"

#include <memory>

namespace quorlane::bench {

namespace {

constexpr const char* kLineInsert = "INSERT INTO Cotizacion (";
constexpr const char* kRegistration =
    "INSERT INTO Documento_Registro (Dr_Tabla, Dr_Documento, Dr_ID, Oper_Alta, Fecha_Alta) "
    "VALUES (?, ?, ?, ?, ?)";

}  // namespace

std::vector<LineWrites> record_line_writes(const Options& o, const WorkDir& dir, Shape shape,
                                           long lines) {
  auto boundary = std::make_shared<Boundary>();
  Site site(o, dir, std::string("recording-") + shape_name(shape), boundary);
  std::vector<LineWrites> writes;
  writes.reserve(static_cast<size_t>(lines));
  QuoteBuilder builder(shape, o.lines_per_quote);
  for (long i = 0; i < lines; ++i) {
    builder.add_line();
    LineWrites w;
    for (CallRecord& call : boundary->take_calls()) {
      if (call.operation == "Execute" && call.args.at(0).to_text().rfind(kLineInsert, 0) == 0)
        w.insert = call.args.at(0).to_text();
      if (call.operation == "Registrar_Documento") {
        w.folio = call.args.at(1).to_text();
        w.id = call.args.at(2).to_text();
      }
    }
    if (w.insert.empty() || w.id.empty()) give_up("the line's writes were not recorded");
    writes.push_back(std::move(w));
  }
  if (!site.fresh()) {
    // The rows go again when the floor runs on this same database.
    for (const std::string& folio : builder.folios()) {
      site.database().run("DELETE FROM Cotizacion WHERE Ct_Folio = ?", {Variant(folio)});
      site.database().run("DELETE FROM Documento_Registro WHERE Dr_Documento = ?",
                          {Variant(folio)});
    }
  }
  return writes;
}

Timing run_floor(Site& site, const std::vector<LineWrites>& writes, size_t first, size_t end) {
  std::shared_ptr<Connection> connection = site.host().connection();
  db::Database& database = site.database();
  const Variant tag("DETALLE_COTIZACION");
  const Variant oper("BENCH");
  const Variant stamp(date_time_text(make_date(2025, 6, 2, 12, 0, 0)));
  Stopwatch watch;
  for (size_t i = first; i < end; ++i) {
    const LineWrites& w = writes[i];
    connection->Execute(w.insert, -1);
    database.run(kRegistration, {tag, Variant(w.folio), Variant(w.id), oper, stamp});
  }
  return watch.elapsed();
}

void forget_floor_rows(Site& site, const std::vector<LineWrites>& writes) {
  std::string last;
  for (const LineWrites& w : writes) {
    if (w.folio == last) continue;
    last = w.folio;
    site.database().run("DELETE FROM Cotizacion WHERE Ct_Folio = ?", {Variant(w.folio)});
    site.database().run("DELETE FROM Documento_Registro WHERE Dr_Documento = ?",
                        {Variant(w.folio)});
  }
}

}  // namespace quorlane::bench
