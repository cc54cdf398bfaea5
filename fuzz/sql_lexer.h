// A small lexer of statement texts for the fuzz targets' checks: it finds the quoted literals of
// a text the way SQL reads them ('...' with a doubled apostrophe standing for one), passing over
// comments (-- to the end of the line, /* ... */) and quoted identifiers ("..." and [...]). A
// literal or comment left open runs to the end of the text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quorlane::fuzz {

struct Literal {
  std::string raw;    // as written between the apostrophes, doubled apostrophes included
  std::string value;  // what it stands for
  bool closed = true;
};

inline std::vector<Literal> quoted_literals(std::string_view s) {
  std::vector<Literal> out;
  size_t i = 0;
  while (i < s.size()) {
    const char c = s[i];
    if (c == '\'') {
      Literal lit;
      size_t j = i + 1;
      lit.closed = false;
      while (j < s.size()) {
        if (s[j] == '\'') {
          if (j + 1 < s.size() && s[j + 1] == '\'') {
            lit.raw += "''";
            lit.value += '\'';
            j += 2;
            continue;
          }
          lit.closed = true;
          ++j;
          break;
        }
        lit.raw += s[j];
        lit.value += s[j];
        ++j;
      }
      out.push_back(std::move(lit));
      i = j;
    } else if (c == '"' || c == '[') {
      const char close = c == '[' ? ']' : '"';
      size_t j = i + 1;
      while (j < s.size()) {
        if (s[j] == close) {
          if (j + 1 < s.size() && s[j + 1] == close) {
            j += 2;
            continue;
          }
          ++j;
          break;
        }
        ++j;
      }
      i = j;
    } else if (s.compare(i, 2, "--") == 0) {
      size_t end = s.find('\n', i);
      i = end == std::string_view::npos ? s.size() : end + 1;
    } else if (s.compare(i, 2, "/*") == 0) {
      size_t end = s.find("*/", i + 2);
      i = end == std::string_view::npos ? s.size() : end + 2;
    } else {
      ++i;
    }
  }
  return out;
}

inline bool operator==(const Literal& a, const Literal& b) {
  return a.raw == b.raw && a.closed == b.closed;
}

}  // namespace quorlane::fuzz
