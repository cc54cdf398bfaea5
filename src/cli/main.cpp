// The quorlane program: builds and manages sales quotes, sets up the database, and offers the
// JSON automation interface. Each command is in its own file (see command.h).
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/command.h"

namespace {

constexpr int kUsageStatus = 2;

void usage_error(const std::string& command, const std::string& message) {
  std::string program = command.empty() ? "quorlane" : "quorlane " + command;
  std::cerr << program << ": " << message << "\n"
            << "Run '" << program << " --help' for more information.\n";
}

}  // namespace

int main(int argc, char** argv) {
  using namespace quorlane::cli;

  CLI::App program("quorlane " QUORLANE_VERSION " - builds and manages sales quotes", "quorlane");
  program.set_version_flag("--version", "quorlane " QUORLANE_VERSION);
  program.require_subcommand(1);
  program.footer(
      "Example:\n"
      "  quorlane init --db quotes.db --demo\n"
      "  quorlane quote --db quotes.db examples/demo-quote.json\n"
      "  quorlane show --db quotes.db A0000000001\n"
      "  quorlane script --db quotes.db requests.jsonl\n"
      "\n"
      "Run 'quorlane COMMAND --help' for the options and an example of each command.");

  std::vector<std::unique_ptr<Command>> commands;
  commands.push_back(make_quote_command());
  commands.push_back(make_import_command());
  commands.push_back(make_show_command());
  commands.push_back(make_print_command());
  for (auto& status : make_status_commands()) commands.push_back(std::move(status));
  commands.push_back(make_init_command());
  commands.push_back(make_script_command());
  std::vector<CLI::App*> subcommands;
  for (auto& command : commands) subcommands.push_back(command->add_to(program));

  // An unknown command is named as such rather than as an unexpected argument.
  if (argc > 1 && argv[1][0] != '-') {
    bool known = false;
    for (CLI::App* sub : subcommands) known = known || sub->get_name() == argv[1];
    if (!known) {
      usage_error("", std::string("unknown command '") + argv[1] + "'");
      return kUsageStatus;
    }
  }

  try {
    program.parse(argc, argv);
  } catch (const CLI::Success& e) {
    return program.exit(e);  // --help, --version
  } catch (const CLI::ParseError& e) {
    std::string command;
    for (CLI::App* sub : subcommands)
      if (sub->parsed()) command = sub->get_name();
    std::string message = e.what();
    if (message == "A subcommand is required") message = "a command is required";
    usage_error(command, message);
    return kUsageStatus;
  }

  for (size_t i = 0; i < commands.size(); ++i) {
    if (!subcommands[i]->parsed()) continue;
    try {
      return commands[i]->run();
    } catch (const UsageError& e) {
      usage_error(subcommands[i]->get_name(), e.what());
      return kUsageStatus;
    } catch (const std::exception& e) {
      std::cerr << "quorlane " << subcommands[i]->get_name() << ": " << e.what() << "\n";
      return 1;
    }
  }
  return kUsageStatus;
}
