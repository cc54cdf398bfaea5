#include "support/host_test.h"

#include "frame/publico.h"

namespace quorlane::test {

void HostTest::SetUp() {
  reset_thread_state();
  install_thread_host_factory(wrap_host(host->factory(), boundary));
}

void HostTest::TearDown() {
  reset_thread_state();
  install_thread_host_factory(nullptr);
}

std::vector<std::string> HostTest::take_calls() {
  std::vector<std::string> out;
  for (const CallRecord& c : boundary->take_calls()) out.push_back(call_text(c));
  return out;
}

std::vector<std::string> HostTest::take_calls(const std::string& service_operation) {
  std::vector<std::string> out;
  for (const CallRecord& c : boundary->take_calls())
    if (c.service + "." + c.operation == service_operation) out.push_back(call_text(c));
  return out;
}

std::vector<std::string> HostTest::take_statements() {
  std::vector<std::string> out;
  for (const CallRecord& c : boundary->take_calls())
    if (c.service == "Connection" && c.operation == "Execute") out.push_back(c.args[0].raw_text());
  return out;
}

}  // namespace quorlane::test
