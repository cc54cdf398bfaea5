// The host of `quorlane script`: the standard host, whose settings "host" requests change and
// whose database "sql" requests query directly.
#pragma once

#include <memory>

#include "automation/script_runner.h"
#include "host/sql/standard_host.h"

namespace quorlane::cli {

class StandardScriptHost final : public automation::ScriptHost {
 public:
  explicit StandardScriptHost(std::shared_ptr<StandardHost> host) : host_(std::move(host)) {}
  std::shared_ptr<HostFactory> factory() override;
  void change(const automation::HostChanges& changes) override;
  automation::SqlRows run_sql(const std::string& text) override;

 private:
  std::shared_ptr<StandardHost> host_;
};

}  // namespace quorlane::cli
