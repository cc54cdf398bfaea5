// quorlane show: a stored quote as the database holds it: the header row with its status,
// amounts and audit columns, the line rows in Ct_ID order and the follow-up history entries.
#include <iostream>

#include "cli/command.h"
#include "cli/document_input.h"
#include "cli/host_options.h"
#include "cli/quote_report.h"
#include "cli/run_control.h"
#include "stored/stored_quote.h"

namespace quorlane::cli {

namespace {

class ShowCommand final : public Command {
 public:
  CLI::App* add_to(CLI::App& program) override {
    CLI::App* cmd = program.add_subcommand("show", "show a stored quote: header, lines, history");
    options_.add_database_option(*cmd);
    cmd->add_flag("--json", json_,
                  "print the quote as one JSON object: every column of its rows as stored");
    cmd->add_option("FOLIO", folio_, "the quote's folio")->required()->type_name("");
    cmd->footer(
        std::string("A quote never finalised is marked so, and shows no totals.\n"
                    "Exit status: 0 shown, 1 no quote has that folio (or it was deleted), 2 wrong "
                    "usage.\n\n"
                    "Example:\n  quorlane show --db quotes.db A0000000001\n"
                    "  quorlane show --db quotes.db --json A0000000001\n\n") +
        kDatabaseEnvironmentHelp);
    return cmd;
  }

  int run() override {
    HostSettings settings = options_.settings();
    require_database(settings);
    std::shared_ptr<StandardHost> host = StandardHost::create(settings);
    std::optional<StoredQuote> quote = read_stored_quote(*host->database(), folio_);
    if (std::string missing = missing_quote(quote, folio_); !missing.empty()) {
      std::cerr << "quorlane show: " << shown_database(settings.database) << ": " << missing
                << "\n";
      return 1;
    }
    if (json_)
      std::cout << stored_quote_json(*quote).dump(2, ' ', false,
                                                  automation::Json::error_handler_t::replace)
                << "\n";
    else
      print_stored_quote(std::cout, *quote);
    return 0;
  }

 private:
  HostOptions options_;
  std::string folio_;
  bool json_ = false;
};

}  // namespace

std::unique_ptr<Command> make_show_command() { return std::make_unique<ShowCommand>(); }

}  // namespace quorlane::cli
