#include "cli/document_input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "automation/json_input.h"
#include "cli/command.h"

namespace quorlane::cli {

namespace {

// Why `path` cannot be read as a file: "" when it can. A directory opens and reads as nothing
// on some systems, so it is named as such rather than read as an empty document.
std::string unreadable(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY);
  if (fd < 0) return "cannot read the file '" + path + "': " + std::strerror(errno);
  struct stat info {};
  const bool directory = fstat(fd, &info) == 0 && S_ISDIR(info.st_mode);
  close(fd);
  if (directory) return "'" + path + "' is a directory, not a file";
  return "";
}

}  // namespace

std::string read_input(const std::string& path) {
  std::ostringstream text;
  if (path == "-") {
    text << std::cin.rdbuf();
    return text.str();
  }
  if (std::string why = unreadable(path); !why.empty()) throw UsageError(why);
  std::ifstream in(path, std::ios::binary);
  if (!in) throw UsageError("cannot read the file '" + path + "'");
  text << in.rdbuf();
  return text.str();
}

std::string input_name(const std::string& path) { return path == "-" ? "stdin" : path; }

std::string check_readable(const std::string& path) { return path == "-" ? "" : unreadable(path); }

automation::QuoteDocument parse_quote_document(const std::string& text) {
  automation::Json document;
  try {
    document = automation::parse_json_input(text);
  } catch (const automation::JsonInputError& e) {
    throw automation::InvalidDocument({{e.path().empty() ? "document" : e.path(), e.problem()}});
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
