// Crash safety of `quorlane import` on a SQLite file. A large batch of quote documents is
// imported and the program is killed with SIGKILL at a random moment, several times over on the
// same database file, so that each later run starts from a database a crash left behind. Then
// the file is read directly with SQLite's own interface: it passes PRAGMA integrity_check,
// every line row has every column that a normal import always writes, and every quote the
// program reported as done (with --json one object per quote, flushed as soon as the quote is
// done) is there whole, its header finalised with the totals it reported and its rows equal to
// those of the same document imported without a crash. Last, an import run to its end on the
// crashed file stores every quote.
//
// The moments of the kills come from a seed shown with every failure; QUORLANE_CRASH_SEED=<n>
// runs the same moments again.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// The host options of every run: the same clock and operator, so that two imports of one
// document write the same rows.
const std::vector<std::string> kHostOptions = {"--server-id", "SRV1",    "--operator",
                                               "PRUEBA",      "--clock", "2026-12-05T10:30:00"};

constexpr int kKills = 5;
constexpr size_t kBatch = 2000;  // documents in the batch a kill interrupts

// ---------------------------------------------------------------- running the program

struct ProgramRun {
  bool killed = false;  // ended by our SIGKILL
  int status = -1;      // exit status when it ended by itself
  std::string out;      // everything it wrote to standard output before it ended
  std::string err;
};

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Runs the program with `args`, its standard output a pipe that is read while it runs (so that
// it never blocks on a full pipe). With `kill_after` it is killed with SIGKILL once that much
// time has passed, unless it ended first.
ProgramRun run_program(const fs::path& dir, const std::vector<std::string>& args,
                       std::optional<milliseconds> kill_after = std::nullopt) {
  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) throw std::runtime_error("pipe failed");
  const fs::path err_path = dir / "stderr";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err_path.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addclose(&actions, pipe_fds[0]);
  posix_spawn_file_actions_addclose(&actions, pipe_fds[1]);
  std::vector<std::string> argv_text = {QUORLANE_PROGRAM_PATH};
  argv_text.insert(argv_text.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : argv_text) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  int spawned = posix_spawn(&pid, QUORLANE_PROGRAM_PATH, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipe_fds[1]);
  if (spawned != 0) {
    close(pipe_fds[0]);
    throw std::runtime_error("cannot start " + std::string(QUORLANE_PROGRAM_PATH));
  }

  ProgramRun run;
  const Clock::time_point deadline = Clock::now() + kill_after.value_or(milliseconds(0));
  bool open = true;
  char buffer[65536];
  while (open) {
    int timeout = -1;
    if (kill_after) {
      auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) break;
      timeout = static_cast<int>(left);
    }
    pollfd p{pipe_fds[0], POLLIN, 0};
    if (poll(&p, 1, timeout) <= 0) continue;  // the deadline came, or a signal
    ssize_t n = read(pipe_fds[0], buffer, sizeof buffer);
    if (n > 0)
      run.out.append(buffer, static_cast<size_t>(n));
    else
      open = false;  // it closed its standard output: it has ended
  }
  if (open) kill(pid, SIGKILL);
  int raw = 0;
  waitpid(pid, &raw, 0);
  // What it wrote before it died is still in the pipe.
  for (ssize_t n; (n = read(pipe_fds[0], buffer, sizeof buffer)) > 0;)
    run.out.append(buffer, static_cast<size_t>(n));
  close(pipe_fds[0]);
  run.killed = WIFSIGNALED(raw) && WTERMSIG(raw) == SIGKILL;
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  run.err = read_file(err_path);
  return run;
}

std::vector<std::string> import_args(const fs::path& database, const fs::path& file) {
  std::vector<std::string> args = {"import", "--db", database.string()};
  args.insert(args.end(), kHostOptions.begin(), kHostOptions.end());
  args.insert(args.end(), {"--json", file.string()});
  return args;
}

// The per-quote objects of an import's output: only whole lines (a line the kill cut short was
// not reported), without the final summary.
std::vector<Json> reported_quotes(const std::string& out) {
  std::vector<Json> quotes;
  size_t start = 0;
  for (size_t end; (end = out.find('\n', start)) != std::string::npos; start = end + 1) {
    Json line = Json::parse(out.substr(start, end - start));
    if (!line.contains("summary")) quotes.push_back(std::move(line));
  }
  return quotes;
}

// ---------------------------------------------------------------- reading the file directly

// A row as column -> text; a NULL has no text.
using Row = std::map<std::string, std::optional<std::string>>;

class SqliteFile {
 public:
  explicit SqliteFile(const fs::path& path) {
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
      throw std::runtime_error("cannot open " + path.string());
  }
  ~SqliteFile() { sqlite3_close(db_); }
  SqliteFile(const SqliteFile&) = delete;
  SqliteFile& operator=(const SqliteFile&) = delete;

  std::vector<Row> query(const std::string& sql, const std::vector<std::string>& params = {}) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK)
      throw std::runtime_error(sql + ": " + sqlite3_errmsg(db_));
    for (size_t i = 0; i < params.size(); ++i)
      sqlite3_bind_text(statement, static_cast<int>(i + 1), params[i].c_str(), -1,
                        SQLITE_TRANSIENT);
    std::vector<Row> rows;
    int step;
    while ((step = sqlite3_step(statement)) == SQLITE_ROW) {
      Row row;
      for (int c = 0; c < sqlite3_column_count(statement); ++c) {
        std::optional<std::string> value;
        if (sqlite3_column_type(statement, c) != SQLITE_NULL)
          value = reinterpret_cast<const char*>(sqlite3_column_text(statement, c));
        row[sqlite3_column_name(statement, c)] = value;
      }
      rows.push_back(std::move(row));
    }
    sqlite3_finalize(statement);
    if (step != SQLITE_DONE) throw std::runtime_error(sql + ": " + sqlite3_errmsg(db_));
    return rows;
  }

 private:
  sqlite3* db_ = nullptr;
};

// A quote as stored: its header row and line rows (by Ct_ID) without the folio, which differs
// from one import to another, and how many follow-up history rows it has.
struct StoredQuote {
  std::vector<Row> header;
  std::vector<Row> lines;
  size_t history = 0;
};

StoredQuote stored_quote(SqliteFile& file, const std::string& folio) {
  StoredQuote q;
  q.header = file.query("SELECT * FROM Cotizacion_Encabezado WHERE Ct_Folio = ?", {folio});
  q.lines = file.query("SELECT * FROM Cotizacion WHERE Ct_Folio = ? ORDER BY Ct_ID", {folio});
  for (std::vector<Row>* rows : {&q.header, &q.lines})
    for (Row& row : *rows) row.erase("Ct_Folio");
  q.history =
      file.query("SELECT * FROM Historial_Seguimiento WHERE Hs_Documento = ?", {folio}).size();
  return q;
}

std::string row_text(const Row& row) {
  std::string text;
  for (const auto& [column, value] : row) text += column + "=" + value.value_or("<NULL>") + " ";
  return text;
}

// ---------------------------------------------------------------- the batch

// The documents of examples/import.jsonl, each in `kVariants` variants of twice its lines, the
// copies with their quantities multiplied (2 or 3): several lines a quote, promotion lines
// earned or not, both shapes, finalised or not.
constexpr size_t kVariants = 2;

std::vector<std::string> variant_documents() {
  std::ifstream in(fs::path(QUORLANE_SOURCE_DIR) / "examples" / "import.jsonl");
  std::vector<std::string> out;
  for (std::string line; std::getline(in, line);) {
    if (line.empty()) continue;
    const Json example = Json::parse(line);
    for (size_t v = 0; v < kVariants; ++v) {
      Json document = example;
      for (Json line_copy : example["lines"]) {
        line_copy["Ct_Cantidad_1"] = line_copy["Ct_Cantidad_1"].get<double>() * (2 + v);
        document["lines"].push_back(line_copy);
      }
      out.push_back(document.dump());
    }
  }
  return out;
}

// `count` documents, the variants over and over: document n (from 1) is variant (n-1) % size.
fs::path write_batch(const fs::path& path, const std::vector<std::string>& variants, size_t count) {
  std::ofstream out(path, std::ios::binary);
  for (size_t i = 0; i < count; ++i) out << variants[i % variants.size()] << "\n";
  return path;
}

uint64_t crash_seed() {
  if (const char* text = std::getenv("QUORLANE_CRASH_SEED"))
    return std::strtoull(text, nullptr, 10);
  return std::random_device{}();
}

// ---------------------------------------------------------------- the test

class CrashSafety : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("quorlane_crash_" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  void init_database(const fs::path& database) {
    ProgramRun init = run_program(dir, {"init", "--db", database.string(), "--demo"});
    ASSERT_EQ(init.status, 0) << init.err;
  }

  fs::path dir;
};

TEST_F(CrashSafety, KilledImportsLeaveAWholeDatabaseAndEveryReportedQuoteComplete) {
  const uint64_t seed = crash_seed();
  SCOPED_TRACE("QUORLANE_CRASH_SEED=" + std::to_string(seed));
  std::mt19937_64 random(seed);
  const std::vector<std::string> variants = variant_documents();
  ASSERT_EQ(variants.size(), 6 * kVariants);

  // ------------------------------------------ the same documents imported without a crash
  const fs::path reference_db = dir / "reference.db";
  init_database(reference_db);
  const fs::path reference_file = write_batch(dir / "reference.jsonl", variants, variants.size());
  const Clock::time_point reference_start = Clock::now();
  ProgramRun reference = run_program(dir, import_args(reference_db, reference_file));
  const auto reference_time = Clock::now() - reference_start;
  ASSERT_EQ(reference.status, 0) << reference.out << reference.err;
  std::vector<Json> reference_quotes = reported_quotes(reference.out);
  ASSERT_EQ(reference_quotes.size(), variants.size());
  std::vector<StoredQuote> expected;  // by variant
  // The columns every line row of a normal import has a value in.
  std::set<std::string> always_written;
  {
    SqliteFile file(reference_db);
    for (const Json& quote : reference_quotes) {
      ASSERT_TRUE(quote["ok"].get<bool>()) << quote.dump();
      expected.push_back(stored_quote(file, quote["folio"].get<std::string>()));
    }
    std::vector<Row> lines = file.query("SELECT * FROM Cotizacion");
    ASSERT_GE(lines.size(), 4 * variants.size());
    for (const auto& [column, value] : lines.front()) always_written.insert(column);
    for (const Row& row : lines)
      for (const auto& [column, value] : row)
        if (!value) always_written.erase(column);
    EXPECT_GT(always_written.size(), 10u);
    for (const char* column : {"Ct_ID", "Pr_Cve_Producto", "Ct_Precio_Neto_Importe"})
      EXPECT_TRUE(always_written.count(column)) << column;
  }

  // ------------------------------------------ the killed imports, one after another
  const fs::path database = dir / "quotes.db";
  init_database(database);
  const fs::path batch = write_batch(dir / "batch.jsonl", variants, kBatch);
  // The kills fall in the first half of the time the whole batch would take (as the reference
  // import's pace tells), and never later than 1.5 s.
  const auto whole_batch =
      std::chrono::duration_cast<milliseconds>(reference_time * kBatch / variants.size());
  const long latest = std::max<long>(60, std::min<long>(1500, whole_batch.count() / 2));
  std::uniform_int_distribution<long> delay(20, latest);

  std::vector<std::pair<Json, size_t>> done;  // (reported quote, its variant)
  for (int k = 0; k < kKills; ++k) {
    const milliseconds after(delay(random));
    SCOPED_TRACE("kill " + std::to_string(k + 1) + " after " + std::to_string(after.count()) +
                 " ms");
    ProgramRun run = run_program(dir, import_args(database, batch), after);
    EXPECT_TRUE(run.killed) << "the import ended by itself (status " << run.status << ")";
    for (Json& quote : reported_quotes(run.out)) {
      const size_t line = quote["line"].get<size_t>();
      done.emplace_back(std::move(quote), (line - 1) % variants.size());
    }
  }

  // ------------------------------------------ the crashed file, read directly
  {
    SqliteFile file(database);
    std::vector<Row> check = file.query("PRAGMA integrity_check");
    ASSERT_EQ(check.size(), 1u);
    EXPECT_EQ(check.front().begin()->second.value_or(""), "ok");

    std::vector<Row> lines = file.query("SELECT * FROM Cotizacion");
    size_t incomplete = 0;
    for (const Row& row : lines)
      for (const std::string& column : always_written)
        if (!row.at(column) && incomplete++ < 5)
          ADD_FAILURE() << "line row without " << column << ": " << row_text(row);
    EXPECT_EQ(incomplete, 0u);

    EXPECT_FALSE(done.empty()) << "no run reported a quote before its kill";
    std::set<std::string> folios;
    for (const auto& [quote, variant] : done) {
      const std::string folio = quote["folio"].get<std::string>();
      SCOPED_TRACE("quote " + folio + " of document line " + quote["line"].dump());
      EXPECT_TRUE(folios.insert(folio).second) << "folio reported twice";
      EXPECT_TRUE(quote["ok"].get<bool>()) << quote.dump();
      StoredQuote stored = stored_quote(file, folio);
      EXPECT_EQ(stored.lines.size(), quote["rows"].size());
      ASSERT_EQ(stored.header.size(), 1u);
      // Finalised: the totals it reported are the header's.
      if (quote["finalized"].get<bool>()) {
        for (const auto& [column, value] : quote["totals"].items()) {
          ASSERT_TRUE(stored.header.front().at(column)) << column;
          EXPECT_DOUBLE_EQ(std::stod(*stored.header.front().at(column)), value.get<double>())
              << column;
        }
      }
      const StoredQuote& want = expected[variant];
      EXPECT_EQ(row_text(stored.header.front()), row_text(want.header.front()));
      ASSERT_EQ(stored.lines.size(), want.lines.size());
      for (size_t i = 0; i < want.lines.size(); ++i)
        EXPECT_EQ(row_text(stored.lines[i]), row_text(want.lines[i])) << "row " << i + 1;
      EXPECT_EQ(stored.history, want.history);
    }
  }

  // ------------------------------------------ the crashed file goes on working
  ProgramRun after = run_program(dir, import_args(database, reference_file));
  EXPECT_EQ(after.status, 0) << after.out << after.err;
  EXPECT_EQ(reported_quotes(after.out).size(), variants.size());
  SqliteFile file(database);
  for (const Json& quote : reported_quotes(after.out)) {
    EXPECT_TRUE(quote["ok"].get<bool>()) << quote.dump();
    const size_t variant = quote["line"].get<size_t>() - 1;
    StoredQuote stored = stored_quote(file, quote["folio"].get<std::string>());
    ASSERT_EQ(stored.lines.size(), expected[variant].lines.size());
    for (size_t i = 0; i < stored.lines.size(); ++i)
      EXPECT_EQ(row_text(stored.lines[i]), row_text(expected[variant].lines[i]));
  }
}

}  // namespace
