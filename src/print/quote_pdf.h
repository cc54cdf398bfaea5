// The printed quote's layout: a letterhead with the quote's fields on the first page, the lines
// as a table whose header repeats on every page, the totals (or the mark of a quote that is not
// finalised) after the last line, and "Página N de M" at the foot of each page.
#pragma once

#include <cairo.h>

#include "print/quote_sheet.h"
#include "quorlane/print.h"

namespace quorlane::print {

// Lays `sheet` out on pages of `paper` and writes the PDF through `write` (called with
// `closure`); returns the number of pages. Fails with std::runtime_error when Cairo reports an
// error, a failed write included.
int write_quote_pdf(const QuoteSheet& sheet, Paper paper, cairo_write_func_t write, void* closure);

}  // namespace quorlane::print
