// Reading what the commands are given: files or standard input, quote documents, and the
// database they work on.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

#include "automation/quote_document.h"
#include "host/sql/standard_host.h"

namespace quorlane::cli {

// The whole of a file, or of standard input for "-". A file that cannot be read is a
// UsageError.
std::string read_input(const std::string& path);

// The name of an input in messages: the path, or "stdin" for "-".
std::string input_name(const std::string& path);

// A parser check: "-" or a file that can be read.
std::string check_readable(const std::string& path);

// A quote document from its JSON text; InvalidDocument when it is not JSON (the problem's path
// is "document") or does not fit its shape.
automation::QuoteDocument parse_quote_document(const std::string& text);

// The commands that work on quotes need a database that exists: a SQLite file that does not
// is a UsageError that says how to create it (opening would create an empty one).
void require_database(const HostSettings& settings);

}  // namespace quorlane::cli
