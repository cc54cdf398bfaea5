// The measured phases. Each works on sites of its own (fresh SQLite files of `dir`, or the
// database of --db), fills the samples its caller reports and gives its figures as JSON.
#pragma once

#include "measure.h"
#include "options.h"
#include "site.h"

namespace quorlane::bench {

// Lines admitted in each shape, against the floor of the same lines, in turns.
struct ShapeFigures {
  Samples admission_s, floor_s, ratio;              // wall-clock
  Samples admission_cpu_s, floor_cpu_s, cpu_ratio;  // CPU time of the thread
  Samples admission_statements, floor_statements;   // statements sent per line
};

json admission_phase(const Options& o, const WorkDir& dir, ShapeFigures figures[2]);

// Time per line on an empty database and on one holding `o.prefill_rows` rows.
json growth_phase(const Options& o, const WorkDir& dir, Samples& empty_us, Samples& full_us,
                  Samples& empty_cpu_us, Samples& full_cpu_us, Samples& statements);

// Finalising quotes of 10, 1,000 and 10,000 lines; a 1,000-line quote end to end.
json finalisation_phase(const Options& o, const WorkDir& dir, Samples finalise_ms[3],
                        Samples& end_to_end_s, Samples& end_to_end_statements);

struct ThreadsRun {
  double lines_per_s;
  double statements_per_line;
  double cores_used;       // CPU seconds of the process per second: what the machine gave it
  double cpu_us_per_line;  // CPU time of the process per line
};

// Lines per second of `threads` threads, each building its own quotes on its own connection.
ThreadsRun threads_rate(const Options& o, const WorkDir& dir, int threads);

json threads_phase(const Options& o, const WorkDir& dir, Samples& one, Samples& two,
                   Samples& speedup, Samples cores[2], Samples cpu_per_line[2],
                   Samples statements[2]);

// Peak resident memory after 1,000 lines and after `o.memory_lines`. Run first, so that no
// earlier phase has raised the peak.
json memory_phase(const Options& o, const WorkDir& dir, long& after_first_kb, long& after_all_kb,
                  double& statements_per_line);

// Runs one workload of --profile alone, once, and prints its figures.
int profile_workload(const Options& o, const WorkDir& dir);

}  // namespace quorlane::bench
