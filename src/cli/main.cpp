// The quorlane program: builds and manages sales quotes, sets up the database, and offers the
// JSON automation interface. Each command is in its own file (see command.h).
#include <algorithm>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "automation/json_values.h"
#include "cli/command.h"
#include "db/connection_text.h"

namespace {

constexpr int kUsageStatus = 2;

void usage_error(const std::string& command, const std::string& message) {
  std::string program = command.empty() ? "quorlane" : "quorlane " + command;
  std::cerr << program << ": " << quorlane::db::without_passwords(message) << "\n"
            << "Run '" << program << " --help' for more information.\n";
}

// The edit distance of two names, a swap of neighbours counting as one edit.
size_t edit_distance(const std::string& a, const std::string& b) {
  std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
  for (size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (size_t i = 1; i <= a.size(); ++i)
    for (size_t j = 1; j <= b.size(); ++j) {
      d[i][j] = std::min(
          {d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  return d[a.size()][b.size()];
}

// The command a mistyped name most likely meant: the nearest within two edits (one for short
// names); none when nothing is that near.
std::string nearest_command(const std::string& name, const std::vector<CLI::App*>& commands) {
  std::string best;
  size_t best_distance = name.size() <= 4 ? 2 : 3;
  for (const CLI::App* command : commands) {
    size_t distance = edit_distance(name, command->get_name());
    if (distance < best_distance) {
      best_distance = distance;
      best = command->get_name();
    }
  }
  return best;
}

// The commands with their one-line descriptions, for a run without a command.
std::string command_list(const std::vector<CLI::App*>& commands) {
  size_t width = 0;
  for (const CLI::App* command : commands) width = std::max(width, command->get_name().size());
  std::string out = "Commands:\n";
  for (const CLI::App* command : commands)
    out += "  " + command->get_name() + std::string(width + 2 - command->get_name().size(), ' ') +
           command->get_description() + "\n";
  return out;
}

// A command line that gives an option before the command ("quorlane --db x show A1"): a message
// that says where options go, with the command when one is given.
std::string option_before_command(int argc, char** argv, const std::vector<CLI::App*>& commands) {
  std::string command = "COMMAND";
  for (int i = 2; i < argc && command == "COMMAND"; ++i)
    for (const CLI::App* sub : commands)
      if (sub->get_name() == argv[i]) command = argv[i];
  const std::string option = std::string(argv[1]).substr(0, std::string(argv[1]).find('='));
  return "options go after the command: 'quorlane " + command + " " + option + " ...'";
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

  // What the parser would report badly: no command at all, an option before the command, an
  // unknown command.
  if (argc == 1) {
    std::cerr << "quorlane: a command is required\n\n"
              << command_list(subcommands)
              << "\nRun 'quorlane COMMAND --help' for the options and an example of each "
                 "command.\n";
    return kUsageStatus;
  }
  const std::string first = argv[1];
  if (first[0] == '-' && first != "--help" && first != "-h" && first != "--version") {
    usage_error("", option_before_command(argc, argv, subcommands));
    return kUsageStatus;
  }
  if (first[0] != '-') {
    bool known = false;
    for (CLI::App* sub : subcommands) known = known || sub->get_name() == first;
    if (!known) {
      std::string message = "unknown command '" + first + "'";
      if (std::string near = nearest_command(first, subcommands); !near.empty())
        message += " (did you mean '" + near + "'?)";
      usage_error("", message);
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
      const std::string error = quorlane::db::without_passwords(e.what());
      std::cerr << "quorlane " << subcommands[i]->get_name() << ": " << error << "\n";
      // A program reading --json output gets an answer it can read as well.
      const CLI::Option* json = subcommands[i]->get_option_no_throw("--json");
      if (json != nullptr && json->count() > 0)
        std::cout << quorlane::automation::Json{{"ok", false}, {"error", error}}.dump(
                         2, ' ', false, quorlane::automation::Json::error_handler_t::replace)
                  << "\n";
      return 1;
    }
  }
  return kUsageStatus;
}
