// The fixture of the component's unit tests: a FakeHost behind a recording Boundary, installed
// as this thread's host with the thread's component state reset, so that every test starts
// from a fresh start-up.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "host/wrap/boundary.h"
#include "support/fake_host.h"

namespace quorlane::test {

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The calls since the last take, one call_text line each; forgets them.
  std::vector<std::string> take_calls();
  // Only the calls of one operation ("cDatos.Obtener_Campo"), as call_text lines; forgets all.
  std::vector<std::string> take_calls(const std::string& service_operation);
  // The statement texts executed since the last take; forgets all calls.
  std::vector<std::string> take_statements();

  std::shared_ptr<FakeHost> host = std::make_shared<FakeHost>();
  std::shared_ptr<Boundary> boundary = std::make_shared<Boundary>();
};

}  // namespace quorlane::test
