// The lines the benchmark builds: a mix of the demo catalogue's products, admitted into quotes
// through the component the way a client does.
#pragma once

#include <string>
#include <vector>

#include "measure.h"
#include "quorlane/interfaces.h"

namespace quorlane::bench {

enum class Shape { Record, Object };
const char* shape_name(Shape s);

// What the client sends for a line: a mix of the catalogue's products, with a conversion (CAJ
// to PZA) and fractions (M) among them.
struct LineInput {
  const char* product;
  const char* unit;
  double quantity;
  double price;
};

LineInput line_input(long n);

// Builds quotes line by line the way a client does: a new Cotizacion with its header for every
// quote, then each line assigned (Detalle / Detalle2) and admitted (Add_Cotizacion_Detalle /
// Add_Cotizacion_Detalle2). A line the component refuses stops the benchmark.
class QuoteBuilder {
 public:
  QuoteBuilder(Shape shape, long lines_per_quote) : shape_(shape), per_quote_(lines_per_quote) {}

  void add_line();

  // Closes the quote being built: the next line begins another.
  void end_quote() { quote_ = Ref<_Cotizacion>(); }

  std::string folio() {
    return shape_ == Shape::Record ? quote_->get_Folio() : quote_->get_Folio2();
  }
  const std::vector<std::string>& folios() const { return folios_; }

 private:
  void begin_quote();

  Shape shape_;
  long per_quote_;
  long in_quote_ = 0;
  long count_ = 0;
  Ref<_Cotizacion> quote_;
  std::vector<std::string> folios_;
};

// The time to build `lines` lines.
Timing build_lines(QuoteBuilder& builder, long lines);

}  // namespace quorlane::bench
