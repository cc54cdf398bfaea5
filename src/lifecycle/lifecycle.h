// Helpers shared by the lifecycle routines (finalisation, status changes, follow-up history).
#pragma once

#include <span>
#include <string>

#include "frame/error_convention.h"

namespace quorlane {

// The routine's source text, one line break, then `text`: the layout in which finalisation
// reports its own refusals, and in which finalisation and cancellation pass on the text that
// the follow-up history routine left.
inline std::string with_source_line(Routine r, const std::string& text) {
  return std::string(routine_info(r).source) + kCrLf + text;
}

// `value` rounded to `decimals` places, a value exactly half-way going to the even last digit.
// Half-way is judged on the decimal text of `value` with 15 significant digits, so that a total
// such as 0.125 counts as half-way whichever way its binary value lies. A non-finite value is
// returned as it is.
double round_half_even(double value, int decimals);

// Assembles a statement from its pieces into `sql`: a Text piece as it stands, any other through
// `append_value`, which appends the value the piece stands for.
template <class Piece, class AppendValue>
void assemble_statement(std::string& sql, std::span<const Piece> pieces,
                        const AppendValue& append_value) {
  sql.clear();
  for (const Piece& piece : pieces) {
    if (piece.kind == Piece::Text)
      sql += piece.text;
    else
      append_value(piece);
  }
}

}  // namespace quorlane
