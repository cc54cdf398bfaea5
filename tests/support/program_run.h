// Runs the built quorlane program (or a shell command line around it) in a test's directory and
// keeps its exit status and what it wrote; reads the SQLite file it wrote directly.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace quorlane::test {

// One run: the exit status (-1 when it did not exit normally), whether our SIGKILL ended it,
// and both outputs.
struct ProgramRun {
  int status = -1;
  bool killed = false;
  std::string out;
  std::string err;
};

// The whole content of a file; empty when it cannot be read.
inline std::string file_text(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// `s` as one word for the shell.
inline std::string quoted(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// Starts `argv` (argv[0] the executable's path) with `input` as its standard input (through the
// file stdin in `dir`), standard error to the file stderr in `dir` and standard output a pipe
// read while it runs, so that it never blocks on a full pipe and what it wrote before a kill is
// kept. With `kill_after` it is killed with SIGKILL once that much time has passed, unless it
// ended first.
inline ProgramRun spawn_program(const std::filesystem::path& dir, std::vector<std::string> argv,
                                const std::string& input = "",
                                std::optional<std::chrono::milliseconds> kill_after = {}) {
  using Clock = std::chrono::steady_clock;
  const std::filesystem::path in_path = dir / "stdin", err_path = dir / "stderr";
  std::ofstream(in_path, std::ios::binary) << input;
  int fds[2];
  if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, in_path.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err_path.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  posix_spawn_file_actions_addclose(&actions, fds[1]);
  std::vector<char*> args;
  for (std::string& a : argv) args.push_back(a.data());
  args.push_back(nullptr);
  pid_t pid = -1;
  int spawned = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  if (spawned != 0) {
    close(fds[0]);
    throw std::runtime_error("cannot start " + argv[0]);
  }
  ProgramRun run;
  const Clock::time_point deadline =
      Clock::now() + kill_after.value_or(std::chrono::milliseconds(0));
  bool open = true;
  char buffer[65536];
  while (open) {
    int timeout = -1;
    if (kill_after) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      if (left.count() <= 0) break;
      timeout = static_cast<int>(left.count());
    }
    pollfd p{fds[0], POLLIN, 0};
    if (poll(&p, 1, timeout) <= 0) continue;  // the deadline came, or a signal
    ssize_t n = read(fds[0], buffer, sizeof buffer);
    if (n > 0)
      run.out.append(buffer, static_cast<size_t>(n));
    else
      open = false;  // it closed its standard output: it has ended
  }
  if (open) kill(pid, SIGKILL);
  int raw = 0;
  waitpid(pid, &raw, 0);
  for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;)  // written before it died
    run.out.append(buffer, static_cast<size_t>(n));
  close(fds[0]);
  run.killed = WIFSIGNALED(raw) && WTERMSIG(raw) == SIGKILL;
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  run.err = file_text(err_path);
  return run;
}

// Runs `command_line` through the shell in `dir`, its standard input from `input`.
inline ProgramRun run_shell(const std::filesystem::path& dir, const std::string& command_line,
                            const std::string& input = "") {
  return spawn_program(dir, {"/bin/sh", "-c", "cd " + quoted(dir.string()) + " && " + command_line},
                       input);
}

// Runs the program with `args` (already quoted where needed) in `dir`, preceded by the variable
// assignments of `environment` when there are any.
inline ProgramRun run_program(const std::filesystem::path& dir, const std::string& args,
                              const std::string& input = "", const std::string& environment = "") {
  std::string command_line = quoted(QUORLANE_PROGRAM_PATH) + " " + args;
  if (!environment.empty()) command_line = environment + " " + command_line;
  return run_shell(dir, command_line, input);
}

// The rows of a query on the SQLite file `path`, each a JSON object of column to value as SQLite
// holds it (integer, real, text or null), the parameters bound as texts.
inline nlohmann::json sqlite_rows(const std::filesystem::path& path, const std::string& sql,
                                  const std::vector<std::string>& params = {}) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    throw std::runtime_error("cannot open " + path.string());
  }
  sqlite3_stmt* st = nullptr;
  nlohmann::json out = nlohmann::json::array();
  int step = sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr);
  if (step == SQLITE_OK) {
    for (size_t i = 0; i < params.size(); ++i)
      sqlite3_bind_text(st, static_cast<int>(i) + 1, params[i].c_str(), -1, SQLITE_TRANSIENT);
    while ((step = sqlite3_step(st)) == SQLITE_ROW) {
      nlohmann::json& row = out.emplace_back(nlohmann::json::object());
      for (int c = 0; c < sqlite3_column_count(st); ++c) {
        nlohmann::json& v = row[sqlite3_column_name(st, c)];
        const int type = sqlite3_column_type(st, c);
        if (type == SQLITE_INTEGER) v = sqlite3_column_int64(st, c);
        if (type == SQLITE_FLOAT) v = sqlite3_column_double(st, c);
        if (type == SQLITE_TEXT || type == SQLITE_BLOB)
          v = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
      }
    }
  }
  std::string error = step == SQLITE_DONE ? "" : sql + ": " + sqlite3_errmsg(db);
  sqlite3_finalize(st);
  sqlite3_close(db);
  if (!error.empty()) throw std::runtime_error(error);
  return out;
}

// A test with a directory of its own, removed afterwards, to run the program in.
class ProgramDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "_" + info->name();
    for (char& c : name)
      if (c == '/') c = '_';  // parameterised: "Scripts/ScriptTest_AnswersAsExpected/..."
    dir = std::filesystem::temp_directory_path() /
          ("quorlane_e2e_" + std::to_string(getpid()) + "_" + name);
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  // The program with `args` (already quoted where needed), standard input from `input`.
  ProgramRun program(const std::string& args, const std::string& input = "",
                     const std::string& environment = "") {
    return run_program(dir, args, input, environment);
  }

  std::filesystem::path dir;
};

}  // namespace quorlane::test
