// quorlane init: creates the tables of the component and of the standard host, and with
// --demo adds the demonstration catalogue.
#include <iostream>

#include "cli/command.h"
#include "cli/host_options.h"
#include "db/connection_text.h"
#include "host/sql/standard_host.h"

namespace quorlane::cli {

namespace {

class InitCommand final : public Command {
 public:
  CLI::App* add_to(CLI::App& program) override {
    CLI::App* cmd = program.add_subcommand(
        "init", "create the tables of the database (and a demonstration catalogue)");
    options_.add_database_option(*cmd);
    cmd->add_flag("--demo", demo_,
                  "also add a small demonstration catalogue (branches, products, customers...)");
    cmd->footer(std::string("Example:\n  quorlane init --db quotes.db --demo\n\n") +
                kDatabaseEnvironmentHelp);
    return cmd;
  }

  int run() override {
    HostSettings settings = options_.settings();
    const std::string database = db::without_passwords(settings.database);
    try {
      std::shared_ptr<StandardHost> host = StandardHost::create(settings);
      std::shared_ptr<Connection> connection = host->connection();
      create_schema(*connection);
      if (demo_) load_demo_catalogue(*connection);
    } catch (const std::exception& e) {
      std::cerr << "quorlane init: cannot set up the database " << database << ": "
                << db::without_passwords(e.what()) << "\n";
      return 1;
    }
    std::cout << "Database " << database << " is ready"
              << (demo_ ? ", with the demonstration catalogue" : "") << ".\n";
    return 0;
  }

 private:
  HostOptions options_;
  bool demo_ = false;
};

}  // namespace

std::unique_ptr<Command> make_init_command() { return std::make_unique<InitCommand>(); }

}  // namespace quorlane::cli
