#include "options.h"

#include <CLI/CLI.hpp>

namespace quorlane::bench {

std::optional<int> parse_options(int argc, char** argv, Options& o) {
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
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e);
  }
  return std::nullopt;
}

}  // namespace quorlane::bench
