// The commands of the quorlane program. Each command lives in its own file: it adds its
// sub-command, options and help to the program's parser, and runs once the command line has
// been read. A new command is one more file and one more line in main.cpp.
#pragma once

#include <CLI/CLI.hpp>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace quorlane::cli {

// Wrong usage found after parsing (for instance a bad environment setting): reported on
// standard error with exit status 2, like the parser's own errors.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Command {
 public:
  virtual ~Command() = default;
  // Adds the sub-command to the program's parser and returns it.
  virtual CLI::App* add_to(CLI::App& program) = 0;
  // Runs the parsed command; returns the exit status.
  virtual int run() = 0;
};

std::unique_ptr<Command> make_init_command();
std::unique_ptr<Command> make_script_command();
std::unique_ptr<Command> make_quote_command();
std::unique_ptr<Command> make_import_command();
std::unique_ptr<Command> make_show_command();
std::unique_ptr<Command> make_print_command();
// finalize, authorize, reject, cancel, delete
std::vector<std::unique_ptr<Command>> make_status_commands();

}  // namespace quorlane::cli
