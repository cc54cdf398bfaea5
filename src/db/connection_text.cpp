#include "db/connection_text.h"

#include <strings.h>

#include <cctype>

namespace quorlane::db {

namespace {

constexpr const char* kPasswordKeys[] = {"pwd", "password"};
constexpr const char* kHidden = "***";

bool name_char(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// The length of the password key that starts at `at` with its '=' (blanks around it allowed),
// 0 when none does. A key is a whole word: "OldPwd=" is no password key.
size_t password_key(std::string_view text, size_t at) {
  if (at > 0 && name_char(text[at - 1])) return 0;
  for (const char* key : kPasswordKeys) {
    const size_t length = std::char_traits<char>::length(key);
    if (text.size() - at < length || strncasecmp(text.data() + at, key, length) != 0) continue;
    size_t end = at + length;
    while (end < text.size() && text[end] == ' ') ++end;
    if (end < text.size() && text[end] == '=') return end + 1 - at;
  }
  return 0;
}

// Where the value that starts at `at` ends: at the '}' that closes a value in braces ("}}"
// inside it is a brace of the value), else at the next ';'.
size_t value_end(std::string_view text, size_t at) {
  size_t i = at;
  while (i < text.size() && text[i] == ' ') ++i;
  if (i < text.size() && text[i] == '{') {
    for (++i; i < text.size(); ++i) {
      if (text[i] != '}') continue;
      if (i + 1 < text.size() && text[i + 1] == '}') {
        ++i;
        continue;
      }
      return i + 1;
    }
    return text.size();
  }
  size_t end = text.find(';', at);
  return end == std::string_view::npos ? text.size() : end;
}

}  // namespace

std::string without_passwords(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    if (size_t key = password_key(text, i); key > 0) {
      out.append(text.substr(i, key));
      out += kHidden;
      i = value_end(text, i + key);
    } else {
      out += text[i++];
    }
  }
  return out;
}

}  // namespace quorlane::db
