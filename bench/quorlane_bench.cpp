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
// Each phase has a file of its own (*_phase.cpp); the lines come from quote_builder.cpp, the
// floor's writes from floor.cpp, the databases from site.cpp, the figures from measure.cpp and
// report.cpp.
//
// Every phase works on a fresh SQLite file of a temporary directory, or on the database that
// --db names (a SQLite path or "odbc:" and a connection string); such a database should be one
// kept for the benchmark, since the lines built stay in it.
#include <sqlite3.h>

#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "measure.h"
#include "options.h"
#include "phases.h"
#include "program_phase.h"
#include "quote_builder.h"
#include "report.h"
#include "site.h"

namespace quorlane::bench {

namespace {

int run(int argc, char** argv) {
  Options o;
  if (std::optional<int> exit_code = parse_options(argc, argv, o)) return *exit_code;

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