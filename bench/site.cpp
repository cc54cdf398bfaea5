#include "site.h"

#include <stdlib.h>

#include "frame/publico.h"
#include "measure.h"
#include "quorlane/interfaces.h"

namespace quorlane::bench {

WorkDir::WorkDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "quorlane-bench-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) give_up("cannot make a temporary directory");
  path_ = pattern;
}

WorkDir::~WorkDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void WorkDir::remove_database(const std::string& name) const {
  std::error_code ignored;
  for (const char* suffix : {"", "-wal", "-shm"})
    std::filesystem::remove(path_ / (name + suffix), ignored);
}

Site::Site(const Options& options, const WorkDir& dir, const std::string& name,
           std::shared_ptr<Boundary> boundary, Use use)
    : dir_(dir),
      name_(options.db.empty() ? name + ".db" : ""),
      fresh_(options.db.empty()),
      installed_(use == Component) {
  HostSettings settings;
  settings.database = fresh_ ? dir.file(name_) : options.db;
  settings.operator_name = "BENCH";
  settings.message_log = dir.file("messages.log");
  if (fresh_) dir.remove_database(name_);
  host_ = StandardHost::create(settings);
  // A server database gets its tables the way `quorlane init` gives them (a SQLite file gets
  // them when it is opened).
  if (!fresh_) create_schema(*host_->connection());
  load_demo_catalogue(*host_->connection());
  if (!installed_) return;
  std::shared_ptr<HostFactory> factory = host_->factory();
  if (boundary) factory = wrap_host(factory, std::move(boundary));
  install_host_factory(factory);
  reset_thread_state();
}

Site::~Site() {
  if (installed_) {
    reset_thread_state();
    install_host_factory(nullptr);
  }
  host_.reset();
  if (fresh_) dir_.remove_database(name_);
}

}  // namespace quorlane::bench
