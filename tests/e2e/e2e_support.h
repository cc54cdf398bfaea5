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
inline Date e2e_clock() { return make_date(2026, 12, 5, 10, 30, 0); }
inline constexpr const char* kE2EOperator = "MARTA";

inline HostSettings e2e_settings(const std::string& database) {
  HostSettings s;
  s.database = database;
  s.operator_name = kE2EOperator;
  s.clock = e2e_clock();
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

  // A header filled by `fill`, assigned through the shape's setter.
  void set_header(const std::function<void(QuoteShape&)>& fill) {
    if (object_) {
      Ref<_cCtEncabezado> header = create_cCtEncabezado();
      Ref<_cCtDetalle> no_line;
      ObjectShape s(header, no_line);
      fill(s);
      q_->putref_Encabezado2(header.get());
    } else {
      tCtEncabezado header;
      tCtDetalle no_line;
      RecordShape s(header, no_line);
      fill(s);
      q_->put_Encabezado(header);
    }
  }

  // A line filled by `fill`, assigned through the shape's setter (the object shape hands over
  // a new object of its own each time).
  void set_line(const std::function<void(QuoteShape&)>& fill) {
    if (object_) {
      Ref<_cCtEncabezado> no_header;
      Ref<_cCtDetalle> line = create_cCtDetalle();
      ObjectShape s(no_header, line);
      fill(s);
      q_->putref_Detalle2(line.get());
    } else {
      tCtEncabezado no_header;
      tCtDetalle line;
      RecordShape s(no_header, line);
      fill(s);
      q_->put_Detalle(line);
    }
  }

  bool add() { return object_ ? q_->Add_Cotizacion_Detalle2() : q_->Add_Cotizacion_Detalle(); }
  std::string folio() { return object_ ? q_->get_Folio2() : q_->get_Folio(); }
  void set_folio(const std::string& folio) {
    if (object_) {
      q_->put_Folio2(folio);
    } else {
      q_->put_Folio(folio);
    }
  }
  // The header as the quote holds it, read through the shape's getter.
  std::string header_text(H field) {
    if (object_) {
      Ref<_cCtEncabezado> header = q_->get_Encabezado2();
      Ref<_cCtDetalle> no_line;
      return ObjectShape(header, no_line).text(field);
    }
    tCtEncabezado header = q_->get_Encabezado();
    tCtDetalle no_line;
    return RecordShape(header, no_line).text(field);
  }
  double header_number(H field) {
    if (object_) {
      Ref<_cCtEncabezado> header = q_->get_Encabezado2();
      Ref<_cCtDetalle> no_line;
      return ObjectShape(header, no_line).number(field);
    }
    tCtEncabezado header = q_->get_Encabezado();
    tCtDetalle no_line;
    return RecordShape(header, no_line).number(field);
  }
  // The current line as the quote holds it, read through the shape's getter.
  std::string line_text(D field) {
    if (object_) {
      Ref<_cCtEncabezado> no_header;
      Ref<_cCtDetalle> line = q_->get_Detalle2();
      return ObjectShape(no_header, line).text(field);
    }
    tCtEncabezado no_header;
    tCtDetalle line = q_->get_Detalle();
    return RecordShape(no_header, line).text(field);
  }

 private:
  bool object_;
  Ref<_Cotizacion> q_;
};

inline std::string shape_name(const ::testing::TestParamInfo<bool>& info) {
  return info.param ? "Object" : "Record";
}

}  // namespace quorlane::test
