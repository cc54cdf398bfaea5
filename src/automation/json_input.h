// Reading the JSON that users hand the program: quote documents, import lines and script
// requests. Nothing in such a text is trusted: it is checked to be UTF-8 before it is read, and
// it is read event by event so that a value nested too deeply or a number beyond a double is
// refused while parsing, before a value exists that later code would copy, compare or write out
// recursively.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "automation/json_values.h"

namespace quorlane::automation {

// The deepest nesting of arrays and objects an input may have. Documents and requests nest a
// handful of levels; the bound keeps every recursive walk over a value far from the stack's end.
inline constexpr size_t kMaxJsonDepth = 64;

// Why a text cannot be read: where (the path of the value being read, "lines[0].Ct_Cantidad_1";
// empty for the text as a whole) and what ("number out of range").
class JsonInputError : public std::runtime_error {
 public:
  JsonInputError(std::string path, std::string problem);
  const std::string& path() const { return path_; }
  const std::string& problem() const { return problem_; }

 private:
  std::string path_;
  std::string problem_;
};

// The value `text` holds. JsonInputError when the text is not UTF-8 (UTF-16 and bytes of another
// encoding are named as such, with what to do), is not JSON, nests deeper than kMaxJsonDepth or
// holds a number that no double can hold. Every problem text is UTF-8 itself.
Json parse_json_input(std::string_view text);

// The path of a member: "lines[0]" and "Ct_Cantidad_1" give "lines[0].Ct_Cantidad_1". A key
// that is not a plain name (empty, or with a dot, a blank or a bracket) is written as a JSON
// string, so that the path always names it.
std::string member_path(const std::string& path, const std::string& key);

}  // namespace quorlane::automation
