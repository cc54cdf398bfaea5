// quorlane import: many quotes, one quote document per line of a JSON Lines file. Each is
// built as `quorlane quote` builds it; a bad document or a refused line is reported and the
// import goes on. A progress bar on standard error while it runs, when that is a terminal.
#include <cstdio>
#include <iostream>
#include <sstream>

#include "cli/command.h"
#include "cli/document_input.h"
#include "cli/host_options.h"
#include "cli/progress.h"
#include "cli/quote_report.h"
#include "cli/quote_session.h"
#include "cli/run_control.h"

namespace quorlane::cli {

namespace {

const char* const kImportHelp =
    "Each non-blank line of FILE is one quote document (see 'quorlane quote --help'). A line\n"
    "that is not a valid document is reported with its problems and skipped; a refused line of\n"
    "a quote is reported with its Error. One summary line per quote, then a final summary.\n"
    "\n"
    "With --quiet only the documents with a problem are reported, then the summary, which\n"
    "lists the lines of the documents that did not give a complete quote.\n"
    "\n"
    "A quote is finalised only when every line was stored, unless --finalize-partial is given.\n"
    "Ctrl-C (or SIGTERM) finishes the line in progress, reports the quote it was building and\n"
    "where to resume (--from-line), and stops.\n"
    "\n"
    "Exit status: 0 every document valid and every line stored, 1 otherwise, 2 wrong usage,\n"
    "3 the database cannot be used, 4 the database stayed locked by another process\n"
    "(--busy-timeout), 130/143 stopped by Ctrl-C or SIGTERM.\n"
    "\n"
    "Example:\n"
    "  quorlane import --db quotes.db examples/import.jsonl\n"
    "  quorlane import --db quotes.db --json - < quotes.jsonl > results.jsonl\n"
    "\n";

struct Totals {
  size_t documents = 0;
  size_t quotes = 0;    // built and given a folio
  size_t complete = 0;  // every line stored, finalised when asked
  size_t invalid = 0;
  size_t failed = 0;  // no folio, or a failure of the program itself
  size_t rows = 0;    // rows stored, promotion lines included
  size_t promotion_rows = 0;
  size_t refused = 0;
  std::vector<size_t> failed_lines;  // document lines that gave no complete quote
};

std::string plural(size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

// Where an import stopped early, and how to go on.
struct StopReport {
  BuildStop why = BuildStop::None;
  size_t resume_line = 0;   // the first document line not (fully) imported
  std::string open_folio;   // the quote left open by the document being built, if any
  size_t lines_stored = 0;  // of that quote
  size_t document_lines = 0;
};

class ImportCommand final : public Command {
 public:
  CLI::App* add_to(CLI::App& program) override {
    CLI::App* cmd = program.add_subcommand(
        "import", "build many quotes from a file of quote documents, one per line");
    options_.add_host_options(*cmd);
    options_.add_busy_timeout_option(*cmd);
    cmd->add_option("--from-line", from_line_,
                    "start at this line of FILE (to resume an import that was stopped)")
        ->type_name("N")
        ->check(CLI::PositiveNumber);
    cmd->add_flag("--finalize-partial", finalize_partial_,
                  "finalise a quote even when one of its lines was refused");
    cmd->add_flag("--quiet,-q", quiet_,
                  "report only the documents with a problem, and the summary");
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
        if (n >= from_line_ && line.find_first_not_of(" \t\f\v") != std::string::npos)
          documents.emplace_back(n, std::move(line));
      }
    }
    QuoteSession session(settings);
    try {
      check_database_usable(session.host());
    } catch (const DatabaseUnusable& e) {
      return report_unusable("import", e, json_);
    }
    catch_stop_signals();
    Progress progress(documents.size(), "quotes", Progress::terminal());
    progress.update(0, "0 lines", true);
    BuildOptions build;
    build.finalize_partial = finalize_partial_;
    build.stop = [] { return stop_signal() != 0; };
    Totals totals;
    StopReport stop;
    for (const auto& [number, text] : documents) {
      if (stop_signal() != 0) {
        stop.why = BuildStop::Interrupted;
        stop.resume_line = number;
        break;
      }
      const std::string where = input_name(file_) + ":" + std::to_string(number) + ": ";
      std::ostringstream report;
      ++totals.documents;
      bool problem = true;
      try {
        automation::QuoteDocument document = parse_quote_document(text);
        check_line_limit(document);
        QuoteOutcome outcome = session.build(document, build);
        if (outcome.stopped != BuildStop::None) {
          stop = {outcome.stopped, number, outcome.folio,
                  static_cast<size_t>(outcome.lines_stored()), outcome.document_lines};
          // A document stopped before its first line wrote nothing: it is not counted.
          if (outcome.lines.empty() && outcome.folio.empty()) {
            --totals.documents;
            break;
          }
        }
        count(outcome, totals);
        problem = !outcome.ok();
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
      if (problem) totals.failed_lines.push_back(number);
      progress.clear();
      if (problem || !quiet_ || stop.why != BuildStop::None)
        std::cout << report.str() << std::flush;
      if (stop.why != BuildStop::None) break;
      progress.update(totals.documents, plural(totals.rows, "line", "lines"), true);
    }
    progress.clear();
    if (stop.why != BuildStop::None && !json_) print_stop(stop, settings);
    print_summary(totals, stop, progress.elapsed());
    if (stop.why == BuildStop::Locked) {
      std::cerr << "quorlane import: " << locked_message(settings) << ".\n";
      return kDatabaseLockedStatus;
    }
    if (stop.why == BuildStop::Interrupted) return stopped_status();
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
    out << ": " << o.lines_stored() << " of " << plural(o.document_lines, "line", "lines")
        << " stored";
    if (o.promotion_rows() > 0) out << " (+" << o.promotion_rows() << " promotion)";
    if (o.lines_refused() > 0) out << ", " << o.lines_refused() << " refused";
    if (o.stopped != BuildStop::None) out << ", stopped";
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

  // What the database holds of the document that was being built, and how to go on.
  void print_stop(const StopReport& stop, const HostSettings& settings) const {
    const std::string line = std::to_string(stop.resume_line);
    if (stop.why == BuildStop::Locked)
      std::cout << "Stopped at line " << line << ": " << locked_message(settings) << ".\n";
    else
      std::cout << "Interrupted at line " << line << ".\n";
    if (!stop.open_folio.empty()) {
      std::cout << "  Quote " << stop.open_folio << " of line " << line << " holds "
                << stop.lines_stored << " of " << plural(stop.document_lines, "line", "lines")
                << " and was not finalised: either 'quorlane delete " << stop.open_folio
                << "' and go on with --from-line " << line << ", or 'quorlane finalize "
                << stop.open_folio << "' and go on with --from-line " << stop.resume_line + 1
                << ".\n";
    } else {
      std::cout << "  Go on with --from-line " << line << ".\n";
    }
  }

  void print_summary(const Totals& t, const StopReport& stop, double seconds) const {
    if (json_) {
      automation::Json summary{{"documents", t.documents},
                               {"quotes", t.quotes},
                               {"complete", t.complete},
                               {"invalid", t.invalid},
                               {"failed", t.failed},
                               {"rows", t.rows},
                               {"promotion_rows", t.promotion_rows},
                               {"refused", t.refused},
                               {"failed_lines", t.failed_lines},
                               {"seconds", seconds}};
      summary["stopped"] = stop.why == BuildStop::Interrupted ? automation::Json("interrupted")
                           : stop.why == BuildStop::Locked    ? automation::Json("locked")
                                                              : automation::Json();
      summary["resume_from_line"] =
          stop.why == BuildStop::None ? automation::Json() : automation::Json(stop.resume_line);
      summary["open_quote"] =
          stop.open_folio.empty() ? automation::Json() : automation::Json(stop.open_folio);
      std::cout << automation::Json{{"summary", summary}}.dump() << "\n";
      return;
    }
    char time[32];
    std::snprintf(time, sizeof time, "%.1f s", seconds);
    std::cout << "Imported " << plural(t.documents, "document", "documents") << " in " << time
              << ": " << plural(t.quotes, "quote", "quotes") << " (" << t.complete << " complete), "
              << plural(t.rows, "line", "lines") << " stored (" << t.promotion_rows
              << " promotion), " << plural(t.refused, "line", "lines") << " refused, "
              << plural(t.invalid, "invalid document", "invalid documents");
    if (t.failed > 0) std::cout << ", " << t.failed << " without a quote";
    std::cout << ".\n";
    if (!t.failed_lines.empty()) {
      std::cout << "Lines without a complete quote:";
      for (size_t n : t.failed_lines) std::cout << " " << n;
      std::cout << "\n";
    }
  }

  HostOptions options_;
  std::string file_;
  size_t from_line_ = 1;
  bool finalize_partial_ = false;
  bool quiet_ = false;
  bool json_ = false;
};

}  // namespace

std::unique_ptr<Command> make_import_command() { return std::make_unique<ImportCommand>(); }

}  // namespace quorlane::cli
