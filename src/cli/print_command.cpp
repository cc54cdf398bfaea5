// quorlane print: a stored quote as the PDF document a customer receives.
#include <iostream>

#include "cli/command.h"
#include "cli/document_input.h"
#include "cli/host_options.h"
#include "quorlane/print.h"

namespace quorlane::cli {

namespace {

class PrintCommand final : public Command {
 public:
  CLI::App* add_to(CLI::App& program) override {
    CLI::App* cmd = program.add_subcommand("print", "write a stored quote as a PDF document");
    options_.add_database_option(*cmd);
    cmd->add_option("-o,--output", output_, "the PDF file to write (default FOLIO.pdf)")
        ->type_name("FILE");
    cmd->add_option("--paper", paper_, "the paper size: a4 (default) or letter")
        ->type_name("SIZE")
        ->transform(CLI::IsMember({"a4", "letter"}, CLI::ignore_case));
    cmd->add_option("FOLIO", folio_, "the quote's folio")->required()->type_name("");
    cmd->footer(std::string("The file is replaced only once the document is complete.\n"
                            "Exit status: 0 written, 1 no quote has that folio or the file "
                            "cannot be written, 2 wrong usage.\n\n"
                            "Example:\n  quorlane print --db quotes.db A0000000001\n"
                            "  quorlane print --db quotes.db --paper letter -o quote.pdf "
                            "A0000000001\n\n") +
                kDatabaseEnvironmentHelp);
    return cmd;
  }

  int run() override {
    HostSettings settings = options_.settings();
    require_database(settings);
    const std::string output = output_.empty() ? folio_ + ".pdf" : output_;
    PrintOptions options;
    options.paper = paper_ == "letter" ? Paper::Letter : Paper::A4;
    try {
      int pages = quorlane::print_quote(settings.database, folio_, output, options);
      std::cout << "Quote " << folio_ << " written to " << output << " (" << pages
                << (pages == 1 ? " page" : " pages") << ").\n";
      return 0;
    } catch (const PrintError& e) {
      std::cerr << "quorlane print: " << e.what() << "\n";
      return 1;
    }
  }

 private:
  HostOptions options_;
  std::string folio_;
  std::string output_;
  std::string paper_ = "a4";
};

}  // namespace

std::unique_ptr<Command> make_print_command() { return std::make_unique<PrintCommand>(); }

}  // namespace quorlane::cli
