// A text table for a terminal: columns padded to their widest cell, left or right aligned.
#pragma once

#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace quorlane::cli {

enum class Align { Left, Right };

// Columns padded to their widest cell (counted in characters, not bytes), two blanks apart;
// the last column is not padded.
class TextTable {
 public:
  explicit TextTable(std::vector<std::pair<std::string, Align>> columns);
  // A row; missing cells are empty, extra ones dropped.
  void add(std::vector<std::string> row);
  // The heading row and then every row, each line starting with `indent`.
  void print(std::ostream& out, const std::string& indent) const;

 private:
  void print_row(std::ostream& out, const std::string& indent, const std::vector<std::string>& row,
                 const std::vector<size_t>& widths) const;
  std::vector<std::pair<std::string, Align>> columns_;
  std::vector<std::vector<std::string>> rows_;
};

}  // namespace quorlane::cli
