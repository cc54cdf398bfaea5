#include "cli/standard_script_host.h"

namespace quorlane::cli {

std::shared_ptr<HostFactory> StandardScriptHost::factory() { return host_->factory(); }

void StandardScriptHost::change(const automation::HostChanges& changes) {
  HostSettings s = host_->settings();
  if (changes.server_id) s.server_id = *changes.server_id;
  if (changes.remote) s.remote = *changes.remote;
  if (changes.operator_name) s.operator_name = *changes.operator_name;
  if (changes.clock) s.clock = *changes.clock;
  host_->update(s);
}

// The thread's own connection of the standard host, not the component's wrapped one: the
// statement is neither recorded nor subject to injected failures.
automation::SqlRows StandardScriptHost::run_sql(const std::string& text) {
  return automation::read_rows(host_->connection()->Execute(text));
}

}  // namespace quorlane::cli
