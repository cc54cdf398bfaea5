// Admission against its floor: the same lines built through the component and written bare.
#include <algorithm>

#include "floor.h"
#include "phases.h"
#include "quote_builder.h"

namespace quorlane::bench {

namespace {

constexpr size_t kTurn = 500;  // lines of admission, then of floor, in turn

}  // namespace

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

}  // namespace quorlane::bench
