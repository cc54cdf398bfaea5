// End-to-end tests: the component driven by a client of either shape against the standard host
// on a database file, the host optionally behind the recording and fault-injecting boundary.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "db/database.h"
#include "frame/publico.h"
#include "host/sql/standard_host.h"
#include "host/wrap/boundary.h"
#include "model/shape.h"
#include "quorlane/interfaces.h"

namespace quorlane::test {

// Every end-to-end host has the same clock and operator, so that two runs of a scenario write
// the same rows and a run can be compared with another.
inline HostSettings e2e_settings(const std::string& database) {
  HostSettings s;
  s.database = database;
  s.operator_name = "MARTA";
  s.clock = make_date(2026, 12, 5, 10, 30, 0);
  s.message_log = "none";
  return s;
}

// Where the end-to-end tests keep their database files: memory-backed /dev/shm when the machine
// has it (the sweeps open and close hundreds of files, and disk flushes would dominate their
// time), else the system's temporary directory.
inline std::filesystem::path scratch_base() {
  std::error_code ec;
  const std::filesystem::path shm = "/dev/shm";
  if (std::filesystem::is_directory(shm, ec) && access(shm.c_str(), W_OK) == 0) return shm;
  return std::filesystem::temp_directory_path();
}

// Every table of the schema: the component's, the catalogues and the host's own.
inline const std::vector<std::string>& all_tables() {
  static const std::vector<std::string> kTables = {"Almacen",
                                                   "Cliente",
                                                   "Condicion_Venta",
                                                   "Costo",
                                                   "Cotizacion",
                                                   "Cotizacion_Encabezado",
                                                   "Documento_Descripcion_Extendida",
                                                   "Documento_Registro",
                                                   "Folio",
                                                   "Historial_Seguimiento",
                                                   "Moneda",
                                                   "Parametro",
                                                   "Producto",
                                                   "Producto_Color",
                                                   "Producto_Talla",
                                                   "Producto_Talla_Color",
                                                   "Promocion",
                                                   "Sucursal",
                                                   "Unidad",
                                                   "Unidad_Conversion",
                                                   "Vendedor"};
  return kTables;
}

// The rows of a table, one text per row (its values in column order), sorted.
inline std::vector<std::string> table_rows(db::Database& database, const std::string& table) {
  db::Rows rows = database.run("SELECT * FROM " + table);
  std::vector<std::string> out;
  out.reserve(rows.values.size());
  for (const std::vector<Variant>& row : rows.values) {
    std::string text;
    for (size_t i = 0; i < row.size(); ++i) {
      if (i) text += " | ";
      text += rows.columns[i] + "=" + debug_text(row[i]);
    }
    out.push_back(std::move(text));
  }
  std::sort(out.begin(), out.end());
  return out;
}

// Every row of every table: two databases with equal dumps hold the same data.
inline std::string dump_database(db::Database& database) {
  std::string out;
  for (const std::string& table : all_tables()) {
    out += "[" + table + "]\n";
    for (const std::string& row : table_rows(database, table)) out += row + "\n";
  }
  return out;
}

// Makes `path` a database with every table and the demonstration catalogue, plus what `more`
// adds, and closes it again so that the file can be copied as a template.
inline void make_demo_database(const std::string& path,
                               const std::function<void(db::Database&)>& more = {}) {
  std::shared_ptr<StandardHost> host = StandardHost::create(e2e_settings(path));
  load_demo_catalogue(*host->connection());
  if (more) more(*host->database());
}

// Removes a SQLite file with its journal files.
inline void remove_database(const std::string& path) {
  std::error_code ignored;
  for (const char* suffix : {"", "-wal", "-shm", "-journal"})
    std::filesystem::remove(path + suffix, ignored);
}

// A standard host installed as this thread's host, behind `boundary` when one is given, with a
// fresh thread state; both are undone on destruction. Quote objects must be released first.
class InstalledHost {
 public:
  explicit InstalledHost(HostSettings settings, std::shared_ptr<Boundary> boundary = nullptr)
      : host(StandardHost::create(std::move(settings))) {
    reset_thread_state();
    std::shared_ptr<HostFactory> factory = host->factory();
    if (boundary) factory = wrap_host(factory, std::move(boundary));
    install_thread_host_factory(factory);
  }
  InstalledHost(const InstalledHost&) = delete;
  InstalledHost& operator=(const InstalledHost&) = delete;
  ~InstalledHost() {
    reset_thread_state();
    install_thread_host_factory(nullptr);
  }
  db::Database& database() { return *host->database(); }

  std::shared_ptr<StandardHost> host;
};

// A client program of the component that uses one shape throughout: records (Encabezado,
// Detalle, Add_Cotizacion_Detalle, Folio) or objects (Encabezado2, Detalle2,
// Add_Cotizacion_Detalle2, Folio2).
class Client {
 public:
  explicit Client(bool object) : object_(object) {}

  bool object() const { return object_; }
  void create() { q_ = create_Cotizacion(); }
  void release() { q_ = Ref<_Cotizacion>(); }
  bool created() const { return static_cast<bool>(q_); }
  _Cotizacion& q() { return *q_; }

  // A header (or a line) filled by `fill`, assigned through the shape's setter (the object
  // shape hands over a new object of its own each time).
  void set_header(const std::function<void(QuoteShape&)>& fill) { write(fill, true); }
  void set_line(const std::function<void(QuoteShape&)>& fill) { write(fill, false); }

  bool add() { return object_ ? q_->Add_Cotizacion_Detalle2() : q_->Add_Cotizacion_Detalle(); }
  std::string folio() { return object_ ? q_->get_Folio2() : q_->get_Folio(); }
  void set_folio(const std::string& folio) {
    if (object_) {
      q_->put_Folio2(folio);
    } else {
      q_->put_Folio(folio);
    }
  }
  // The header and the current line as the quote holds them, read through the shape's getters.
  std::string header_text(H field) {
    return read([&](QuoteShape& s) { return s.text(field); }, true);
  }
  double header_number(H field) {
    return read([&](QuoteShape& s) { return s.number(field); }, true);
  }
  std::string line_text(D field) {
    return read([&](QuoteShape& s) { return s.text(field); }, false);
  }

 private:
  void write(const std::function<void(QuoteShape&)>& fill, bool header) {
    if (object_) {
      Ref<_cCtEncabezado> h = header ? create_cCtEncabezado() : Ref<_cCtEncabezado>();
      Ref<_cCtDetalle> l = header ? Ref<_cCtDetalle>() : create_cCtDetalle();
      ObjectShape s(h, l);
      fill(s);
      if (header)
        q_->putref_Encabezado2(h.get());
      else
        q_->putref_Detalle2(l.get());
    } else {
      tCtEncabezado h;
      tCtDetalle l;
      RecordShape s(h, l);
      fill(s);
      if (header)
        q_->put_Encabezado(h);
      else
        q_->put_Detalle(l);
    }
  }
  // `read` applied to the header (or the current line) as the quote holds it, through the
  // shape's getter.
  template <class Read>
  std::invoke_result_t<Read, QuoteShape&> read(Read read, bool header) {
    if (object_) {
      Ref<_cCtEncabezado> h = header ? q_->get_Encabezado2() : Ref<_cCtEncabezado>();
      Ref<_cCtDetalle> l = header ? Ref<_cCtDetalle>() : q_->get_Detalle2();
      ObjectShape s(h, l);
      return read(s);
    }
    tCtEncabezado h = header ? q_->get_Encabezado() : tCtEncabezado();
    tCtDetalle l = header ? tCtDetalle() : q_->get_Detalle();
    RecordShape s(h, l);
    return read(s);
  }

  bool object_;
  Ref<_Cotizacion> q_;
};

inline std::string shape_name(const ::testing::TestParamInfo<bool>& info) {
  return info.param ? "Object" : "Record";
}

}  // namespace quorlane::test
