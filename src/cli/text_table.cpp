#include "cli/text_table.h"

#include <algorithm>

namespace quorlane::cli {

namespace {

// The width of a UTF-8 text in characters: continuation bytes do not count.
size_t width(const std::string& s) {
  size_t n = 0;
  for (unsigned char c : s) n += (c & 0xC0) != 0x80;
  return n;
}

}  // namespace

TextTable::TextTable(std::vector<std::pair<std::string, Align>> columns)
    : columns_(std::move(columns)) {}

void TextTable::add(std::vector<std::string> row) {
  row.resize(columns_.size());
  rows_.push_back(std::move(row));
}

void TextTable::print(std::ostream& out, const std::string& indent) const {
  std::vector<size_t> widths;
  for (const auto& c : columns_) widths.push_back(width(c.first));
  for (const auto& row : rows_)
    for (size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], width(row[i]));
  std::vector<std::string> heads;
  for (const auto& c : columns_) heads.push_back(c.first);
  print_row(out, indent, heads, widths);
  for (const auto& row : rows_) print_row(out, indent, row, widths);
}

void TextTable::print_row(std::ostream& out, const std::string& indent,
                          const std::vector<std::string>& row,
                          const std::vector<size_t>& widths) const {
  std::string line = indent;
  for (size_t i = 0; i < row.size(); ++i) {
    std::string pad(widths[i] - width(row[i]), ' ');
    bool last = i + 1 == row.size();
    if (columns_[i].second == Align::Right)
      line += pad + row[i];
    else
      line += last ? row[i] : row[i] + pad;
    if (!last) line += "  ";
  }
  while (!line.empty() && line.back() == ' ') line.pop_back();
  out << line << '\n';
}

}  // namespace quorlane::cli
