// Memory: the peak resident memory as lines accumulate, quotes alternating between the shapes.
#include <algorithm>

#include "phases.h"
#include "quote_builder.h"

namespace quorlane::bench {

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

}  // namespace quorlane::bench
