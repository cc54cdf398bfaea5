// quorlane-bench: how fast quotes are built on the standard host, measured against the database's
// own floor (the writes no implementation of the component can avoid), and the targets the
// component must meet.
//
//   admission    lines assigned and admitted into quotes of 100 lines, record and object shape
//   floor        only the line INSERT texts, as the component built them, and one registration
//                row per line, in autocommit on the same kind of connection
//   growth       time per line on an empty database and after 200,000 stored rows
//   finalisation quotes of 10, 1,000 and 10,000 lines; a 1,000-line quote end to end
//   threads      lines per second with one thread and with two, each on its own connection
//   memory       peak resident memory after 1,000 and after 100,000 lines
//   program      the quorlane program on 1,000- and 10,000-line documents (program_phase.cpp)
//
// Every phase works on a fresh SQLite file of a temporary directory, or on the database that
// --db names (a SQLite path or "odbc:" and a connection string); such a database should be one
// kept for the benchmark, since the lines built stay in it.
#include <sqlite3.h>
#include <stdlib.h>
#include <strings.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <barrier>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "db/database.h"
#include "frame/publico.h"
#include "host/sql/standard_host.h"
#include "host/wrap/boundary.h"
#include "program_phase.h"
#include "quorlane/interfaces.h"

namespace quorlane::bench {

namespace {

using Clock = std::chrono::steady_clock;
using json = nlohmann::json;

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double thread_cpu_seconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Wall-clock seconds, and the CPU seconds of the measuring thread: on a machine that other
// programs keep busy the CPU time of one thread varies far less than the wall-clock time.
struct Timing {
  double wall = 0;
  double cpu = 0;
};

class Stopwatch {
 public:
  Timing elapsed() const { return {seconds_since(wall_), thread_cpu_seconds() - cpu_}; }

 private:
  Clock::time_point wall_ = Clock::now();
  double cpu_ = thread_cpu_seconds();
};

// ---------------------------------------------------------------- options and results

struct Options {
  long lines = 20000;
  long lines_per_quote = 100;
  int repeat = 3;
  long prefill_rows = 200000;
  long growth_lines = 1000;
  long memory_lines = 100000;
  long thread_lines = 5000;  // per thread
  std::string db;            // empty: fresh SQLite files in a temporary directory
  std::vector<std::string> phases = {"memory",       "admission", "growth",
                                     "finalisation", "threads",   "program"};
  bool json = false;
  std::string profile;  // one workload alone, for a profiler

  bool runs(const std::string& phase) const {
    return std::find(phases.begin(), phases.end(), phase) != phases.end();
  }
};

// Samples of one figure over the repeated runs.
struct Samples {
  std::vector<double> values;

  void add(double v) { values.push_back(v); }
  double median() const {
    if (values.empty()) return 0;
    std::vector<double> v = values;
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
  }
  double min() const {
    return values.empty() ? 0 : *std::min_element(values.begin(), values.end());
  }
  double max() const {
    return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
  }
  json to_json() const {
    return json{{"median", median()}, {"min", min()}, {"max", max()}, {"runs", values}};
  }
};

void progress(const std::string& text) { std::cerr << "quorlane-bench: " << text << std::endl; }

[[noreturn]] void give_up(const std::string& text) { throw std::runtime_error(text); }

// Peak resident memory of the process so far, in kB.
long peak_resident_kb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

// ---------------------------------------------------------------- databases

// The directory of the fresh database files, removed with them at the end.
class WorkDir {
 public:
  WorkDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "quorlane-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) give_up("cannot make a temporary directory");
    path_ = pattern;
  }
  ~WorkDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string file(const std::string& name) const { return (path_ / name).string(); }
  void remove_database(const std::string& name) const {
    std::error_code ignored;
    for (const char* suffix : {"", "-wal", "-shm"})
      std::filesystem::remove(path_ / (name + suffix), ignored);
  }

 private:
  std::filesystem::path path_;
};

// One database of a phase with a standard host over it, installed for every thread; the main
// thread's component state starts afresh on it.
class Site {
 public:
  enum Use { Component, FloorOnly };  // a floor site is reached through its connection alone

  Site(const Options& options, const WorkDir& dir, const std::string& name,
       std::shared_ptr<Boundary> boundary = nullptr, Use use = Component)
      : dir_(dir),
        name_(options.db.empty() ? name + ".db" : ""),
        fresh_(options.db.empty()),
        installed_(use == Component) {
    HostSettings settings;
    settings.database = fresh_ ? dir.file(name_) : options.db;
    settings.operator_name = "BENCH";
    settings.message_log = dir.file("messages.log");
    if (fresh_) dir.remove_database(name_);
    host_ = StandardHost::create(settings);
    // A server database gets its tables the way `quorlane init` gives them (a SQLite file gets
    // them when it is opened).
    if (!fresh_) create_schema(*host_->connection());
    load_demo_catalogue(*host_->connection());
    if (!installed_) return;
    std::shared_ptr<HostFactory> factory = host_->factory();
    if (boundary) factory = wrap_host(factory, std::move(boundary));
    install_host_factory(factory);
    reset_thread_state();
  }
  Site(const Site&) = delete;
  Site& operator=(const Site&) = delete;
  ~Site() {
    if (installed_) {
      reset_thread_state();
      install_host_factory(nullptr);
    }
    host_.reset();
    if (fresh_) dir_.remove_database(name_);
  }

  StandardHost& host() { return *host_; }
  // This thread's connection.
  db::Database& database() { return *host_->database(); }
  // The statements this thread's connection has sent to the database so far.
  uint64_t statements() { return database().statements(); }
  // Whether the database is one of its own, which no earlier phase has written.
  bool fresh() const { return fresh_; }

  // Writes the WAL back into the database file, so that a measurement starts from a settled
  // file (SQLite only).
  void checkpoint() {
    if (database().engine() == db::Engine::SQLite)
      database().run("PRAGMA wal_checkpoint(TRUNCATE)");
  }

 private:
  const WorkDir& dir_;
  std::string name_;
  bool fresh_;
  bool installed_;
  std::shared_ptr<StandardHost> host_;
};

// ---------------------------------------------------------------- building quotes

enum class Shape { Record, Object };
const char* shape_name(Shape s) { return s == Shape::Record ? "record" : "object"; }

// What the client sends for a line: a mix of the catalogue's products, with a conversion (CAJ
// to PZA) and fractions (M) among them.
struct LineInput {
  const char* product;
  const char* unit;
  double quantity;
  double price;
};

LineInput line_input(long n) {
  switch (n % 4) {
    case 0:
      return {"P1", "PZA", static_cast<double>(n % 9 + 1), 3.5};
    case 1:
      return {"P2", "M", 2.5 + static_cast<double>(n % 4), 18.9};
    case 2:
      return {"P5", "CAJ", static_cast<double>(n % 3 + 1), 210};
    default:
      return {"P6", "PZA", 1, 350};
  }
}

const Date kQuoteDate = make_date(2025, 6, 2);

// Builds quotes line by line the way a client does: a new Cotizacion with its header for every
// quote, then each line assigned (Detalle / Detalle2) and admitted (Add_Cotizacion_Detalle /
// Add_Cotizacion_Detalle2). A line the component refuses stops the benchmark.
class QuoteBuilder {
 public:
  QuoteBuilder(Shape shape, long lines_per_quote) : shape_(shape), per_quote_(lines_per_quote) {}

  void add_line() {
    if (!quote_ || in_quote_ == per_quote_) begin_quote();
    const LineInput in = line_input(count_);
    const std::string partida = std::to_string(in_quote_ + 1);
    bool admitted;
    if (shape_ == Shape::Record) {
      tCtDetalle d;
      d.Ct_Partida = partida;
      d.Producto.Pr_Cve_Producto = in.product;
      d.Ct_Cantidad_1 = in.quantity;
      d.Ct_Unidad_1 = in.unit;
      d.Ct_Precio_Lista = in.price;
      d.Ct_Descuento_Factor = 0.1;
      d.Ct_Concepto = "Partida " + partida;
      quote_->put_Detalle(d);
      admitted = quote_->Add_Cotizacion_Detalle();
    } else {
      Ref<_cCtDetalle> d = create_cCtDetalle();
      d->put_Ct_Partida(partida);
      d->put_Pr_Cve_Producto(in.product);
      d->put_Ct_Cantidad_1(in.quantity);
      d->put_Ct_Unidad_1(in.unit);
      d->put_Ct_Precio_Lista(in.price);
      d->put_Ct_Descuento_Factor(0.1);
      d->put_Ct_Concepto("Partida " + partida);
      quote_->putref_Detalle2(d.get());
      admitted = quote_->Add_Cotizacion_Detalle2();
    }
    if (!admitted) give_up("line refused: " + quote_->get_Error());
    if (in_quote_ == 0) folios_.push_back(folio());
    ++in_quote_;
    ++count_;
  }

  // Closes the quote being built: the next line begins another.
  void end_quote() { quote_ = Ref<_Cotizacion>(); }

  std::string folio() {
    return shape_ == Shape::Record ? quote_->get_Folio() : quote_->get_Folio2();
  }
  const std::vector<std::string>& folios() const { return folios_; }

 private:
  void begin_quote() {
    quote_ = create_Cotizacion();
    in_quote_ = 0;
    if (shape_ == Shape::Record) {
      tCtEncabezado h;
      h.Ct_Fecha = kQuoteDate;
      h.Ct_Referencia = "BENCH";
      h.Ct_Atencion = "Compras";
      h.Ct_Comentario = "Cotización de la prueba de rendimiento";
      h.Ct_Condicion_Venta = "CON";
      h.Mn_Cve_Moneda = "MXN";
      h.Ct_Tipo_Cambio = 1;
      h.Ct_Descuento_Global_Factor = 0.05;
      h.Sucursal.Sc_Cve_Sucursal = "S1";
      h.Almacen.Sc_Cve_Sucursal = "S1";
      h.Almacen.Al_Cve_Almacen = "A1";
      h.Cliente.Cl_Cve_Cliente = "C1";
      h.Vendedor.Vn_Cve_Vendedor = "V1";
      quote_->put_Encabezado(h);
    } else {
      Ref<_cCtEncabezado> h = create_cCtEncabezado();
      h->put_Ct_Fecha(kQuoteDate);
      h->put_Ct_Referencia("BENCH");
      h->put_Ct_Atencion("Compras");
      h->put_Ct_Comentario("Cotización de la prueba de rendimiento");
      h->put_Ct_Condicion_Venta("CON");
      h->put_Mn_Cve_Moneda("MXN");
      h->put_Ct_Tipo_Cambio(1);
      h->put_Ct_Descuento_Global_Factor(0.05);
      h->put_Sc_Cve_Sucursal("S1");
      h->put_Al_Cve_Almacen("A1");
      h->put_Cl_Cve_Cliente("C1");
      h->put_Vn_Cve_Vendedor("V1");
      quote_->putref_Encabezado2(h.get());
    }
  }

  Shape shape_;
  long per_quote_;
  long in_quote_ = 0;
  long count_ = 0;
  Ref<_Cotizacion> quote_;
  std::vector<std::string> folios_;
};

// The time to build `lines` lines.
Timing build_lines(QuoteBuilder& builder, long lines) {
  Stopwatch watch;
  for (long i = 0; i < lines; ++i) builder.add_line();
  return watch.elapsed();
}

// ---------------------------------------------------------------- the floor

constexpr const char* kLineInsert = "INSERT INTO Cotizacion (";
constexpr const char* kRegistration =
    "INSERT INTO Documento_Registro (Dr_Tabla, Dr_Documento, Dr_ID, Oper_Alta, Fecha_Alta) "
    "VALUES (?, ?, ?, ?, ?)";

// The unavoidable writes of one line: its row as the component wrote it, and its registration.
struct LineWrites {
  std::string insert;
  std::string folio;
  std::string id;
};

// Builds `lines` lines through a recording boundary and keeps, for each, the INSERT text the
// component executed and the registration it asked for.
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

// The time to execute the unavoidable writes of lines [first, end), each statement in its own
// transaction.
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

// ---------------------------------------------------------------- phases

struct ShapeFigures {
  Samples admission_s, floor_s, ratio;              // wall-clock
  Samples admission_cpu_s, floor_cpu_s, cpu_ratio;  // CPU time of the thread
  Samples admission_statements, floor_statements;   // statements sent per line
};

Samples per_second(const Samples& seconds, long count) {
  Samples r;
  for (double v : seconds.values) r.add(static_cast<double>(count) / v);
  return r;
}

Samples micros_each(const Samples& seconds, long count) {
  Samples r;
  for (double v : seconds.values) r.add(v * 1e6 / static_cast<double>(count));
  return r;
}

constexpr size_t kTurn = 500;  // lines of admission, then of floor, in turn

json admission_phase(const Options& o, const WorkDir& dir, ShapeFigures figures[2]) {
  json out;
  for (Shape shape : {Shape::Record, Shape::Object}) {
    ShapeFigures& f = figures[shape == Shape::Record ? 0 : 1];
    progress("recording the writes of " + std::to_string(o.lines) + " lines, " + shape_name(shape) +
             " shape");
    std::vector<LineWrites> writes = record_line_writes(o, dir, shape, o.lines);
    for (int r = 0; r < o.repeat; ++r) {
      progress(std::string("admission and floor, ") + shape_name(shape) + " shape, run " +
               std::to_string(r + 1));
      // Admission and floor take turns in blocks of lines, so that on a busy machine both meet
      // the same load.
      Timing admission, floor;
      uint64_t admission_statements = 0, floor_statements = 0;
      {
        Site floor_site(o, dir, "floor", nullptr, Site::FloorOnly);
        Site site(o, dir, "admission");
        floor_site.checkpoint();
        site.checkpoint();
        QuoteBuilder builder(shape, o.lines_per_quote);
        for (size_t done = 0; done < writes.size(); done += kTurn) {
          const size_t end = std::min(writes.size(), done + kTurn);
          const uint64_t sent[2] = {site.statements(), floor_site.statements()};
          const Timing a = build_lines(builder, static_cast<long>(end - done));
          const Timing b = run_floor(floor_site, writes, done, end);
          admission_statements += site.statements() - sent[0];
          floor_statements += floor_site.statements() - sent[1];
          admission.wall += a.wall;
          admission.cpu += a.cpu;
          floor.wall += b.wall;
          floor.cpu += b.cpu;
        }
        if (!floor_site.fresh()) forget_floor_rows(floor_site, writes);
      }
      f.admission_s.add(admission.wall);
      f.floor_s.add(floor.wall);
      f.ratio.add(floor.wall / admission.wall);
      f.admission_cpu_s.add(admission.cpu);
      f.floor_cpu_s.add(floor.cpu);
      f.cpu_ratio.add(floor.cpu / admission.cpu);
      f.admission_statements.add(static_cast<double>(admission_statements) / o.lines);
      f.floor_statements.add(static_cast<double>(floor_statements) / o.lines);
    }
    out[shape_name(shape)] = {
        {"lines", o.lines},
        {"admission_lines_per_s", per_second(f.admission_s, o.lines).to_json()},
        {"admission_us_per_line", micros_each(f.admission_s, o.lines).to_json()},
        {"admission_cpu_us_per_line", micros_each(f.admission_cpu_s, o.lines).to_json()},
        {"floor_lines_per_s", per_second(f.floor_s, o.lines).to_json()},
        {"floor_us_per_line", micros_each(f.floor_s, o.lines).to_json()},
        {"floor_cpu_us_per_line", micros_each(f.floor_cpu_s, o.lines).to_json()},
        {"ratio_floor_over_admission", f.ratio.to_json()},
        {"cpu_ratio_floor_over_admission", f.cpu_ratio.to_json()},
        {"admission_statements_per_line", f.admission_statements.to_json()},
        {"floor_statements_per_line", f.floor_statements.to_json()},
    };
  }
  return out;
}

// Server databases may fold the names of columns.
bool same_name(const std::string& a, const std::string& b) {
  return strcasecmp(a.c_str(), b.c_str()) == 0;
}

// Copies every row of Cotizacion, Cotizacion_Encabezado and Documento_Registro of a folio under
// another folio, in one statement per table.
class QuoteCopier {
 public:
  explicit QuoteCopier(db::Database& db) : db_(db) {
    line_ = copy_statement("Cotizacion", "Ct_Folio", "");
    header_ = copy_statement("Cotizacion_Encabezado", "Ct_Folio", "");
    registration_ = copy_statement("Documento_Registro", "Dr_Documento", "Dr_Registro");
  }
  void copy(const std::string& from, const std::string& to) {
    for (const std::string* sql : {&line_, &header_, &registration_})
      db_.run(*sql, {Variant(to), Variant(from)});
  }

 private:
  std::string copy_statement(const std::string& table, const std::string& folio_column,
                             const std::string& skip) {
    db::Rows none = db_.run("SELECT * FROM " + table + " WHERE 1 = 0");
    std::string columns, values;
    for (const std::string& c : none.columns) {
      if (same_name(c, skip)) continue;
      if (!columns.empty()) {
        columns += ", ";
        values += ", ";
      }
      columns += c;
      values += same_name(c, folio_column) ? std::string("?") : c;
    }
    return "INSERT INTO " + table + " (" + columns + ") SELECT " + values + " FROM " + table +
           " WHERE " + folio_column + " = ?";
  }

  db::Database& db_;
  std::string line_, header_, registration_;
};

// Stores `o.prefill_rows` rows: quotes built through the component on this thread, then copied
// again and again under the next folios of the series, as if the component had built them, in
// one transaction.
void prefill(const Options& o, Site& site) {
  install_thread_host_factory(site.host().factory());
  reset_thread_state();
  std::vector<std::string> templates;
  {
    QuoteBuilder builder(Shape::Record, o.lines_per_quote);
    build_lines(builder, o.growth_lines);
    templates = builder.folios();
  }
  reset_thread_state();
  install_thread_host_factory(nullptr);

  db::Database& db = site.database();
  Clock::time_point start = Clock::now();
  QuoteCopier copier(db);
  const long copies_needed = o.prefill_rows / o.growth_lines - 1;
  db.Execute("BEGIN", -1);
  db::Rows series = db.run(
      "SELECT Fo_Prefijo, Fo_Ultimo FROM Folio WHERE Sc_Cve_Sucursal = 'S1' AND "
      "Fo_Tipo_Documento = 'COTIZACION'");
  std::string prefix = series.first(0).to_text();
  long last = static_cast<long>(series.first(1).to_double());
  for (long c = 0; c < copies_needed; ++c) {
    for (const std::string& from : templates) {
      std::string number = std::to_string(++last);
      if (number.size() < 10) number.insert(0, 10 - number.size(), '0');
      copier.copy(from, prefix + number);
    }
  }
  db.run(
      "UPDATE Folio SET Fo_Ultimo = ? WHERE Sc_Cve_Sucursal = 'S1' AND "
      "Fo_Tipo_Documento = 'COTIZACION'",
      {Variant(static_cast<double>(last))});
  db.Execute("COMMIT", -1);
  site.checkpoint();
  long stored = static_cast<long>(db.run("SELECT COUNT(*) FROM Cotizacion").first().to_double());
  progress("prefill: " + std::to_string(stored) + " rows in " +
           std::to_string(seconds_since(start)) + " s");
}

// Whose turn it is, between two threads that must never run at once.
class Turns {
 public:
  explicit Turns(int first) : turn_(first) {}

  // False once the other thread has given up.
  bool wait_for(int who) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return turn_ == who || abandoned_; });
    return !abandoned_;
  }
  void pass(int next) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      turn_ = next;
    }
    changed_.notify_all();
  }
  void abandon() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      abandoned_ = true;
    }
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int turn_;
  bool abandoned_ = false;
};

constexpr long kGrowthTurn = 100;  // lines of each database in turn

json growth_phase(const Options& o, const WorkDir& dir, Samples& empty_us, Samples& full_us,
                  Samples& empty_cpu_us, Samples& full_cpu_us, Samples& statements) {
  for (int r = 0; r < o.repeat; ++r) {
    progress("growth, run " + std::to_string(r + 1));
    Site empty_site(o, dir, "empty", nullptr, Site::FloorOnly);
    Site stored_site(o, dir, "stored", nullptr, Site::FloorOnly);
    prefill(o, stored_site);
    empty_site.checkpoint();

    // Two threads, each with the component on one of the databases, build their lines in turns
    // of 100, so that on a busy machine both meet the same load; only one runs at a time.
    Site* sites[2] = {&empty_site, &stored_site};
    Timing timings[2];
    uint64_t sent[2] = {0, 0};
    std::string failures[2];
    Turns turns(r % 2);  // each database goes first in every other run
    auto build = [&](int who) {
      try {
        install_thread_host_factory(sites[who]->host().factory());
        create_Cotizacion();  // start-up and the connection, before the clock runs
        QuoteBuilder builder(Shape::Record, o.lines_per_quote);
        for (long done = 0; done < o.growth_lines; done += kGrowthTurn) {
          if (!turns.wait_for(who)) return;
          const uint64_t before = sites[who]->statements();
          const Timing t = build_lines(builder, std::min(kGrowthTurn, o.growth_lines - done));
          sent[who] += sites[who]->statements() - before;
          timings[who].wall += t.wall;
          timings[who].cpu += t.cpu;
          turns.pass(1 - who);
        }
      } catch (const std::exception& e) {
        failures[who] = e.what();
        turns.abandon();
      }
    };
    std::thread empty_thread(build, 0), stored_thread(build, 1);
    empty_thread.join();
    stored_thread.join();
    for (const std::string& f : failures)
      if (!f.empty()) give_up(f);

    const double n = static_cast<double>(o.growth_lines);
    empty_us.add(timings[0].wall * 1e6 / n);
    full_us.add(timings[1].wall * 1e6 / n);
    empty_cpu_us.add(timings[0].cpu * 1e6 / n);
    full_cpu_us.add(timings[1].cpu * 1e6 / n);
    statements.add(static_cast<double>(sent[0] + sent[1]) / (2 * n));
  }
  Samples ratio, cpu_ratio;
  for (size_t i = 0; i < empty_us.values.size(); ++i) {
    ratio.add(full_us.values[i] / empty_us.values[i]);
    cpu_ratio.add(full_cpu_us.values[i] / empty_cpu_us.values[i]);
  }
  return json{{"lines", o.growth_lines},
              {"stored_rows_before", o.prefill_rows},
              {"empty_us_per_line", empty_us.to_json()},
              {"stored_us_per_line", full_us.to_json()},
              {"ratio_stored_over_empty", ratio.to_json()},
              {"empty_cpu_us_per_line", empty_cpu_us.to_json()},
              {"stored_cpu_us_per_line", full_cpu_us.to_json()},
              {"cpu_ratio_stored_over_empty", cpu_ratio.to_json()},
              {"statements_per_line", statements.to_json()}};
}

json finalisation_phase(const Options& o, const WorkDir& dir, Samples finalise_ms[3],
                        Samples& end_to_end_s, Samples& end_to_end_statements) {
  const long sizes[3] = {10, 1000, 10000};
  for (int r = 0; r < o.repeat; ++r) {
    progress("finalisation, run " + std::to_string(r + 1));
    Site site(o, dir, "finalisation");
    for (int i = 0; i < 3; ++i) {
      const uint64_t sent = site.statements();
      Clock::time_point start = Clock::now();
      QuoteBuilder builder(Shape::Record, sizes[i]);
      for (long n = 0; n < sizes[i]; ++n) builder.add_line();
      Ref<_Cotizacion> closing = create_Cotizacion();
      std::string folio = builder.folio();
      Clock::time_point finalise_start = Clock::now();
      if (!closing->Finalizar_Cotizacion(folio))
        give_up("the quote was not finalised: " + closing->get_Error());
      double finalise = seconds_since(finalise_start);
      if (sizes[i] == 1000) {
        end_to_end_s.add(seconds_since(start));
        end_to_end_statements.add(static_cast<double>(site.statements() - sent) / sizes[i]);
      }
      finalise_ms[i].add(finalise * 1e3);
    }
  }
  json out = {{"end_to_end_1000_lines_s", end_to_end_s.to_json()},
              {"end_to_end_1000_lines_statements_per_line", end_to_end_statements.to_json()}};
  for (int i = 0; i < 3; ++i)
    out["finalise_ms"][std::to_string(sizes[i]) + "_lines"] = finalise_ms[i].to_json();
  return out;
}

double process_cpu_seconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct ThreadsRun {
  double lines_per_s;
  double statements_per_line;
  double cores_used;       // CPU seconds of the process per second: what the machine gave it
  double cpu_us_per_line;  // CPU time of the process per line
};

// Lines per second of `threads` threads, each building its own quotes on its own connection.
ThreadsRun threads_rate(const Options& o, const WorkDir& dir, int threads) {
  Site site(o, dir, "threads");
  site.checkpoint();
  std::barrier start_line(threads + 1);
  std::vector<std::string> failures(static_cast<size_t>(threads));
  std::vector<uint64_t> sent(static_cast<size_t>(threads), 0);
  std::vector<std::thread> workers;
  for (int t = 0; t < threads; ++t) {
    workers.emplace_back([&, t] {
      try {
        // Start-up and the connection are the thread's own, before the clock runs.
        create_Cotizacion();
        QuoteBuilder builder(Shape::Record, o.lines_per_quote);
        const uint64_t before = site.statements();
        start_line.arrive_and_wait();
        for (long i = 0; i < o.thread_lines; ++i) builder.add_line();
        sent[static_cast<size_t>(t)] = site.statements() - before;
      } catch (const std::exception& e) {
        failures[static_cast<size_t>(t)] = e.what();
      }
    });
  }
  start_line.arrive_and_wait();
  Clock::time_point start = Clock::now();
  const double cpu_start = process_cpu_seconds();
  for (std::thread& w : workers) w.join();
  double elapsed = seconds_since(start);
  const double cpu = process_cpu_seconds() - cpu_start;
  for (const std::string& f : failures)
    if (!f.empty()) give_up("thread: " + f);
  const double lines = static_cast<double>(o.thread_lines * threads);
  uint64_t statements = 0;
  for (uint64_t n : sent) statements += n;
  return {lines / elapsed, static_cast<double>(statements) / lines, cpu / elapsed,
          cpu * 1e6 / lines};
}

json threads_phase(const Options& o, const WorkDir& dir, Samples& one, Samples& two,
                   Samples& speedup, Samples cores[2], Samples cpu_per_line[2],
                   Samples statements[2]) {
  for (int r = 0; r < o.repeat; ++r) {
    progress("threads, run " + std::to_string(r + 1));
    ThreadsRun a = threads_rate(o, dir, 1);
    ThreadsRun b = threads_rate(o, dir, 2);
    one.add(a.lines_per_s);
    two.add(b.lines_per_s);
    speedup.add(b.lines_per_s / a.lines_per_s);
    cores[0].add(a.cores_used);
    cores[1].add(b.cores_used);
    cpu_per_line[0].add(a.cpu_us_per_line);
    cpu_per_line[1].add(b.cpu_us_per_line);
    statements[0].add(a.statements_per_line);
    statements[1].add(b.statements_per_line);
  }
  return json{{"lines_per_thread", o.thread_lines},
              {"one_thread_lines_per_s", one.to_json()},
              {"two_threads_lines_per_s", two.to_json()},
              {"speedup", speedup.to_json()},
              {"one_thread_cores_used", cores[0].to_json()},
              {"two_threads_cores_used", cores[1].to_json()},
              {"one_thread_cpu_us_per_line", cpu_per_line[0].to_json()},
              {"two_threads_cpu_us_per_line", cpu_per_line[1].to_json()},
              {"one_thread_statements_per_line", statements[0].to_json()},
              {"two_threads_statements_per_line", statements[1].to_json()}};
}

// Run first, so that no earlier phase has raised the peak.
json memory_phase(const Options& o, const WorkDir& dir, long& after_first_kb, long& after_all_kb,
                  double& statements_per_line) {
  progress("memory: " + std::to_string(o.memory_lines) + " lines");
  Site site(o, dir, "memory");
  // Quotes alternate between the shapes.
  QuoteBuilder builders[2] = {QuoteBuilder(Shape::Record, o.lines_per_quote),
                              QuoteBuilder(Shape::Object, o.lines_per_quote)};
  const long first = std::min(1000L, o.memory_lines);
  const uint64_t sent = site.statements();
  for (long n = 0; n < o.memory_lines; ++n) {
    builders[(n / o.lines_per_quote) % 2].add_line();
    if (n + 1 == first) after_first_kb = peak_resident_kb();
  }
  after_all_kb = peak_resident_kb();
  statements_per_line = static_cast<double>(site.statements() - sent) / o.memory_lines;
  return json{{"peak_kb_after_1000_lines", after_first_kb},
              {"statements_per_line", statements_per_line},
              {"lines", o.memory_lines},
              {"peak_kb_after_all_lines", after_all_kb},
              {"growth_kb", after_all_kb - after_first_kb}};
}

// ---------------------------------------------------------------- report

struct Target {
  std::string name;
  double value;
  double limit;
  bool at_least;  // the value must reach the limit; otherwise stay under it
  std::string unit;
  bool met() const { return at_least ? value >= limit : value <= limit; }
};

std::string fixed(double v, int decimals) {
  std::ostringstream s;
  s.setf(std::ios::fixed);
  s.precision(decimals);
  s << v;
  return s.str();
}

// "median (min–max)"
std::string spread(const Samples& s, int decimals) {
  if (s.values.size() < 2) return fixed(s.median(), decimals);
  return fixed(s.median(), decimals) + " (" + fixed(s.min(), decimals) + "–" +
         fixed(s.max(), decimals) + ")";
}

void row(std::ostream& out, const std::string& what, const std::string& value) {
  out << "| " << what << " | " << value << " |\n";
}

// Runs one workload alone; the floor's texts are recorded first, outside the profiled part only
// in time (a profiler sees the recording pass as well).
// Seconds this thread has waited for a CPU while it could run (Linux scheduler statistics).
double thread_run_delay_seconds() {
  std::ifstream stat("/proc/thread-self/schedstat");
  double on_cpu = 0, waiting = 0;
  stat >> on_cpu >> waiting;
  return waiting * 1e-9;
}

int profile_workload(const Options& o, const WorkDir& dir) {
  if (o.profile.rfind("threads-", 0) == 0) {
    const int threads = o.profile == "threads-2" ? 2 : 1;
    ThreadsRun run = threads_rate(o, dir, threads);
    std::cout << o.profile << ": " << fixed(run.lines_per_s, 0) << " lines/s, "
              << fixed(run.cores_used, 2) << " cores, CPU " << fixed(run.cpu_us_per_line, 1)
              << " µs/line" << std::endl;
    return 0;
  }
  const Shape shape = o.profile.find("object") != std::string::npos ? Shape::Object : Shape::Record;
  Timing t;
  double delay = 0;
  uint64_t sent = 0;
  if (o.profile.rfind("floor", 0) == 0) {
    std::vector<LineWrites> writes = record_line_writes(o, dir, shape, o.lines);
    Site site(o, dir, "floor");
    site.checkpoint();
    delay = thread_run_delay_seconds();
    sent = site.statements();
    t = run_floor(site, writes, 0, writes.size());
    sent = site.statements() - sent;
    delay = thread_run_delay_seconds() - delay;
  } else {
    Site site(o, dir, "admission");
    site.checkpoint();
    QuoteBuilder builder(shape, o.lines_per_quote);
    delay = thread_run_delay_seconds();
    sent = site.statements();
    t = build_lines(builder, o.lines);
    sent = site.statements() - sent;
    delay = thread_run_delay_seconds() - delay;
  }
  const double n = static_cast<double>(o.lines);
  std::cout << o.profile << ": " << o.lines << " lines in " << fixed(t.wall, 3) << " s, "
            << fixed(t.wall * 1e6 / n, 1) << " µs/line, CPU " << fixed(t.cpu * 1e6 / n, 1)
            << " µs/line, waiting for a CPU " << fixed(delay * 1e6 / n, 1) << " µs/line, "
            << fixed(static_cast<double>(sent) / n, 2) << " statements/line" << std::endl;
  return 0;
}

int run(int argc, char** argv) {
  Options o;
  CLI::App app{"Benchmark of quote building on the standard host of Quorlane"};
  app.add_option("--lines", o.lines, "lines admitted per shape and run")
      ->check(CLI::PositiveNumber);
  app.add_option("--db", o.db,
                 "database: a SQLite path or odbc:<connection string> (default: fresh SQLite "
                 "files in a temporary directory)");
  app.add_option("--repeat", o.repeat, "runs of every timed figure")->check(CLI::PositiveNumber);
  app.add_option("--quote-lines", o.lines_per_quote, "lines per quote")->check(CLI::PositiveNumber);
  app.add_option("--prefill", o.prefill_rows, "rows stored before the second growth measurement")
      ->check(CLI::PositiveNumber);
  app.add_option("--memory-lines", o.memory_lines, "lines of the memory phase")
      ->check(CLI::PositiveNumber);
  app.add_option("--thread-lines", o.thread_lines, "lines per thread in the threads phase")
      ->check(CLI::PositiveNumber);
  app.add_option("--phases", o.phases,
                 "phases to run: memory admission growth finalisation threads program")
      ->delimiter(',');
  app.add_flag("--json", o.json, "print one JSON object instead of the table");
  app.add_option("--profile", o.profile,
                 "run one workload once, for a profiler: record, object, floor-record or "
                 "floor-object (--lines lines), threads-1 or threads-2 (--thread-lines each)")
      ->check(CLI::IsMember(
          {"record", "object", "floor-record", "floor-object", "threads-1", "threads-2"}));
  CLI11_PARSE(app, argc, argv);

  WorkDir dir;
  if (!o.profile.empty()) return profile_workload(o, dir);
  json result;
  result["machine"] = {{"cores", std::thread::hardware_concurrency()},
                       {"sqlite", sqlite3_libversion()}};
  result["database"] = o.db.empty() ? "fresh SQLite files (WAL, synchronous=NORMAL)" : o.db;
  result["repeat"] = o.repeat;
  std::vector<Target> targets;
  std::ostringstream table;
  table << "| measurement | median (min–max over " << o.repeat << " runs) |\n|---|---|\n";

  if (o.runs("memory")) {
    long first = 0, all = 0;
    double statements = 0;
    result["memory"] = memory_phase(o, dir, first, all, statements);
    row(table, "peak memory after 1,000 lines (one run)", fixed(first / 1024.0, 1) + " MB");
    row(table, "peak memory after " + std::to_string(o.memory_lines) + " lines (one run)",
        fixed(all / 1024.0, 1) + " MB");
    row(table, "statements/line, memory phase (one run)", fixed(statements, 2));
    targets.push_back({"peak memory growth, 1,000 to " + std::to_string(o.memory_lines) + " lines",
                       (all - first) / 1024.0, 5, false, "MB"});
  }
  if (o.runs("admission")) {
    ShapeFigures f[2];
    result["admission"] = admission_phase(o, dir, f);
    for (Shape shape : {Shape::Record, Shape::Object}) {
      const ShapeFigures& s = f[shape == Shape::Record ? 0 : 1];
      std::string name = shape_name(shape);
      row(table, "admission, " + name + " shape: lines/s",
          spread(per_second(s.admission_s, o.lines), 0));
      row(table, "admission, " + name + " shape: µs/line",
          spread(micros_each(s.admission_s, o.lines), 1));
      row(table, "floor, " + name + " shape: lines/s", spread(per_second(s.floor_s, o.lines), 0));
      row(table, "floor, " + name + " shape: µs/line", spread(micros_each(s.floor_s, o.lines), 1));
      row(table, "ratio floor/admission, " + name + " shape", spread(s.ratio, 2));
      row(table, "CPU µs/line, " + name + " shape: admission / floor",
          spread(micros_each(s.admission_cpu_s, o.lines), 1) + " / " +
              spread(micros_each(s.floor_cpu_s, o.lines), 1));
      row(table, "ratio of CPU times, " + name + " shape", spread(s.cpu_ratio, 2));
      row(table, "statements/line, " + name + " shape: admission / floor",
          spread(s.admission_statements, 2) + " / " + spread(s.floor_statements, 2));
      targets.push_back(
          {"ratio floor/admission, " + name + " shape", s.ratio.median(), 0.6, true, ""});
    }
  }
  if (o.runs("growth")) {
    Samples empty, full, empty_cpu, full_cpu, statements;
    result["growth"] = growth_phase(o, dir, empty, full, empty_cpu, full_cpu, statements);
    row(table, "first " + std::to_string(o.growth_lines) + " lines, empty database: µs/line",
        spread(empty, 1));
    row(table,
        std::to_string(o.growth_lines) + " lines after " + std::to_string(o.prefill_rows) +
            " stored rows: µs/line",
        spread(full, 1));
    row(table, "CPU µs/line, empty / after " + std::to_string(o.prefill_rows) + " stored rows",
        spread(empty_cpu, 1) + " / " + spread(full_cpu, 1));
    row(table, "statements/line, growth", spread(statements, 2));
    targets.push_back(
        {"per-line time after " + std::to_string(o.prefill_rows) + " rows / empty database",
         full.median() / empty.median(), 1.2, false, "x"});
  }
  if (o.runs("finalisation")) {
    Samples finalise[3], end_to_end, end_to_end_statements;
    result["finalisation"] =
        finalisation_phase(o, dir, finalise, end_to_end, end_to_end_statements);
    const char* sizes[3] = {"10", "1,000", "10,000"};
    for (int i = 0; i < 3; ++i)
      row(table, std::string("finalise a ") + sizes[i] + "-line quote: ms", spread(finalise[i], 2));
    row(table, "1,000-line quote built and finalised: s", spread(end_to_end, 3));
    row(table, "statements/line, 1,000-line quote built and finalised",
        spread(end_to_end_statements, 2));
    targets.push_back({"finalise a 10,000-line quote", finalise[2].median(), 20, false, "ms"});
    targets.push_back(
        {"1,000-line quote built and finalised", end_to_end.median(), 0.5, false, "s"});
  }
  if (o.runs("threads")) {
    Samples one, two, speedup, cores[2], cpu_per_line[2], statements[2];
    result["threads"] = threads_phase(o, dir, one, two, speedup, cores, cpu_per_line, statements);
    row(table, "1 thread: lines/s", spread(one, 0));
    row(table, "2 threads: lines/s", spread(two, 0));
    row(table, "CPU cores the process got, 1 thread", spread(cores[0], 2));
    row(table, "CPU cores the process got, 2 threads", spread(cores[1], 2));
    row(table, "CPU µs/line, 1 thread / 2 threads",
        spread(cpu_per_line[0], 1) + " / " + spread(cpu_per_line[1], 1));
    row(table, "2 threads / 1 thread", spread(speedup, 2));
    row(table, "statements/line, 1 thread / 2 threads",
        spread(statements[0], 2) + " / " + spread(statements[1], 2));
    targets.push_back({"2 threads / 1 thread", speedup.median(), 1.3, true, "x"});
  }

  if (o.runs("program") && o.db.empty()) {
    ProgramPhase p = program_phase(o.repeat, dir.file(""));
    result["program"] = p.result;
    for (const auto& [what, value] : p.rows) row(table, what, value);
    for (const ProgramTarget& t : p.targets)
      targets.push_back({t.name, t.value, t.limit, false, "x"});
  }

  json target_list = json::array();
  table << "\n| target | value | limit | met |\n|---|---|---|---|\n";
  for (const Target& t : targets) {
    target_list.push_back({{"target", t.name},
                           {"value", t.value},
                           {"limit", t.limit},
                           {"at_least", t.at_least},
                           {"met", t.met()}});
    table << "| " << t.name << " | " << fixed(t.value, 2) << (t.unit.empty() ? "" : " ") << t.unit
          << " | " << (t.at_least ? "≥ " : "≤ ") << fixed(t.limit, 2) << " | "
          << (t.met() ? "yes" : "NO") << " |\n";
  }
  result["targets"] = target_list;

  // Messages of the detail setters mean that lines were not what the benchmark meant to build.
  std::ifstream messages(dir.file("messages.log"));
  std::string message;
  if (std::getline(messages, message)) give_up("the component sent a message: " + message);

  if (o.json) {
    std::cout << result.dump(2) << std::endl;
  } else {
    std::cout << table.str();
  }
  return 0;
}

}  // namespace

}  // namespace quorlane::bench

int main(int argc, char** argv) {
  try {
    return quorlane::bench::run(argc, argv);
  } catch (const std::exception& e) {
    std::cerr << "quorlane-bench: " << e.what() << std::endl;
    return 1;
  }
}
