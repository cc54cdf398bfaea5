// quorlane script: the JSON automation interface. Reads requests, one JSON object per line,
// from FILE or standard input and answers each on standard output.
#include <fstream>
#include <iostream>

#include "automation/script_runner.h"
#include "cli/command.h"
#include "cli/document_input.h"
#include "cli/host_options.h"
#include "cli/standard_script_host.h"

namespace quorlane::cli {

namespace {

const char* const kScriptHelp =
    "Requests (one JSON object per line; each gets one JSON answer line):\n"
    "  {\"op\":\"create\",\"class\":C,\"name\":N}    C: Cotizacion, cCtEncabezado or cCtDetalle\n"
    "  {\"op\":\"get\",\"target\":N,\"member\":M,\"name\":N2}   \"name\" names an object returned\n"
    "  {\"op\":\"let\",\"target\":N,\"member\":M,\"value\":V}\n"
    "  {\"op\":\"set\",\"target\":N,\"member\":M,\"object\":N2}\n"
    "  {\"op\":\"call\",\"target\":N,\"member\":M,\"args\":[...]}\n"
    "  {\"op\":\"release\",\"name\":N}\n"
    "  {\"op\":\"host\",\"server_id\":ID,\"remote\":B,\"operator\":NAME,\"clock\":DATE-TIME|null}\n"
    "  {\"op\":\"sql\",\"text\":T}              T run directly on the database; answers its rows\n"
    "  {\"op\":\"calls\"}                       the host calls since the last calls request\n"
    "  {\"op\":\"fail\",\"service\":S,\"operation\":O,\"nth\":K,\"description\":D}   S, O may be "
    "\"*\"\n"
    "  {\"op\":\"answer\",\"service\":S,\"operation\":O,\"nth\":K,\"value\":V}\n"
    "\n"
    "Answers: {\"ok\":true} with \"value\", \"rows\" or \"calls\"; "
    "{\"ok\":false,\"kind\":\"failure\",\"error\":D}\n"
    "when the component reports a failure; {\"ok\":false,\"kind\":\"request\",\"error\":D} when "
    "the\n"
    "request cannot be carried out. \"messages\" lists the messages the component sent meanwhile.\n"
    "A host request makes the component start up again on its next use, reading the new\n"
    "settings; objects created before it keep working. The program exits 0 at the end of its\n"
    "input, whatever the answers.\n"
    "\n"
    "Example:\n"
    "  quorlane script --db quotes.db --server-id S1 --clock 2026-12-05T10:30:00 requests.jsonl\n"
    "  echo '{\"op\":\"create\",\"class\":\"Cotizacion\",\"name\":\"q\"}' | quorlane script --db "
    "quotes.db\n"
    "\n";

class ScriptCommand final : public Command {
 public:
  CLI::App* add_to(CLI::App& program) override {
    CLI::App* cmd = program.add_subcommand(
        "script", "drive the component with JSON requests, one per line (automation interface)");
    options_.add_host_options(*cmd);
    cmd->add_option("FILE", file_, "the requests; standard input when left out or -")
        ->type_name("")
        ->check(check_readable);
    cmd->footer(std::string(kScriptHelp) + kHostEnvironmentHelp);
    return cmd;
  }

  int run() override {
    HostSettings settings = options_.settings();
    auto host = std::make_shared<StandardScriptHost>(StandardHost::create(settings));
    automation::ScriptRunner runner(host);
    if (file_.empty() || file_ == "-") {
      runner.run(std::cin, std::cout);
    } else {
      std::ifstream in(file_);
      if (!in) throw UsageError("cannot read the file '" + file_ + "'");
      runner.run(in, std::cout);
    }
    return 0;
  }

 private:
  HostOptions options_;
  std::string file_;
};

}  // namespace

std::unique_ptr<Command> make_script_command() { return std::make_unique<ScriptCommand>(); }

}  // namespace quorlane::cli
