#include "cli/document_input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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
  if (path == "-") {
    std::ostringstream text;
    text << std::cin.rdbuf();
    return text.str();
  }
  if (std::string why = unreadable(path); !why.empty()) throw UsageError(why);
  // Read in one piece at the file's size: a stream that grows as it reads copies a large file
  // over and over.
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) throw UsageError("cannot read the file '" + path + "'");
  std::string text(static_cast<size_t>(std::max<std::streamoff>(in.tellg(), 0)), '\0');
  in.seekg(0);
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<size_t>(in.gcount()));
  if (in.peek() != std::char_traits<char>::eof()) {  // it grew meanwhile: the rest as well
    std::ostringstream rest;
    rest << in.rdbuf();
    text += rest.str();
  }
  return text;
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
