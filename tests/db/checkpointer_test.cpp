// The background checkpointer: the WAL reaches the database file with no commit waiting for it,
// nothing is lost on the way, and it lets go of a file and of the process cleanly.
#include "db/checkpointer.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "db/database.h"
#include "support/temp_dir.h"

namespace quorlane::db {
namespace {

namespace fs = std::filesystem;

// Each row fills a page of its own, so these pass the 1,000 WAL pages that ask for a checkpoint.
constexpr int kRows = 1500;

class Checkpointer : public ::testing::Test {
 protected:
  test::TempDir dir;
  std::string path = dir.file("hojas.db");

  static void write_rows(Database& db, int first, int count) {
    const std::string text(3000, 'x');
    for (int n = first; n < first + count; ++n)
      db.run("INSERT INTO Hoja (N, Texto) VALUES (?, ?)", {Variant(n), Variant(text)});
  }

  // What the database file itself holds, without its WAL: a copy of the file alone opened on
  // its own. -1 when the file does not hold the table yet.
  long rows_in_file_alone(const std::string& name) {
    const std::string copy = dir.file(name);
    fs::copy_file(path, copy, fs::copy_options::overwrite_existing);
    std::shared_ptr<Database> alone = open_sqlite(copy);
    if (!alone->has_table("Hoja")) return -1;
    return static_cast<long>(alone->run("SELECT COUNT(*) FROM Hoja").first().to_double());
  }
};

TEST_F(Checkpointer, WritesTheWalBackIntoTheFileAndLosesNothing) {
  std::shared_ptr<Database> writer = open_sqlite(path);
  std::shared_ptr<Database> reader = open_sqlite(path);
  writer->Execute("CREATE TABLE Hoja (N INTEGER, Texto TEXT)", -1);
  write_rows(*writer, 0, 10);
  // Short of the threshold everything is still in the WAL: the file alone lacks the table.
  EXPECT_EQ(rows_in_file_alone("antes.db"), -1);

  const uint64_t before = checkpoints_completed();
  write_rows(*writer, 10, kRows - 10);
  wait_for_checkpoints();
  EXPECT_TRUE(checkpointer_running());
  EXPECT_GT(checkpoints_completed(), before);
  // The rows committed before the checkpoint ran are in the file itself now.
  const long in_file = rows_in_file_alone("despues.db");
  EXPECT_GE(in_file, 300);
  EXPECT_LE(in_file, kRows);

  // Every row, through the other connection and after the checkpoint, is as written.
  Rows all = reader->run("SELECT COUNT(*), SUM(N), MIN(LENGTH(Texto)) FROM Hoja");
  EXPECT_EQ(all.values.at(0).at(0), Variant(int32_t{kRows}));
  EXPECT_EQ(all.values.at(0).at(1), Variant(int32_t{kRows * (kRows - 1) / 2}));
  EXPECT_EQ(all.values.at(0).at(2), Variant(int32_t{3000}));
  EXPECT_EQ(reader->run("PRAGMA integrity_check").first(), Variant("ok"));
}

TEST_F(Checkpointer, LetsGoOfAFileWhenItsLastConnectionCloses) {
  int rows = 0;
  {
    std::shared_ptr<Database> writer = open_sqlite(path);
    writer->Execute("CREATE TABLE Hoja (N INTEGER, Texto TEXT)", -1);
    // Rows until the WAL holds the 1,000 pages (of 4,096 bytes and a 24-byte header each, after
    // the WAL's own 32-byte header) whose commit asks for a checkpoint; the connection closes
    // at once, with the checkpoint still queued or running.
    while ((fs::file_size(path + "-wal") - 32) / (4096 + 24) < 1000) write_rows(*writer, rows++, 1);
  }
  // The writer's close was the file's last, as if the checkpointer had never opened it: the WAL
  // went back into the file and was removed, with every row in the file.
  EXPECT_FALSE(fs::exists(path + "-wal"));
  EXPECT_EQ(rows_in_file_alone("cerrada.db"), rows);
}

TEST_F(Checkpointer, StopsAndStartsAgainOnTheNextRequest) {
  std::shared_ptr<Database> writer = open_sqlite(path);
  writer->Execute("CREATE TABLE Hoja (N INTEGER, Texto TEXT)", -1);
  write_rows(*writer, 0, kRows);
  stop_checkpointer();
  EXPECT_FALSE(checkpointer_running());
  wait_for_checkpoints();  // returns at once: there is no thread to wait for

  // The next commit that finds the WAL past the threshold starts it again.
  const uint64_t before = checkpoints_completed();
  write_rows(*writer, kRows, kRows);
  wait_for_checkpoints();
  EXPECT_TRUE(checkpointer_running());
  EXPECT_GT(checkpoints_completed(), before);
  EXPECT_EQ(writer->run("SELECT COUNT(*) FROM Hoja").first(), Variant(int32_t{2 * kRows}));
}

TEST_F(Checkpointer, AProcessThatEndsWithTheThreadBusyEndsCleanlyAndKeepsItsRows) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // The child runs this test again from the start in a new process: the file is handed to it
  // through the environment, which it inherits.
  constexpr const char* kFile = "QUORLANE_TEST_CHECKPOINT_FILE";
  if (std::getenv(kFile) == nullptr) setenv(kFile, path.c_str(), 1);
  const std::string file = std::getenv(kFile);
  open_sqlite(file)->Execute("CREATE TABLE IF NOT EXISTS Hoja (N INTEGER, Texto TEXT)", -1);
  // The child ends with its connection open while checkpoints are still being asked for: the
  // thread is stopped and joined on the way out, and a stop that waited on a checkpoint or a
  // connection for ever would hang the child.
  EXPECT_EXIT(
      {
        static std::shared_ptr<Database> writer = open_sqlite(file);
        write_rows(*writer, 0, 3 * kRows);
        std::exit(7);
      },
      ::testing::ExitedWithCode(7), "");
  unsetenv(kFile);
  std::shared_ptr<Database> after = open_sqlite(file);
  EXPECT_EQ(after->run("SELECT COUNT(*) FROM Hoja").first(), Variant(int32_t{3 * kRows}));
  EXPECT_EQ(after->run("PRAGMA integrity_check").first(), Variant("ok"));
}

// A child forked while the thread runs has no such thread: it checkpoints through one of its own,
// and ends without waiting for (or joining) its parent's.
TEST_F(Checkpointer, AForkedChildGetsACheckpointerOfItsOwn) {
  std::shared_ptr<Database> writer = open_sqlite(path);
  writer->Execute("CREATE TABLE Hoja (N INTEGER, Texto TEXT)", -1);
  write_rows(*writer, 0, kRows);
  wait_for_checkpoints();
  ASSERT_TRUE(checkpointer_running());

  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const uint64_t before = checkpoints_completed();
    {
      std::shared_ptr<Database> own = open_sqlite(path);
      write_rows(*own, kRows, kRows);
      wait_for_checkpoints();
    }
    std::exit(checkpoints_completed() > before ? 0 : 3);  // runs the process's exit path
  }
  int status = 0;
  pid_t ended = 0;
  for (int waited = 0; waited < 600 && ended == 0; ++waited) {
    ended = waitpid(child, &status, WNOHANG);
    if (ended == 0) usleep(100000);
  }
  if (ended == 0) kill(child, SIGKILL);
  ASSERT_EQ(ended, child) << "the child did not end within a minute";
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(writer->run("SELECT COUNT(*) FROM Hoja").first(), Variant(int32_t{2 * kRows}));
}

}  // namespace
}  // namespace quorlane::db
