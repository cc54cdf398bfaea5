#include "cli/document_input.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "cli/command.h"

namespace quorlane::cli {

std::string read_input(const std::string& path) {
  std::ostringstream text;
  if (path == "-") {
    text << std::cin.rdbuf();
    return text.str();
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) throw UsageError("cannot read the file '" + path + "'");
  text << in.rdbuf();
  return text.str();
}

std::string input_name(const std::string& path) { return path == "-" ? "stdin" : path; }

std::string check_readable(const std::string& path) {
  if (path == "-" || std::ifstream(path).good()) return "";
  return "cannot read the file '" + path + "'";
}

automation::QuoteDocument parse_quote_document(const std::string& text) {
  automation::Json document;
  try {
    document = automation::Json::parse(text);
  } catch (const automation::Json::parse_error& e) {
    // The library's own prefix ("[json.exception.parse_error.101] ") says nothing to a user.
    std::string what = e.what();
    if (size_t end = what.find("] "); !what.empty() && what.front() == '[' && end != what.npos)
      what.erase(0, end + 2);
    throw automation::InvalidDocument({{"document", "not JSON: " + what}});
  }
  return automation::read_quote_document(document);
}

void require_database(const HostSettings& settings) {
  const std::string& db = settings.database;
  if (db.rfind("odbc:", 0) == 0) return;
  std::error_code ignored;
  if (std::filesystem::exists(db, ignored)) return;
  throw UsageError("there is no database '" + db + "': create it with 'quorlane init --db " + db +
                   "' (add --demo for the demonstration catalogue)");
}

}  // namespace quorlane::cli
