// quorlane import: many quotes, one quote document per line of a JSON Lines file. Each is
// built as `quorlane quote` builds it; a bad document or a refused line is reported and the
// import goes on. A progress bar on standard error while it runs, when that is a terminal.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <sstream>

#include "cli/command.h"
#include "cli/document_input.h"
#include "cli/host_options.h"
#include "cli/quote_report.h"
#include "cli/quote_session.h"

namespace quorlane::cli {

namespace {

using Clock = std::chrono::steady_clock;

const char* const kImportHelp =
    "Each non-blank line of FILE is one quote document (see 'quorlane quote --help'). A line\n"
    "that is not a valid document is reported with its problems and skipped; a refused line of\n"
    "a quote is reported with its Error. One summary line per quote, then a final summary.\n"
    "\n"
    "Exit status: 0 every document valid and every line stored, 1 otherwise, 2 wrong usage.\n"
    "\n"
    "Example:\n"
    "  quorlane import --db quotes.db examples/import.jsonl\n"
    "  quorlane import --db quotes.db --json - < quotes.jsonl > results.jsonl\n"
    "\n";

// The progress bar: quotes done, lines stored, rate and time left, redrawn in place at most
// ten times a second. Drawn only when standard error is a terminal.
class Progress {
 public:
  Progress(size_t total, bool shown) : total_(total), shown_(shown), start_(Clock::now()) {}

  void update(size_t done, size_t lines, bool force = false) {
    done_ = done;
    lines_ = lines;
    if (!shown_) return;
    Clock::time_point now = Clock::now();
    if (!force && drawn_ && now - last_ < std::chrono::milliseconds(100)) return;
    last_ = now;
    draw();
  }

  // Clears the bar, so that a line can be written; redraw() puts it back.
  void clear() {
    if (shown_ && drawn_) std::cerr << "\r\033[2K" << std::flush;
    drawn_ = false;
  }
  void redraw() {
    if (shown_) draw();
  }

  double elapsed() const { return std::chrono::duration<double>(Clock::now() - start_).count(); }

 private:
  void draw() {
    constexpr size_t kWidth = 24;
    size_t filled = total_ == 0 ? kWidth : done_ * kWidth / total_;
    double seconds = elapsed();
    double rate = seconds > 0 ? done_ / seconds : 0;
    std::string left = "--:--";
    if (rate > 0) {
      long remaining = static_cast<long>((total_ - done_) / rate + 0.5);
      char buffer[32];
      std::snprintf(buffer, sizeof buffer, "%ld:%02ld", remaining / 60, remaining % 60);
      left = buffer;
    }
    char line[160];
    std::snprintf(line, sizeof line, "%zu/%zu quotes  %zu lines  %.1f quotes/s  %s left", done_,
                  total_, lines_, rate, left.c_str());
    std::cerr << "\r\033[2K[" << std::string(filled, '#') << std::string(kWidth - filled, '-')
              << "] " << line << std::flush;
    drawn_ = true;
  }

  size_t total_;
  bool shown_;
  Clock::time_point start_;
  Clock::time_point last_{};
  size_t done_ = 0;
  size_t lines_ = 0;
  bool drawn_ = false;
};

struct Totals {
  size_t documents = 0;
  size_t quotes = 0;    // built and given a folio
  size_t complete = 0;  // every line stored, finalised when asked
  size_t invalid = 0;
  size_t failed = 0;  // no folio, or a failure of the program itself
  size_t rows = 0;    // rows stored, promotion lines included
  size_t promotion_rows = 0;
  size_t refused = 0;
};

class ImportCommand final : public Command {
 public:
  CLI::App* add_to(CLI::App& program) override {
    CLI::App* cmd = program.add_subcommand(
        "import", "build many quotes from a file of quote documents, one per line");
    options_.add_host_options(*cmd);
    cmd->add_flag("--json", json_,
                  "print one JSON object per document (as 'quote --json', with \"line\"), then a "
                  "summary object");
    cmd->add_option("FILE", file_, "the documents (JSON Lines); - for standard input")
        ->required()
        ->type_name("")
        ->check(check_readable);
    cmd->footer(std::string(kImportHelp) + kHostEnvironmentHelp);
    return cmd;
  }

  int run() override {
    HostSettings settings = quiet_message_log(options_.settings());
    require_database(settings);
    std::vector<std::pair<size_t, std::string>> documents;  // (line number, text)
    {
      std::istringstream in(read_input(file_));
      std::string line;
      for (size_t n = 1; std::getline(in, line); ++n) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find_first_not_of(" \t\f\v") != std::string::npos)
          documents.emplace_back(n, std::move(line));
      }
    }
    QuoteSession session(settings);
    Progress progress(documents.size(), isatty(STDERR_FILENO) == 1);
    progress.update(0, 0, true);
    Totals totals;
    for (const auto& [number, text] : documents) {
      const std::string where = input_name(file_) + ":" + std::to_string(number) + ": ";
      std::ostringstream report;
      ++totals.documents;
      try {
        automation::QuoteDocument document = parse_quote_document(text);
        QuoteOutcome outcome = session.build(document);
        count(outcome, totals);
        if (json_)
          report << json_line(number, quote_json(outcome));
        else
          summarise(report, where, outcome);
      } catch (const automation::InvalidDocument& e) {
        ++totals.invalid;
        if (json_) {
          automation::Json problems = automation::Json::array();
          for (const auto& p : e.problems())
            problems.push_back({{"path", p.path}, {"problem", p.problem}});
          report << json_line(number, {{"ok", false}, {"invalid", problems}});
        } else {
          for (const auto& p : e.problems())
            report << where << "invalid document: " << p.text() << "\n";
        }
      } catch (const std::exception& e) {
        ++totals.failed;
        if (json_)
          report << json_line(number, {{"ok", false}, {"error", e.what()}});
        else
          report << where << "failed: " << indented(e.what(), "  ") << "\n";
      }
      progress.clear();
      std::cout << report.str() << std::flush;
      progress.update(totals.documents, totals.rows, true);
    }
    progress.clear();
    print_summary(totals, progress.elapsed());
    bool all_good =
        totals.invalid == 0 && totals.failed == 0 && totals.complete == totals.documents;
    return all_good ? 0 : 1;
  }

 private:
  static std::string json_line(size_t number, automation::Json body) {
    automation::Json line{{"line", number}};
    for (auto it = body.begin(); it != body.end(); ++it) line[it.key()] = it.value();
    return line.dump(-1, ' ', false, automation::Json::error_handler_t::replace) + "\n";
  }

  static void count(const QuoteOutcome& o, Totals& totals) {
    if (!o.folio.empty())
      ++totals.quotes;
    else
      ++totals.failed;
    if (o.ok()) ++totals.complete;
    totals.rows += o.rows_added();
    totals.promotion_rows += o.promotion_rows();
    totals.refused += o.lines_refused();
  }

  static void summarise(std::ostream& out, const std::string& where, const QuoteOutcome& o) {
    out << where;
    if (o.folio.empty())
      out << "no quote";
    else
      out << "quote " << o.folio;
    out << ": " << o.lines_stored() << " of " << o.lines.size() << " lines stored";
    if (o.promotion_rows() > 0) out << " (+" << o.promotion_rows() << " promotion)";
    if (o.lines_refused() > 0) out << ", " << o.lines_refused() << " refused";
    if (o.finalize_requested) out << (o.finalized ? ", finalised" : ", not finalised");
    out << "\n";
    for (const LineOutcome& line : o.lines) {
      if (line.stored) continue;
      out << where << "  line " << line.position;
      if (!line.product.empty()) out << " (" << line.product << ")";
      out << " refused: " << indented(line.error, "    ") << "\n";
    }
    if (!o.error.empty())
      out << where << "  " << (o.finalize_requested && !o.folio.empty() ? "not finalised: " : "")
          << indented(o.error, "    ") << "\n";
  }

  void print_summary(const Totals& t, double seconds) const {
    if (json_) {
      automation::Json summary{{"documents", t.documents},
                               {"quotes", t.quotes},
                               {"complete", t.complete},
                               {"invalid", t.invalid},
                               {"failed", t.failed},
                               {"rows", t.rows},
                               {"promotion_rows", t.promotion_rows},
                               {"refused", t.refused},
                               {"seconds", seconds}};
      std::cout << automation::Json{{"summary", summary}}.dump() << "\n";
      return;
    }
    char time[32];
    std::snprintf(time, sizeof time, "%.1f s", seconds);
    std::cout << "Imported " << t.documents << " documents in " << time << ": " << t.quotes
              << " quotes (" << t.complete << " complete), " << t.rows << " lines stored ("
              << t.promotion_rows << " promotion), " << t.refused << " lines refused, " << t.invalid
              << " invalid documents";
    if (t.failed > 0) std::cout << ", " << t.failed << " without a quote";
    std::cout << ".\n";
  }

  HostOptions options_;
  std::string file_;
  bool json_ = false;
};

}  // namespace

std::unique_ptr<Command> make_import_command() { return std::make_unique<ImportCommand>(); }

}  // namespace quorlane::cli
