// Finalisation: quotes of 10, 1,000 and 10,000 lines totalled, and one built end to end.
#include "phases.h"
#include "quote_builder.h"

namespace quorlane::bench {

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

}  // namespace quorlane::bench
