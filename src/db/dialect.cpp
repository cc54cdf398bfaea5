#include "db/dialect.h"

#include <strings.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace quorlane::db {

namespace {

bool is_word_char(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '_' ||
         u == '@' || u == '#' || u == '$' || u >= 0x80;
}

bool same_word(std::string_view word, const char* keyword) {
  return word.size() == std::strlen(keyword) && strncasecmp(word.data(), keyword, word.size()) == 0;
}

// Position just past the quoted literal, quoted identifier or comment that starts at `i`, or
// `i` itself when none starts there. A doubled closing character stands for itself.
size_t skip_quoted(std::string_view s, size_t i) {
  if (i >= s.size()) return i;
  char open = s[i];
  char close = open == '[' ? ']' : open;
  if (open == '\'' || open == '"' || open == '[') {
    size_t j = i + 1;
    while (j < s.size()) {
      if (s[j] == close) {
        if (j + 1 < s.size() && s[j + 1] == close) {
          j += 2;
          continue;
        }
        return j + 1;
      }
      ++j;
    }
    return s.size();  // unterminated: the rest is inside it
  }
  if (s.compare(i, 2, "--") == 0) {
    size_t end = s.find('\n', i);
    return end == std::string_view::npos ? s.size() : end + 1;
  }
  if (s.compare(i, 2, "/*") == 0) {
    size_t end = s.find("*/", i + 2);
    return end == std::string_view::npos ? s.size() : end + 2;
  }
  return i;
}

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

bool starts_comment(std::string_view s, size_t i) {
  return s.compare(i, 2, "--") == 0 || s.compare(i, 2, "/*") == 0;
}

// Position of the next significant character at or after `i` (blanks and comments skipped).
size_t next_significant(std::string_view s, size_t i) {
  while (i < s.size()) {
    if (is_blank(s[i])) {
      ++i;
    } else if (starts_comment(s, i)) {
      i = skip_quoted(s, i);
    } else {
      break;
    }
  }
  return i;
}

size_t word_end(std::string_view s, size_t i) {
  while (i < s.size() && is_word_char(s[i])) ++i;
  return i;
}

// Whether the parenthesis at `open` holds exactly two arguments (one comma at its own level).
bool holds_two_arguments(std::string_view s, size_t open) {
  int depth = 0;
  int commas = 0;
  size_t i = open;
  while (i < s.size()) {
    size_t after = skip_quoted(s, i);
    if (after != i) {
      i = after;
      continue;
    }
    char c = s[i];
    if (c == '(') {
      ++depth;
    } else if (c == ')') {
      if (--depth == 0) return commas == 1;
    } else if (c == ',' && depth == 1) {
      ++commas;
    } else if (c == ';') {
      return false;
    }
    ++i;
  }
  return false;
}

// Whether ISNULL or DELETE occurs anywhere in `s`, in any letter case. Every rewrite starts at
// one of the two, so a text holding neither is passed over without being parsed.
bool mentions_keyword(std::string_view s) {
  // For a letter that starts one of the words, the word's second letter in lower case.
  static constexpr std::array<char, 256> kSecond = [] {
    std::array<char, 256> second{};
    second['I'] = second['i'] = 's';
    second['D'] = second['d'] = 'e';
    return second;
  }();
  for (size_t i = 0; i + 6 <= s.size(); ++i) {
    const char second = kSecond[static_cast<unsigned char>(s[i])];
    if (second == 0 || (s[i + 1] | 0x20) != second) continue;
    if (strncasecmp(s.data() + i, "ISNULL", 6) == 0 || strncasecmp(s.data() + i, "DELETE", 6) == 0)
      return true;
  }
  return false;
}

struct Edit {
  size_t pos;
  size_t length;  // of the text replaced
  const char* text;
};

// Whether the literal opening at `quote` is already a national one: N (either case) just before
// it, standing as a word of its own.
bool is_national(std::string_view s, size_t quote) {
  if (quote == 0 || (s[quote - 1] | 0x20) != 'n') return false;
  return quote == 1 || !is_word_char(s[quote - 2]);
}

// `sql` with N before every text literal that lacks it; nothing when none does. A literal right
// after a word (THEN'x') gets a blank before its N, so that the N stays a word of its own.
std::optional<std::string> national_literals(std::string_view sql) {
  if (sql.find('\'') == std::string_view::npos) return std::nullopt;
  std::vector<size_t> quotes;
  size_t i = 0;
  while (i < sql.size()) {
    size_t after = skip_quoted(sql, i);
    if (after == i) {
      ++i;
      continue;
    }
    if (sql[i] == '\'' && !is_national(sql, i)) quotes.push_back(i);
    i = after;
  }
  if (quotes.empty()) return std::nullopt;
  std::string out;
  out.reserve(sql.size() + quotes.size() * 2);
  size_t from = 0;
  for (size_t quote : quotes) {
    out.append(sql.substr(from, quote - from));
    out.append(quote > 0 && is_word_char(sql[quote - 1]) ? " N" : "N");
    from = quote;
  }
  out.append(sql.substr(from));
  return out;
}

}  // namespace

Collation collation_named(std::string_view name) {
  constexpr std::string_view kUtf8 = "_UTF8";
  if (name.size() >= kUtf8.size() &&
      strncasecmp(name.data() + name.size() - kUtf8.size(), kUtf8.data(), kUtf8.size()) == 0)
    return Collation::Utf8;
  return Collation::CodePage;
}

std::optional<std::string> adapted_statement(Engine engine, std::string_view sql,
                                             Collation collation) {
  if (engine == Engine::SqlServer)
    return collation == Collation::CodePage ? national_literals(sql) : std::nullopt;
  if (!mentions_keyword(sql)) return std::nullopt;
  std::vector<Edit> edits;
  bool statement_start = true;
  size_t i = 0;
  while (i < sql.size()) {
    size_t after = skip_quoted(sql, i);
    if (after != i) {
      if (!starts_comment(sql, i)) statement_start = false;
      i = after;
      continue;
    }
    char c = sql[i];
    if (!is_word_char(c)) {
      if (c == ';') {
        statement_start = true;
      } else if (!is_blank(c)) {
        statement_start = false;
      }
      ++i;
      continue;
    }
    size_t end = word_end(sql, i);
    std::string_view word = sql.substr(i, end - i);
    if (statement_start && same_word(word, "DELETE")) {
      // DELETE followed by the table's name rather than FROM.
      size_t next = next_significant(sql, end);
      if (next < sql.size()) {
        char n = sql[next];
        bool names_table = n == '"' || n == '[';
        if (is_word_char(n)) {
          std::string_view target = sql.substr(next, word_end(sql, next) - next);
          names_table = !same_word(target, "FROM") && !same_word(target, "TOP");
        }
        if (names_table) edits.push_back({end, 0, " FROM"});
      }
    } else if (same_word(word, "ISNULL")) {
      size_t next = next_significant(sql, end);
      if (next < sql.size() && sql[next] == '(' && holds_two_arguments(sql, next))
        edits.push_back({i, end - i, "COALESCE"});
    }
    statement_start = false;
    i = end;
  }
  if (edits.empty()) return std::nullopt;
  std::string out;
  out.reserve(sql.size() + edits.size() * 4);
  size_t from = 0;
  for (const Edit& e : edits) {
    out.append(sql.substr(from, e.pos - from));
    out.append(e.text);
    from = e.pos + e.length;
  }
  out.append(sql.substr(from));
  return out;
}

std::string adapt_statement(Engine engine, std::string_view sql, Collation collation) {
  std::optional<std::string> adapted = adapted_statement(engine, sql, collation);
  return adapted ? std::move(*adapted) : std::string(sql);
}

namespace {

bool has_upper(std::string_view s) {
  return std::any_of(s.begin(), s.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
}

// Whether `word` folds to `name` the way PostgreSQL folds an unquoted name (ASCII letters only).
bool folds_to(std::string_view word, std::string_view name) {
  if (word.size() != name.size()) return false;
  for (size_t i = 0; i < word.size(); ++i) {
    char c = word[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != name[i]) return false;
  }
  return true;
}

// The unquoted names written in a statement, and which of them follow AS; the quoted names that
// follow AS, without their quotes.
struct WrittenNames {
  std::vector<std::string_view> words;
  std::vector<std::string_view> aliases;
  std::vector<std::string_view> quoted_aliases;
};

WrittenNames written_names(std::string_view sql) {
  WrittenNames out;
  bool after_as = false;
  size_t i = 0;
  while (i < sql.size()) {
    size_t after = skip_quoted(sql, i);
    if (after != i) {
      if (after_as && sql[i] == '"' && after >= i + 2)
        out.quoted_aliases.push_back(sql.substr(i + 1, after - i - 2));
      if (!starts_comment(sql, i)) after_as = false;
      i = after;
      continue;
    }
    if (!is_word_char(sql[i])) {
      if (!is_blank(sql[i])) after_as = false;
      ++i;
      continue;
    }
    size_t end = word_end(sql, i);
    std::string_view word = sql.substr(i, end - i);
    (after_as ? out.aliases : out.words).push_back(word);
    after_as = same_word(word, "AS");
    i = end;
  }
  return out;
}

}  // namespace

void unfold_column_names(std::string_view sql, std::vector<std::string>& names,
                         const DeclaredNames* declared) {
  if (std::all_of(names.begin(), names.end(), [](const std::string& n) { return has_upper(n); }))
    return;
  const WrittenNames written = written_names(sql);
  auto written_as = [&](const std::vector<std::string_view>& words, const std::string& name) {
    auto found = std::find_if(words.begin(), words.end(),
                              [&](std::string_view w) { return folds_to(w, name); });
    return found != words.end() ? std::optional<std::string>(*found) : std::nullopt;
  };
  for (std::string& name : names) {
    if (has_upper(name)) continue;
    if (std::find(written.quoted_aliases.begin(), written.quoted_aliases.end(), name) !=
        written.quoted_aliases.end())
      continue;
    if (std::optional<std::string> alias = written_as(written.aliases, name)) {
      name = *alias;
      continue;
    }
    if (declared != nullptr) {
      auto found = declared->find(name);
      if (found != declared->end()) {
        name = found->second;
        continue;
      }
    }
    if (std::optional<std::string> word = written_as(written.words, name)) name = *word;
  }
}

}  // namespace quorlane::db
