#include "automation/json_input.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

namespace quorlane::automation {

namespace {

constexpr const char* kConvert = "convert it to UTF-8";
constexpr const char* kNumberOutOfRange = "number out of range";
constexpr int kNumberOverflow = 406;  // the JSON library's id of a number beyond a double

// The offset of the first byte that is not part of well-formed UTF-8 (no overlong forms, no
// surrogates, nothing beyond U+10FFFF); none when the whole text is.
std::optional<size_t> first_bad_utf8(std::string_view text) {
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  size_t i = 0;
  while (i < n) {
    const unsigned char c = s[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the second byte's range
    if (c >= 0xC2 && c <= 0xDF) {
      length = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
      length = 3;
      if (c == 0xE0) low = 0xA0;
      if (c == 0xED) high = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      length = 4;
      if (c == 0xF0) low = 0x90;
      if (c == 0xF4) high = 0x8F;
    } else {
      return i;
    }
    if (i + length > n || s[i + 1] < low || s[i + 1] > high) return i;
    for (size_t k = 2; k < length; ++k)
      if (s[i + k] < 0x80 || s[i + k] > 0xBF) return i;
    i += length;
  }
  return std::nullopt;
}

// UTF-16 (and UTF-32) text: a byte order mark, or a NUL beside the first characters, which
// JSON text never has.
bool looks_like_utf16(std::string_view text) {
  if (text.size() >= 2 &&
      ((text[0] == '\xFF' && text[1] == '\xFE') || (text[0] == '\xFE' && text[1] == '\xFF')))
    return true;
  const std::string_view start = text.substr(0, 4);
  return text.size() >= 2 && start.find('\0') != std::string_view::npos;
}

void check_encoding(std::string_view text) {
  if (looks_like_utf16(text)) throw JsonInputError("", std::string("UTF-16 text: ") + kConvert);
  if (std::optional<size_t> at = first_bad_utf8(text)) {
    const size_t line = 1 + std::count(text.begin(), text.begin() + *at, '\n');
    const size_t line_start = text.rfind('\n', *at == 0 ? 0 : *at - 1);
    const size_t column =
        line_start == std::string_view::npos || line == 1 ? *at + 1 : *at - line_start;
    char problem[200];
    std::snprintf(problem, sizeof problem,
                  "not UTF-8: byte 0x%02X at line %zu, column %zu (Latin-1 or Windows-1252 "
                  "text?); %s",
                  static_cast<unsigned char>(text[*at]), line, column, kConvert);
    throw JsonInputError("", problem);
  }
}

// The library's message without its own prefix ("[json.exception.parse_error.101] "), which
// says nothing to a user.
std::string library_message(const std::exception& e) {
  std::string what = e.what();
  if (size_t end = what.find("] "); !what.empty() && what.front() == '[' && end != what.npos)
    what.erase(0, end + 2);
  return what;
}

// Builds the value from the parser's events, as the library's own builder does (a repeated key
// keeps its last value), refusing a level deeper than kMaxJsonDepth and keeping the first
// problem with the path of the value it arose in.
class BoundedBuilder {
 public:
  explicit BoundedBuilder(Json& root) : root_(root) {}

  bool null() { return add(Json(nullptr)); }
  bool boolean(bool v) { return add(Json(v)); }
  bool number_integer(Json::number_integer_t v) { return add(Json(v)); }
  bool number_unsigned(Json::number_unsigned_t v) { return add(Json(v)); }
  bool number_float(Json::number_float_t v, const Json::string_t&) { return add(Json(v)); }
  bool string(Json::string_t& v) { return add(Json(std::move(v))); }
  bool binary(Json::binary_t& v) { return add(Json(Json::binary_t(std::move(v)))); }
  bool start_object(std::size_t) { return open(Json::object()); }
  bool start_array(std::size_t) { return open(Json::array()); }
  bool key(Json::string_t& k) {
    frames_.back().key = std::move(k);
    return true;
  }
  bool end_object() { return close(); }
  bool end_array() { return close(); }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& e) {
    if (e.id == kNumberOverflow)
      fail(path(), kNumberOutOfRange);
    else
      fail("", "not JSON: " + library_message(e));
    return false;
  }

  const std::optional<JsonInputError>& problem() const { return problem_; }

 private:
  struct Frame {
    Json* value;
    std::string key;  // the member being read, in an object
  };

  Json* place(Json&& v) {
    if (frames_.empty()) {
      root_ = std::move(v);
      return &root_;
    }
    Frame& top = frames_.back();
    if (top.value->is_array()) {
      top.value->push_back(std::move(v));
      return &top.value->back();
    }
    Json& slot = (*top.value)[top.key];
    slot = std::move(v);
    return &slot;
  }
  bool add(Json&& v) {
    place(std::move(v));
    return true;
  }
  bool open(Json&& container) {
    if (frames_.size() >= kMaxJsonDepth) {
      fail("", "nested more than " + std::to_string(kMaxJsonDepth) + " levels deep");
      return false;
    }
    frames_.push_back({place(std::move(container)), {}});
    return true;
  }
  bool close() {
    frames_.pop_back();
    return true;
  }

  // The path of the value being read: each open array's element, each open object's member.
  std::string path() const {
    std::string out;
    for (size_t i = 0; i < frames_.size(); ++i) {
      const Frame& f = frames_[i];
      if (f.value->is_array()) {
        // An outer array already holds the element being read; the innermost not yet.
        size_t index = f.value->size() - (i + 1 < frames_.size() ? 1 : 0);
        out += "[" + std::to_string(index) + "]";
      } else {
        out = member_path(out, f.key);
      }
    }
    return out;
  }

  void fail(std::string where, std::string problem) {
    if (!problem_) problem_.emplace(std::move(where), std::move(problem));
  }

  Json& root_;
  std::vector<Frame> frames_;
  std::optional<JsonInputError> problem_;
};

}  // namespace

JsonInputError::JsonInputError(std::string path, std::string problem)
    : std::runtime_error(path.empty() ? problem : path + ": " + problem),
      path_(std::move(path)),
      problem_(std::move(problem)) {}

Json parse_json_input(std::string_view text) {
  check_encoding(text);
  Json value;
  BoundedBuilder builder(value);
  if (!Json::sax_parse(text.begin(), text.end(), &builder)) {
    if (builder.problem()) throw *builder.problem();
    throw JsonInputError("", "not JSON");
  }
  return value;
}

std::string member_path(const std::string& path, const std::string& key) {
  const bool plain = !key.empty() && std::all_of(key.begin(), key.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
  });
  const std::string name =
      plain ? key : Json(key).dump(-1, ' ', false, Json::error_handler_t::replace);
  return path.empty() ? name : path + "." + name;
}

}  // namespace quorlane::automation
