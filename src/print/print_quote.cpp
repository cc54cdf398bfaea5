// The printing entry point: reads the stored quote, lays it out and writes the PDF to a
// temporary file beside the target, which replaces the target only once it is complete.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>

#include "host/sql/standard_host.h"
#include "print/quote_pdf.h"
#include "print/quote_sheet.h"
#include "quorlane/print.h"
#include "stored/stored_quote.h"

namespace quorlane {

namespace {

constexpr const char* kOdbcPrefix = "odbc:";

std::string cannot_write(const std::string& path, int error) {
  return "cannot write '" + path + "': " + std::strerror(error);
}

// A new file beside `target` (in its directory, hidden, named after it), removed on
// destruction unless it has been renamed to the target.
class TemporaryFile {
 public:
  explicit TemporaryFile(const std::string& target) : target_(target) {
    const std::filesystem::path t(target);
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
      char suffix[16];
      std::snprintf(suffix, sizeof suffix, ".%08x", static_cast<unsigned>(random()));
      path_ = (t.parent_path() / ("." + t.filename().string() + suffix)).string();
      fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd_ >= 0 || errno != EEXIST) break;
    }
    if (fd_ < 0) throw PrintError(PrintError::Reason::Output, cannot_write(target_, errno));
  }
  ~TemporaryFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!kept_) ::unlink(path_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  // Cairo's output: every byte to the file, the first error kept for the message.
  static cairo_status_t write(void* closure, const unsigned char* data, unsigned int length) {
    auto* file = static_cast<TemporaryFile*>(closure);
    while (length > 0) {
      ssize_t n = ::write(file->fd_, data, length);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        file->error_ = n < 0 ? errno : ENOSPC;
        return CAIRO_STATUS_WRITE_ERROR;
      }
      data += n;
      length -= static_cast<unsigned int>(n);
    }
    return CAIRO_STATUS_SUCCESS;
  }

  int error() const { return error_; }

  // Makes the written file the target.
  void commit() {
    int fd = fd_;
    fd_ = -1;
    if (::fsync(fd) != 0 || ::close(fd) != 0 || ::rename(path_.c_str(), target_.c_str()) != 0)
      throw PrintError(PrintError::Reason::Output, cannot_write(target_, errno));
    kept_ = true;
  }

 private:
  std::string target_;
  std::string path_;
  int fd_ = -1;
  int error_ = 0;
  bool kept_ = false;
};

print::QuoteSheet read_sheet(const std::string& database, const std::string& folio) {
  std::error_code ignored;
  if (database.rfind(kOdbcPrefix, 0) != 0 && !std::filesystem::exists(database, ignored))
    throw PrintError(PrintError::Reason::Database, "there is no database '" + database + "'");
  std::optional<StoredQuote> quote;
  std::optional<print::QuoteSheet> sheet;
  try {
    HostSettings settings;
    settings.database = database;
    settings.message_log = "none";
    std::shared_ptr<StandardHost> host = StandardHost::create(settings);
    std::shared_ptr<db::Database> connection = host->database();
    quote = read_stored_quote(*connection, folio);
    // Deleting a quote removes its lines and keeps its header row: no lines, no quote.
    if (quote && !quote->lines.rows.empty()) sheet = print::make_quote_sheet(*connection, *quote);
  } catch (const std::exception& e) {
    throw PrintError(PrintError::Reason::Database, e.what());
  }
  if (!quote) throw PrintError(PrintError::Reason::NoQuote, "no quote with folio " + folio);
  if (!sheet)
    throw PrintError(PrintError::Reason::NoQuote,
                     "no quote with folio " + folio + ": the quote was deleted");
  return std::move(*sheet);
}

}  // namespace

int print_quote(const std::string& database, const std::string& folio, const std::string& path,
                const PrintOptions& options) {
  const print::QuoteSheet sheet = read_sheet(database, folio);
  TemporaryFile file(path);
  int pages;
  try {
    pages = print::write_quote_pdf(sheet, options.paper, &TemporaryFile::write, &file);
  } catch (const std::exception& e) {
    throw PrintError(PrintError::Reason::Output,
                     file.error() ? cannot_write(path, file.error()) : e.what());
  }
  file.commit();
  return pages;
}

}  // namespace quorlane
