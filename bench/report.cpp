#include "report.h"

#include <sstream>

namespace quorlane::bench {

std::string fixed(double v, int decimals) {
  std::ostringstream s;
  s.setf(std::ios::fixed);
  s.precision(decimals);
  s << v;
  return s.str();
}

std::string spread(const Samples& s, int decimals) {
  if (s.values.size() < 2) return fixed(s.median(), decimals);
  return fixed(s.median(), decimals) + " (" + fixed(s.min(), decimals) + "–" +
         fixed(s.max(), decimals) + ")";
}

void row(std::ostream& out, const std::string& what, const std::string& value) {
  out << "| " << what << " | " << value << " |\n";
}

}  // namespace quorlane::bench
