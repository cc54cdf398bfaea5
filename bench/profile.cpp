// One workload alone, for a profiler: the floor's texts are recorded first, outside the
// profiled part only in time (a profiler sees the recording pass as well).
#include <iostream>

#include "floor.h"
#include "phases.h"
#include "quote_builder.h"
#include "report.h"

namespace quorlane::bench {

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

}  // namespace quorlane::bench
