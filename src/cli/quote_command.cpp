// quorlane quote: the main job. Builds one quote from a JSON quote document through the
// component (header, then each line assigned and admitted, then finalisation when asked) and
// shows what became of it.
#include <iostream>

#include "cli/command.h"
#include "cli/document_input.h"
#include "cli/host_options.h"
#include "cli/progress.h"
#include "cli/quote_report.h"
#include "cli/quote_session.h"
#include "cli/run_control.h"

namespace quorlane::cli {

namespace {

const char* const kQuoteHelp =
    "The quote document (JSON; 'quorlane quote --schema' prints its JSON Schema):\n"
    "  {\"shape\": \"record\",           or \"object\" (cCtEncabezado/cCtDetalle properties)\n"
    "   \"header\": {\"Ct_Fecha\": \"2026-12-05\", \"Mn_Cve_Moneda\": \"MXN\", \"Ct_Tipo_Cambio\": "
    "1,\n"
    "              \"Sucursal\": {\"Sc_Cve_Sucursal\": \"S1\"}, \"Almacen\": {\"Al_Cve_Almacen\": "
    "\"A2\"},\n"
    "              \"Cliente\": {\"Cl_Cve_Cliente\": \"C1\"}, \"Vendedor\": {\"Vn_Cve_Vendedor\": "
    "\"V1\"}},\n"
    "   \"lines\": [{\"Producto\": {\"Pr_Cve_Producto\": \"P3\"}, \"Tl_Cve_Talla\": \"M\", "
    "\"Cl_Cve_Color\": \"BL\",\n"
    "              \"Ct_Cantidad_1\": 12, \"Ct_Unidad_1\": \"PZA\", \"Ct_Precio_Lista\": 350}],\n"
    "   \"promociones\": true, \"finalizar\": true}\n"
    "The document is checked before anything is written: an unknown field, a value of the wrong\n"
    "type or a missing required field is reported with its path and nothing is built.\n"
    "\n"
    "A quote holds at most 32767 lines; a longer document is refused. The quote is finalised\n"
    "only when every line was stored, unless --finalize-partial is given. Ctrl-C (or SIGTERM)\n"
    "finishes the line in progress and reports the quote as stored so far, not finalised.\n"
    "\n"
    "Exit status: 0 every line stored (and the quote finalised when asked), 1 a line refused or\n"
    "a failure, 2 wrong usage or an invalid document, 3 the database cannot be used, 4 the\n"
    "database stayed locked by another process (--busy-timeout), 130/143 stopped by Ctrl-C or\n"
    "SIGTERM.\n"
    "\n"
    "Example:\n"
    "  quorlane quote --db quotes.db examples/demo-quote.json\n"
    "  quorlane quote --db quotes.db --json - < examples/object-quote.json\n"
    "\n";

class QuoteCommand final : public Command {
 public:
  CLI::App* add_to(CLI::App& program) override {
    CLI::App* cmd =
        program.add_subcommand("quote", "build a quote from a JSON quote document (the main job)");
    options_.add_host_options(*cmd);
    options_.add_busy_timeout_option(*cmd);
    cmd->add_flag("--finalize-partial", finalize_partial_,
                  "finalise the quote even when a line was refused");
    cmd->add_flag("--json", json_, "print the result as one JSON object");
    cmd->add_flag("--schema", schema_, "print the JSON Schema of the quote document and exit");
    cmd->add_flag("--check", check_, "check the document and exit: 0 valid, 2 not; writes nothing");
    cmd->add_option("FILE", file_, "the quote document; - for standard input")
        ->type_name("")
        ->check(check_readable);
    cmd->footer(std::string(kQuoteHelp) + kHostEnvironmentHelp);
    return cmd;
  }

  int run() override {
    if (schema_) {
      std::cout << automation::quote_document_schema().dump(2) << "\n";
      return 0;
    }
    if (file_.empty())
      throw UsageError("a quote document is required: FILE, or - for standard input");
    HostSettings settings = quiet_message_log(options_.settings());
    std::string text = read_input(file_);
    automation::QuoteDocument document;
    try {
      document = parse_quote_document(text);
      check_line_limit(document);
    } catch (const automation::InvalidDocument& e) {
      return invalid(e);
    }
    if (check_) return 0;
    require_database(settings);
    QuoteSession session(settings);
    try {
      check_database_usable(session.host());
    } catch (const DatabaseUnusable& e) {
      return report_unusable("quote", e, json_);
    }
    catch_stop_signals();
    // A long document gets a progress bar on a terminal.
    constexpr size_t kProgressLines = 200;
    Progress progress(document.lines.size(), "lines",
                      document.lines.size() >= kProgressLines && Progress::terminal());
    BuildOptions build;
    build.finalize_partial = finalize_partial_;
    build.stop = [] { return stop_signal() != 0; };
    build.on_line = [&](size_t lines, size_t stored) {
      progress.update(lines, std::to_string(stored) + " stored");
    };
    QuoteOutcome outcome = session.build(document, build);
    progress.clear();
    if (json_)
      std::cout << quote_json(outcome).dump(2, ' ', false,
                                            automation::Json::error_handler_t::replace)
                << "\n";
    else
      print_quote(std::cout, outcome);
    if (outcome.stopped == BuildStop::Locked) {
      std::cerr << "quorlane quote: " << locked_message(settings) << "; stopped after line "
                << outcome.lines.size() << " of " << outcome.document_lines << ".\n";
      return kDatabaseLockedStatus;
    }
    if (outcome.stopped == BuildStop::Interrupted) {
      std::cerr << "quorlane quote: interrupted after line " << outcome.lines.size() << " of "
                << outcome.document_lines << "; the quote was not finalised.\n";
      return stopped_status();
    }
    return outcome.ok() ? 0 : 1;
  }

 private:
  int invalid(const automation::InvalidDocument& e) {
    std::cerr << "quorlane quote: " << input_name(file_) << " is not a valid quote document:\n";
    for (const auto& p : e.problems()) std::cerr << "  " << p.text() << "\n";
    std::cerr << "Nothing was written. Run 'quorlane quote --help' for the document's form.\n";
    if (json_) {
      automation::Json problems = automation::Json::array();
      for (const auto& p : e.problems())
        problems.push_back({{"path", p.path}, {"problem", p.problem}});
      std::cout << automation::Json{{"ok", false}, {"invalid", problems}}.dump(2) << "\n";
    }
    return 2;
  }

  HostOptions options_;
  std::string file_;
  bool json_ = false;
  bool schema_ = false;
  bool check_ = false;
  bool finalize_partial_ = false;
};

}  // namespace

std::unique_ptr<Command> make_quote_command() { return std::make_unique<QuoteCommand>(); }

}  // namespace quorlane::cli
