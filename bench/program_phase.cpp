#include "program_phase.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "automation/quote_document.h"
#include "db/database.h"
#include "frame/publico.h"
#include "host/sql/standard_host.h"
#include "quorlane/interfaces.h"

namespace quorlane::bench {

namespace {

using nlohmann::json;
namespace fs = std::filesystem;

// The demonstration quote's header and its three lines, the second of which earns a promotion,
// repeated until the document has `lines` lines.
json demo_document(long lines) {
  json header = {{"Ct_Fecha", "2026-12-05"},
                 {"Ct_Referencia", "BENCH"},
                 {"Mn_Cve_Moneda", "MXN"},
                 {"Ct_Tipo_Cambio", 1},
                 {"Sucursal", {{"Sc_Cve_Sucursal", "S1"}}},
                 {"Almacen", {{"Sc_Cve_Sucursal", "S1"}, {"Al_Cve_Almacen", "A2"}}},
                 {"Cliente", {{"Cl_Cve_Cliente", "C1"}}},
                 {"Vendedor", {{"Vn_Cve_Vendedor", "V1"}}}};
  const json kinds[3] = {{{"Producto", {{"Pr_Cve_Producto", "P3"}}},
                          {"Tl_Cve_Talla", "M"},
                          {"Cl_Cve_Color", "BL"},
                          {"Ct_Cantidad_1", 12},
                          {"Ct_Unidad_1", "PZA"},
                          {"Ct_Precio_Lista", 350}},
                         {{"Producto", {{"Pr_Cve_Producto", "P3"}}},
                          {"Tl_Cve_Talla", "G"},
                          {"Cl_Cve_Color", "AZ"},
                          {"Ct_Cantidad_1", 3},
                          {"Ct_Unidad_1", "PZA"},
                          {"Ct_Precio_Lista", 380},
                          {"Ct_Descuento_Factor", 0.1}},
                         {{"Producto", {{"Pr_Cve_Producto", "P4"}}},
                          {"Tl_Cve_Talla", "U"},
                          {"Cl_Cve_Color", "NG"},
                          {"Ct_Cantidad_1", 2},
                          {"Ct_Unidad_1", "PZA"},
                          {"Ct_Precio_Lista", 120}}};
  json line_list = json::array();
  for (long i = 0; i < lines; ++i) line_list.push_back(kinds[i % 3]);
  return {{"shape", "record"},
          {"header", header},
          {"lines", line_list},
          {"promociones", true},
          {"finalizar", true}};
}

struct Times {
  double wall = 0;
  double cpu = 0;
};

double seconds(const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; }

// Runs the program with these arguments, its output discarded; its wall and CPU time.
Times run_program(const std::vector<std::string>& args) {
  auto start = std::chrono::steady_clock::now();
  pid_t child = fork();
  if (child < 0) throw std::runtime_error("cannot start the program");
  if (child == 0) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    if (std::freopen("/dev/null", "w", stdout) == nullptr) _exit(127);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  Times t;
  t.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  t.cpu = seconds(usage.ru_utime) + seconds(usage.ru_stime);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    throw std::runtime_error("the program did not build the quote: " + args[1] + " exit status " +
                             std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1));
  return t;
}

double process_cpu() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The component builds and finalises the document's quote in this process, on the standard
// host over `database`: the same calls the program makes, without the program around them.
Times run_library(const json& document, const std::string& database) {
  automation::QuoteDocument doc = automation::read_quote_document(document);
  HostSettings settings;
  settings.database = database;
  settings.message_log = "none";
  std::shared_ptr<StandardHost> host = StandardHost::create(settings);
  host->database();  // opened before the clock starts, as the program's is
  install_host_factory(host->factory());
  reset_thread_state();
  auto start = std::chrono::steady_clock::now();
  double cpu_start = process_cpu();
  Ref<_Cotizacion> quote = create_Cotizacion();
  quote->Nuevo();
  quote->put_Agregar_Promociones(doc.promociones);
  quote->put_Encabezado(automation::header_record(doc.header));
  for (size_t i = 0; i < doc.lines.size(); ++i) {
    // The program numbers a line without Ct_Partida by its place in the document.
    tCtDetalle line = automation::line_record(doc.lines[i]);
    line.Ct_Partida = std::to_string(i + 1);
    quote->put_Detalle(line);
    if (!quote->Add_Cotizacion_Detalle())
      throw std::runtime_error("line refused: " + quote->get_Error());
  }
  std::string folio = quote->get_Folio();
  if (!quote->Finalizar_Cotizacion(folio))
    throw std::runtime_error("not finalised: " + quote->get_Error());
  Times t;
  t.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  t.cpu = process_cpu() - cpu_start;
  quote = Ref<_Cotizacion>();
  reset_thread_state();
  install_host_factory(nullptr);
  return t;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  size_t n = v.size();
  return n == 0 ? 0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

std::string spread(const std::vector<double>& v) {
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, "%.3f (%.3f–%.3f)", median(v),
                *std::min_element(v.begin(), v.end()), *std::max_element(v.begin(), v.end()));
  return buffer;
}

void remove_database(const fs::path& file) {
  std::error_code ignored;
  for (const char* suffix : {"", "-wal", "-shm"})
    fs::remove(fs::path(file.string() + suffix), ignored);
}

}  // namespace

ProgramPhase program_phase(int repeat, const std::string& directory) {
  const fs::path dir(directory);
  const fs::path catalogue = dir / "program-catalogue.db";
  const fs::path run_db = dir / "program-run.db";
  {
    // A database with the demonstration catalogue, written back into one file to be copied.
    HostSettings settings;
    settings.database = catalogue.string();
    std::shared_ptr<StandardHost> host = StandardHost::create(settings);
    load_demo_catalogue(*host->connection());
    host->database()->run("PRAGMA wal_checkpoint(TRUNCATE)");
  }

  ProgramPhase phase;
  struct Figures {
    std::vector<double> wall, cpu, library_wall, library_cpu;
  };
  const long sizes[2] = {1000, 10000};
  Figures figures[2];
  for (int s = 0; s < 2; ++s) {
    const json document = demo_document(sizes[s]);
    const fs::path file = dir / ("program-" + std::to_string(sizes[s]) + ".json");
    std::ofstream(file) << document.dump();
    for (int r = 0; r < repeat; ++r) {
      remove_database(run_db);
      fs::copy_file(catalogue, run_db);
      Times program = run_program({QUORLANE_PROGRAM, "quote", "--db", run_db.string(), "--operator",
                                   "BENCH", file.string()});
      figures[s].wall.push_back(program.wall);
      figures[s].cpu.push_back(program.cpu);
      remove_database(run_db);
      fs::copy_file(catalogue, run_db);
      Times library = run_library(document, run_db.string());
      figures[s].library_wall.push_back(library.wall);
      figures[s].library_cpu.push_back(library.cpu);
    }
    fs::remove(file);
    const std::string n = s == 0 ? "1,000" : "10,000";
    phase.rows.push_back(
        {"program, " + n + "-line quote with promotions, finalised: s", spread(figures[s].wall)});
    phase.rows.push_back({"program, " + n + "-line quote: CPU s", spread(figures[s].cpu)});
    phase.rows.push_back(
        {"component alone, same " + n + " lines: s", spread(figures[s].library_wall)});
    phase.rows.push_back(
        {"component alone, same " + n + " lines: CPU s", spread(figures[s].library_cpu)});
    phase.result[std::to_string(sizes[s])] = {{"program_s", figures[s].wall},
                                              {"program_cpu_s", figures[s].cpu},
                                              {"library_s", figures[s].library_wall},
                                              {"library_cpu_s", figures[s].library_cpu}};
  }
  remove_database(run_db);
  remove_database(catalogue);

  phase.targets.push_back({"program: 10,000-line quote / 1,000-line quote",
                           median(figures[1].wall) / median(figures[0].wall), 10});
  // On a busy machine the wall times wander; the CPU times show the shape of the work.
  phase.targets.push_back({"program: 10,000-line quote / 1,000-line quote, CPU",
                           median(figures[1].cpu) / median(figures[0].cpu), 10});
  phase.targets.push_back({"program / component alone, 1,000 lines",
                           median(figures[0].wall) / median(figures[0].library_wall), 2});
  phase.targets.push_back({"program / component alone, 1,000 lines, CPU",
                           median(figures[0].cpu) / median(figures[0].library_cpu), 2});
  return phase;
}

}  // namespace quorlane::bench
