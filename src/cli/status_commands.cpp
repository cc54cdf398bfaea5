// quorlane finalize | authorize | reject | cancel | delete: one status routine of the component
// on a stored quote, by its folio. The five commands differ only in the routine they call, so
// they share this file.
#include <iostream>

#include "cli/command.h"
#include "cli/document_input.h"
#include "cli/host_options.h"
#include "cli/quote_report.h"
#include "cli/quote_session.h"

namespace quorlane::cli {

namespace {

struct StatusCommandInfo {
  const char* name;
  StatusChange change;
  const char* routine;
  const char* done;  // "finalised"
  const char* description;
};

const StatusCommandInfo kStatusCommands[] = {
    {"finalize", StatusChange::Finalize, "Finalizar_Cotizacion", "finalised",
     "finalise a quote: total its lines into the header, write the follow-up entry"},
    {"authorize", StatusChange::Authorize, "Autorizar_Cotizacion", "authorised",
     "authorise an open quote"},
    {"reject", StatusChange::Reject, "Rechazar_Cotizacion", "rejected", "reject an open quote"},
    {"cancel", StatusChange::Cancel, "Cancelar_Cotizacion", "cancelled",
     "cancel a quote that is not cancelled yet"},
    {"delete", StatusChange::Delete, "Eliminar_Cotizacion", "deleted",
     "delete an open quote's lines"},
};

class StatusCommand final : public Command {
 public:
  explicit StatusCommand(const StatusCommandInfo& info) : info_(info) {}

  CLI::App* add_to(CLI::App& program) override {
    CLI::App* cmd = program.add_subcommand(info_.name, info_.description);
    options_.add_host_options(*cmd);
    cmd->add_flag("--json", json_, "print the result as one JSON object");
    cmd->add_option("FOLIO", folio_, "the quote's folio")->required()->type_name("");
    cmd->footer(std::string("Calls ") + info_.routine +
                " of the component with the folio and prints its result and Error.\n"
                "Exit status: 0 " +
                info_.done + ", 1 refused or failed, 2 wrong usage.\n\n" + "Example:\n  quorlane " +
                info_.name + " --db quotes.db A0000000001\n\n" + kHostEnvironmentHelp);
    return cmd;
  }

  int run() override {
    HostSettings settings = quiet_message_log(options_.settings());
    require_database(settings);
    QuoteSession session(settings);
    // The component's answer for a folio without lines is not meant for people (finalisation
    // fails on the missing totals): every command says the same instead.
    StatusOutcome outcome;
    const std::string missing = missing_quote(session.read(folio_), folio_);
    if (!missing.empty()) {
      outcome.error = missing;
      if (!json_) {
        std::cerr << "quorlane " << info_.name << ": " << missing << "\n";
        return 1;
      }
    } else {
      outcome = session.change_status(info_.change, folio_);
    }
    if (json_) {
      automation::Json messages = automation::Json::array();
      for (const HostMessage& m : outcome.messages) messages.push_back(message_json(m));
      automation::Json answer{
          {"ok", outcome.done},
          {"folio", folio_},
          {"routine", info_.routine},
          {"error", outcome.error.empty() ? automation::Json() : automation::Json(outcome.error)},
          {"messages", messages}};
      std::cout << answer.dump(2, ' ', false, automation::Json::error_handler_t::replace) << "\n";
    } else {
      if (outcome.done)
        std::cout << "Quote " << folio_ << " " << info_.done << ".\n";
      else
        std::cout << "Quote " << folio_ << " was not " << info_.done << ": "
                  << indented(outcome.error, "  ") << "\n";
      for (const HostMessage& m : outcome.messages)
        std::cout << "Message: " << indented(message_line(m), "  ") << "\n";
    }
    return outcome.done ? 0 : 1;
  }

 private:
  const StatusCommandInfo& info_;
  HostOptions options_;
  std::string folio_;
  bool json_ = false;
};

}  // namespace

std::vector<std::unique_ptr<Command>> make_status_commands() {
  std::vector<std::unique_ptr<Command>> out;
  for (const StatusCommandInfo& info : kStatusCommands)
    out.push_back(std::make_unique<StatusCommand>(info));
  return out;
}

}  // namespace quorlane::cli
