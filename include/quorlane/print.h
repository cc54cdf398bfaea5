// Quorlane printing: a stored quote as the PDF document a customer receives.
// Include this header and link Quorlane::quorlane_print (which brings Quorlane::quorlane). The
// PDF and text-layout stack (Cairo, Pango, fontconfig) is linked into quorlane_print alone, so
// a program that only builds quotes never loads it.
#pragma once

#include <stdexcept>
#include <string>

namespace quorlane {

enum class Paper { A4, Letter };

struct PrintOptions {
  Paper paper = Paper::A4;
};

// Why a quote could not be printed.
class PrintError : public std::runtime_error {
 public:
  enum class Reason {
    NoQuote,   // no quote has that folio: unknown, or deleted (its lines are gone)
    Database,  // the database could not be opened or read
    Output,    // the file could not be written
  };
  PrintError(Reason reason, const std::string& message)
      : std::runtime_error(message), reason_(reason) {}
  Reason reason() const { return reason_; }

 private:
  Reason reason_;
};

// Writes the quote `folio` of `database` as a PDF document to `path`, and returns its number
// of pages.
//
// `database` is the database setting as the standard host takes it: a SQLite file path, or
// "odbc:" followed by an ODBC connection string. The quote is read with a connection of its
// own, opened for this call and closed before it returns, so that the caller's host and its
// connections are left alone; nothing is written to the database. A SQLite file that does not
// exist is a Database error (it is not created).
//
// The document is written to a temporary file beside `path` and renamed to `path` only once it
// is complete: on any failure `path` is left as it was and the temporary file is removed.
// Fails with PrintError; the message names the folio or the file and says what went wrong.
int print_quote(const std::string& database, const std::string& folio, const std::string& path,
                const PrintOptions& options = {});

}  // namespace quorlane
