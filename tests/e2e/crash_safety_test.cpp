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
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "support/program_run.h"

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;
using Clock = std::chrono::steady_clock;
using quorlane::test::ProgramRun;
using quorlane::test::sqlite_rows;
using std::chrono::milliseconds;

constexpr int kKills = 5;
constexpr size_t kBatch = 2000;  // documents in the batch a kill interrupts

// Imports `file` into `database` with --json, killed after `kill_after` when given. Every run
// has the same clock and operator, so that two imports of one document write the same rows.
ProgramRun import(const fs::path& dir, const fs::path& database, const fs::path& file,
                  std::optional<milliseconds> kill_after = {}) {
  return quorlane::test::spawn_program(
      dir,
      {QUORLANE_PROGRAM_PATH, "import", "--db", database.string(), "--server-id", "SRV1",
       "--operator", "PRUEBA", "--clock", "2026-12-05T10:30:00", "--json", file.string()},
      "", kill_after);
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

// A quote as stored: its header row and line rows (by Ct_ID) without the folio, which differs
// from one import to another, and how many follow-up history rows it has.
struct StoredQuote {
  Json header;
  Json lines;
  size_t history = 0;
};

StoredQuote stored_quote(const fs::path& database, const std::string& folio) {
  StoredQuote q;
  q.header =
      sqlite_rows(database, "SELECT * FROM Cotizacion_Encabezado WHERE Ct_Folio = ?", {folio});
  q.lines =
      sqlite_rows(database, "SELECT * FROM Cotizacion WHERE Ct_Folio = ? ORDER BY Ct_ID", {folio});
  for (Json* rows : {&q.header, &q.lines})
    for (Json& row : *rows) row.erase("Ct_Folio");
  q.history =
      sqlite_rows(database, "SELECT * FROM Historial_Seguimiento WHERE Hs_Documento = ?", {folio})
          .size();
  return q;
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

class CrashSafety : public quorlane::test::ProgramDirTest {
 protected:
  void init_database(const fs::path& database) {
    ProgramRun init = quorlane::test::spawn_program(
        dir, {QUORLANE_PROGRAM_PATH, "init", "--db", database.string(), "--demo"});
    ASSERT_EQ(init.status, 0) << init.err;
  }
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
  ProgramRun reference = import(dir, reference_db, reference_file);
  const auto reference_time = Clock::now() - reference_start;
  ASSERT_EQ(reference.status, 0) << reference.out << reference.err;
  std::vector<Json> reference_quotes = reported_quotes(reference.out);
  ASSERT_EQ(reference_quotes.size(), variants.size());
  std::vector<StoredQuote> expected;  // by variant
  for (const Json& quote : reference_quotes) {
    ASSERT_TRUE(quote["ok"].get<bool>()) << quote.dump();
    expected.push_back(stored_quote(reference_db, quote["folio"].get<std::string>()));
  }
  // The columns every line row of a normal import has a value in.
  std::set<std::string> always_written;
  Json reference_lines = sqlite_rows(reference_db, "SELECT * FROM Cotizacion");
  ASSERT_GE(reference_lines.size(), 4 * variants.size());
  for (const auto& [column, value] : reference_lines.front().items()) always_written.insert(column);
  for (const Json& row : reference_lines)
    for (const auto& [column, value] : row.items())
      if (value.is_null()) always_written.erase(column);
  EXPECT_GT(always_written.size(), 10u);
  for (const char* column : {"Ct_ID", "Pr_Cve_Producto", "Ct_Precio_Neto_Importe"})
    EXPECT_TRUE(always_written.count(column)) << column;

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
    ProgramRun run = import(dir, database, batch, after);
    EXPECT_TRUE(run.killed) << "the import ended by itself (status " << run.status << ")";
    for (Json& quote : reported_quotes(run.out)) {
      const size_t line = quote["line"].get<size_t>();
      done.emplace_back(std::move(quote), (line - 1) % variants.size());
    }
  }

  // ------------------------------------------ the crashed file, read directly
  EXPECT_EQ(sqlite_rows(database, "PRAGMA integrity_check"),
            Json::parse(R"([{"integrity_check": "ok"}])"));
  size_t incomplete = 0;
  for (const Json& row : sqlite_rows(database, "SELECT * FROM Cotizacion"))
    for (const std::string& column : always_written)
      if (row.at(column).is_null() && incomplete++ < 5)
        ADD_FAILURE() << "line row without " << column << ": " << row.dump();
  EXPECT_EQ(incomplete, 0u);

  EXPECT_FALSE(done.empty()) << "no run reported a quote before its kill";
  std::set<std::string> folios;
  for (const auto& [quote, variant] : done) {
    const std::string folio = quote["folio"].get<std::string>();
    SCOPED_TRACE("quote " + folio + " of document line " + quote["line"].dump());
    EXPECT_TRUE(folios.insert(folio).second) << "folio reported twice";
    EXPECT_TRUE(quote["ok"].get<bool>()) << quote.dump();
    StoredQuote stored = stored_quote(database, folio);
    EXPECT_EQ(stored.lines.size(), quote["rows"].size());
    ASSERT_EQ(stored.header.size(), 1u);
    // Finalised: the totals it reported are the header's.
    if (quote["finalized"].get<bool>()) {
      for (const auto& [column, value] : quote["totals"].items()) {
        ASSERT_TRUE(stored.header[0].at(column).is_number()) << column;
        EXPECT_DOUBLE_EQ(stored.header[0][column].get<double>(), value.get<double>()) << column;
      }
    }
    const StoredQuote& want = expected[variant];
    EXPECT_EQ(stored.header[0], want.header[0]);
    ASSERT_EQ(stored.lines.size(), want.lines.size());
    for (size_t i = 0; i < want.lines.size(); ++i)
      EXPECT_EQ(stored.lines[i], want.lines[i]) << "row " << i + 1;
    EXPECT_EQ(stored.history, want.history);
  }

  // ------------------------------------------ the crashed file goes on working
  ProgramRun after = import(dir, database, reference_file);
  EXPECT_EQ(after.status, 0) << after.out << after.err;
  EXPECT_EQ(reported_quotes(after.out).size(), variants.size());
  for (const Json& quote : reported_quotes(after.out)) {
    EXPECT_TRUE(quote["ok"].get<bool>()) << quote.dump();
    const size_t variant = quote["line"].get<size_t>() - 1;
    StoredQuote stored = stored_quote(database, quote["folio"].get<std::string>());
    EXPECT_EQ(stored.lines, expected[variant].lines);
  }
}

}  // namespace
