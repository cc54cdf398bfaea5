// Folios allocated at once by threads of one process and by other processes on the same
// database never repeat, and no allocation fails while another writer holds the file or row.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <set>
#include <thread>

#include "host/sql/standard_host.h"
#include "support/temp_dir.h"
#include "support/test_databases.h"

namespace quorlane {
namespace {

constexpr int kPerWorker = 500;

HostSettings settings_for(const std::string& path) {
  HostSettings s;
  s.database = path;
  s.operator_name = "FOLIOS";
  s.message_log = "none";
  return s;
}

// Allocates the folios of one worker; false when any allocation failed or came back empty.
bool allocate(StandardHost& host, std::vector<std::string>& out) {
  try {
    std::shared_ptr<cDatos> datos = host.factory()->create_datos();
    for (int i = 0; i < kPerWorker; ++i) {
      std::string folio = datos->Obtener_Folio("S1", "COTIZACION", 10, -1).to_text();
      if (folio.empty()) return false;
      out.push_back(folio);
    }
    return true;
  } catch (const Failure&) {
    return false;
  }
}

class FolioConcurrency : public ::testing::TestWithParam<test::TestEngine> {};

TEST_P(FolioConcurrency, TwoThreadsAndTwoProcessesGetDistinctFolios) {
  test::TestDatabase database(GetParam());
  QUORLANE_REQUIRE_TEST_DATABASE(database);
  test::TempDir dir;
  const std::string path = database.setting();
  {
    // Tables and series are set up, and every connection closed, before any process forks.
    auto setup = StandardHost::create(settings_for(path));
    load_demo_catalogue(*setup->connection());
  }

  std::vector<pid_t> children;
  for (int child = 0; child < 2; ++child) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      // The child opens its own host and connection and reports through a file.
      auto host = StandardHost::create(settings_for(path));
      std::vector<std::string> folios;
      bool ok = allocate(*host, folios);
      std::ofstream out(dir.file("hijo" + std::to_string(child) + ".txt"));
      for (const std::string& f : folios) out << f << '\n';
      out.close();
      _exit(ok && out ? 0 : 1);
    }
    children.push_back(pid);
  }

  auto host = StandardHost::create(settings_for(path));
  std::vector<std::string> thread_folios[2];
  bool thread_ok[2] = {false, false};
  std::thread threads[2];
  for (int t = 0; t < 2; ++t)
    threads[t] = std::thread([&, t] { thread_ok[t] = allocate(*host, thread_folios[t]); });
  for (auto& t : threads) t.join();

  std::multiset<std::string> all;
  for (int t = 0; t < 2; ++t) {
    EXPECT_TRUE(thread_ok[t]) << "thread " << t;
    all.insert(thread_folios[t].begin(), thread_folios[t].end());
  }
  for (size_t child = 0; child < children.size(); ++child) {
    int status = 0;
    ASSERT_EQ(waitpid(children[child], &status, 0), children[child]);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "process " << child;
    std::ifstream in(dir.file("hijo" + std::to_string(child) + ".txt"));
    for (std::string line; std::getline(in, line);) all.insert(line);
  }
  EXPECT_EQ(all.size(), 4u * kPerWorker);
  EXPECT_EQ(std::set<std::string>(all.begin(), all.end()).size(), 4u * kPerWorker);
  EXPECT_EQ(*all.begin(), "A0000000001");
  EXPECT_EQ(*all.rbegin(), "A0000002000");
}

INSTANTIATE_TEST_SUITE_P(Engines, FolioConcurrency, test::test_engines(), test::engine_test_name);

}  // namespace
}  // namespace quorlane
