// The main job of the built quorlane program on the embedded database: the README's demo run,
// quote documents (valid, invalid, refused lines), import, show and the status commands. The
// database is checked directly after each run.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/program_run.h"

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

using Result = quorlane::test::ProgramRun;
using quorlane::test::quoted;

size_t occurrences(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// `actual` with only the members named.
Json only(const Json& actual, std::initializer_list<const char*> names) {
  Json out = Json::object();
  for (const char* name : names) out[name] = actual.value(name, Json());
  return out;
}

const std::string kSource = QUORLANE_SOURCE_DIR;

class MainJob : public quorlane::test::ProgramDirTest {
 protected:
  void SetUp() override {
    ProgramDirTest::SetUp();
    db = dir / "quotes.db";
  }

  // Runs a shell command line in the test's directory.
  Result shell(const std::string& command_line, const std::string& input = "") {
    return quorlane::test::run_shell(dir, command_line, input);
  }
  // The program on the test's database with a fixed operator and clock.
  Result on_db(const std::string& command, const std::string& args, const std::string& input = "") {
    return program(command + " --db " + quoted(db.string()) +
                       " --operator PRUEBA --clock 2026-12-05T10:30:00 " + args,
                   input);
  }
  void init_demo() { ASSERT_EQ(program("init --demo --db " + quoted(db.string())).status, 0); }

  // The rows of a query, each as a JSON object of column to value as SQLite holds it.
  Json rows(const std::string& sql, const std::vector<std::string>& params = {}) {
    return quorlane::test::sqlite_rows(db, sql, params);
  }
  long long count(const std::string& sql) { return rows(sql)[0].begin()->get<long long>(); }
  // Everything a quote document may write, in one comparable value.
  Json written() {
    return Json{{"lines", count("SELECT COUNT(*) FROM Cotizacion")},
                {"headers", count("SELECT COUNT(*) FROM Cotizacion_Encabezado")},
                {"folios", rows("SELECT Sc_Cve_Sucursal, Fo_Ultimo FROM Folio ORDER BY 1")},
                {"registered", count("SELECT COUNT(*) FROM Documento_Registro")},
                {"history", count("SELECT COUNT(*) FROM Historial_Seguimiento")}};
  }
  fs::path write(const std::string& name, const std::string& text) {
    fs::path p = dir / name;
    std::ofstream(p, std::ios::binary) << text;
    return p;
  }

  fs::path db;
};

const char* const kHeader =
    R"("header": {"Ct_Fecha": "2026-12-05", "Mn_Cve_Moneda": "MXN", "Ct_Tipo_Cambio": 1,
       "Sucursal": {"Sc_Cve_Sucursal": "S1"}, "Almacen": {"Al_Cve_Almacen": "A1"},
       "Cliente": {"Cl_Cve_Cliente": "C1"}, "Vendedor": {"Vn_Cve_Vendedor": "V1"}})";

std::string line(const std::string& product, double quantity, const std::string& unit, double price,
                 const std::string& more = "") {
  std::ostringstream s;
  s << R"({"Producto": {"Pr_Cve_Producto": ")" << product << R"("}, "Ct_Cantidad_1": )" << quantity
    << R"(, "Ct_Unidad_1": ")" << unit << R"(", "Ct_Precio_Lista": )" << price << more << "}";
  return s.str();
}

// One document of `lines` lines of P1, finalised, as one line of text.
std::string long_document(int lines) {
  std::string doc = std::string("{") + kHeader + R"(, "lines": [)";
  for (int i = 0; i < lines; ++i) doc += (i ? ", " : "") + line("P1", 1 + i % 5, "PZA", 2);
  doc += R"(], "finalizar": true})";
  std::replace(doc.begin(), doc.end(), '\n', ' ');
  return doc;
}

TEST_F(MainJob, DemoScriptPrintsAFinalisedQuoteWithItsPromotionLine) {
  const std::string demo_run = quoted(kSource + "/scripts/demo") + " --program " +
                               quoted(QUORLANE_PROGRAM_PATH) + " --db " + quoted(db.string());
  Result demo = shell(demo_run);
  ASSERT_EQ(demo.status, 0) << demo.out << demo.err;
  // The quote: the shirts' line, the cap it earns, the other two lines; the totals twice
  // (quote, show).
  for (const char* line :
       {R"(\n +1 +0001 +P3 +M +BL +12 +PZA +350\.00 +0\.00 +672\.00 +4872\.00\n)",
        R"(\n +0002 +P4 +U +NG +1 +PZA +0\.00 +0\.00 +0\.00 +0\.00 +)"
        R"(promotion: \*PROMOCION\* Gorra bordada\n)",
        R"(\n +2 +0003 +P3 +G +AZ +3 +PZA +380\.00 +114\.00 +164\.16 +1190\.16\n)"})
    EXPECT_TRUE(std::regex_search(demo.out, std::regex(line))) << line << "\n" << demo.out;
  for (const auto& [text, times] : std::vector<std::pair<std::string, size_t>>{
           {"  Net amount         6340.56\n", 2},
           {"  Tax                 874.56\n", 2},
           {"3 of 3 lines stored, 1 promotion line added; quote finalised.\n", 1},
           {"Quote A0000000001  status AC (open)", 1},
           {"Registro de cotización  CLIENTE C1", 1}})
    EXPECT_EQ(occurrences(demo.out, text), times) << text;

  // The list price total and the promotion line as stored ("show" printed the net and tax).
  EXPECT_EQ(rows("SELECT Ct_Precio_Lista_Importe FROM Cotizacion_Encabezado"),
            Json::parse(R"([{"Ct_Precio_Lista_Importe": 5580}])"));
  EXPECT_EQ(rows("SELECT Pr_Cve_Producto, Ct_Precio_Neto_Importe FROM Cotizacion WHERE Ct_ID = "
                 "'0002'"),
            Json::parse(R"([{"Pr_Cve_Producto": "P4", "Ct_Precio_Neto_Importe": 0}])"));
  EXPECT_EQ(count("SELECT COUNT(*) FROM Cotizacion"), 4);

  // A second run starts again from a fresh database.
  EXPECT_EQ(shell(demo_run).status, 0);
  EXPECT_EQ(count("SELECT COUNT(*) FROM Cotizacion_Encabezado"), 1);
}

TEST_F(MainJob, InvalidDocumentNamesTheBadFieldAndWritesNothing) {
  init_demo();
  Json before = written();
  fs::path bad = write("bad.json", std::string("{") + kHeader + R"(, "lines": [)" +
                                       line("P1", 1, "PZA", 2) + ", " + line("P1", 1, "PZA", 2) +
                                       R"(, {"Producto": {"Pr_Cve_Producto": "P1"},
                  "Ct_Cantidad_1": "doce", "Ct_Unidad_1": "PZA", "Ct_Descuento": 0.1}],
                  "finalizar": true})");
  Result run = on_db("quote", quoted(bad.string()));
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "quorlane quote: " + bad.string() +
                         " is not a valid quote document:\n"
                         "  lines[2].Ct_Cantidad_1: expected a number\n"
                         "  lines[2].Ct_Descuento: unknown field of tCtDetalle\n"
                         "Nothing was written. Run 'quorlane quote --help' for the document's "
                         "form.\n");
  EXPECT_EQ(written(), before);

  // The same for programs, from standard input; a missing header field and broken JSON too.
  Result json =
      on_db("quote", "--json -",
            R"({"header": {"Mn_Cve_Moneda": "MXN"}, "lines": [)" + line("P1", 1, "PZA", 2) + "]}");
  EXPECT_EQ(json.status, 2);
  Json answer = Json::parse(json.out);
  EXPECT_EQ(answer["ok"], false);
  ASSERT_EQ(answer["invalid"].size(), 5u) << json.out;
  EXPECT_EQ(answer["invalid"][0],
            (Json{{"path", "header.Ct_Tipo_Cambio"}, {"problem", "missing: a required field"}}));
  Result broken = on_db("quote", "-", "{\"header\": ");
  EXPECT_EQ(broken.status, 2);
  EXPECT_NE(broken.err.find("  document: not JSON: "), std::string::npos) << broken.err;
  // More lines than a quote can number: refused before the first is written.
  Result too_long = on_db("quote", quoted(write("long.json", long_document(32768)).string()));
  EXPECT_EQ(too_long.status, 2);
  EXPECT_NE(too_long.err.find("\n  lines: 32768 lines: a quote holds at most 32767 lines\n"),
            std::string::npos)
      << too_long.err;
  EXPECT_EQ(written(), before);
}

TEST_F(MainJob, RefusedLinesAreReportedWithErrorAndMessagesAndTheRestIsStored) {
  init_demo();
  // Line 2 carries a field only the component may fill: the setter refuses it through the
  // message service. Line 3 has a fraction of a unit that allows none: admission refuses it.
  fs::path doc = write(
      "refused.json", std::string("{") + kHeader + R"(, "lines": [)" + line("P1", 10, "PZA", 2) +
                          ", " + line("P1", 1, "PZA", 2, R"(, "Ct_Cantidad_Control_1": 3)") + ", " +
                          line("P6", 2.5, "PZA", 100) + ", " + line("P5", 2, "CAJ", 180) +
                          R"(], "finalizar": true})");
  Result run = on_db("quote", "--json " + quoted(doc.string()));
  EXPECT_EQ(run.status, 1) << run.err;
  Json q = Json::parse(run.out);
  // A quote with refused lines is left open unless --finalize-partial says otherwise.
  EXPECT_EQ(only(q, {"ok", "folio", "finalized", "error", "totals"}),
            (Json{{"ok", false},
                  {"folio", "A0000000001"},
                  {"finalized", false},
                  {"error",
                   "2 lines were refused, so the quote was left open ('quorlane finalize "
                   "A0000000001' or --finalize-partial finalises the lines stored)"},
                  {"totals", nullptr}}));
  EXPECT_EQ(count("SELECT COUNT(*) FROM Historial_Seguimiento"), 0);
  ASSERT_EQ(q["lines"].size(), 4u);
  EXPECT_EQ(only(q["lines"][1], {"stored", "error"}),
            (Json{{"stored", false},
                  {"error", "El parámetro Ct_Cantidad_Control_1, es de solo lectura!"}}));
  EXPECT_EQ(q["lines"][2]["error"],
            "La unidad de control: PZA, no permite el uso de fracciones\r\nCantidad-1: 2.5");
  EXPECT_EQ(q["lines"][3]["ids"], Json::array({"0002"}));
  ASSERT_EQ(q["messages"].size(), 1u);
  EXPECT_EQ(only(q["messages"][0], {"position", "id", "source"}),
            (Json{{"position", 2},
                  {"id", "ERR-ID:7500001"},
                  {"source", "Quorlane.dll - Property Let Detalle()"}}));
  // The refused line did not store the previous line a second time.
  EXPECT_EQ(rows("SELECT Ct_ID, Pr_Cve_Producto FROM Cotizacion ORDER BY Ct_ID"),
            Json::parse(R"([{"Ct_ID": "0001", "Pr_Cve_Producto": "P1"},
                            {"Ct_ID": "0002", "Pr_Cve_Producto": "P5"}])"));
  // show marks it, instead of printing the header's empty totals.
  Result shown = program("show --db " + quoted(db.string()) + " A0000000001");
  EXPECT_NE(shown.out.find("Quote A0000000001  status AC (open), never finalised\n"),
            std::string::npos)
      << shown.out;
  EXPECT_NE(shown.out.find("\nNo totals: the quote was never finalised ('quorlane finalize "
                           "A0000000001' totals its lines).\n"),
            std::string::npos);
  EXPECT_EQ(shown.out.find("Net amount"), std::string::npos);

  Result table = on_db("quote", "--finalize-partial " + quoted(doc.string()));
  EXPECT_EQ(table.status, 1);
  // Totals of the two stored lines: 20 + 16% and 360 + 16%.
  EXPECT_EQ(occurrences(table.out, "  Net amount         440.80\n"), 1u) << table.out;
  for (const char* text :
       {"Refused lines\n"
        "  line 2 (P1): El parámetro Ct_Cantidad_Control_1, es de solo lectura!\n"
        "  line 3 (P6): La unidad de control: PZA, no permite el uso de fracciones\n"
        "      Cantidad-1: 2.5\n",
        "  line 2: [ERR-ID:7500001] Quorlane.dll - Property Let Detalle(): "
        "El parámetro Ct_Cantidad_Control_1, es de solo lectura!\n",
        "2 of 4 lines stored, 2 refused; quote finalised.\n"})
    EXPECT_EQ(occurrences(table.out, text), 1u) << text << "\n" << table.out;
}

TEST_F(MainJob, ObjectShapeDocumentGoesThroughTheObjectTwins) {
  init_demo();
  Result run = on_db("quote", "--json " + quoted(kSource + "/examples/object-quote.json"));
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  Json q = Json::parse(run.out);
  EXPECT_EQ(q["shape"], "object");
  EXPECT_EQ(q["rows"].size(), 4u);
  EXPECT_EQ(q["totals"]["Ct_Impuesto_Importe"], 10);  // exempt customer: only the fee
  EXPECT_DOUBLE_EQ(q["totals"]["Ct_Precio_Neto_Importe"].get<double>(), 10007.5);
  // The soft drinks' line in boxes: 24 pieces in the control unit, and its fee in the row.
  Json drinks = rows(
      "SELECT Ct_Cantidad_Control_1, Ct_Cuota_Fija, Ct_Almacen_Inventario "
      "FROM Cotizacion WHERE Pr_Cve_Producto = 'P5'");
  EXPECT_EQ(drinks, Json::parse(
                        R"([{"Ct_Cantidad_Control_1": 24, "Ct_Cuota_Fija": 5,
                            "Ct_Almacen_Inventario": "A1"}])"));
}

TEST_F(MainJob, ImportStoresEveryGoodQuoteAndReportsEveryBadOne) {
  init_demo();
  std::string head = std::string("{") + kHeader + R"(, "lines": [)";
  std::replace(head.begin(), head.end(), '\n', ' ');  // one document a line
  // Documents 13, 53, 93, 133 and 173 are invalid; every 20th from 7 has a second line whose
  // product has no conversion from boxes, refused.
  // Each invalid document with the start of its problem's text.
  const std::pair<std::string, std::string> invalid[] = {
      {"{not json", "document: not JSON: "},
      {head + line("P1", 1, "PZA", 2) + R"(], "finalise": true})",
       "finalise: unknown field of the quote document"},
      {head + "]}", ""},
      {head + R"({"Producto": {"Pr_Cve_Producto": 1}, "Ct_Cantidad_1": 1, "Ct_Unidad_1": "PZA"}]})",
       ""},
      {R"({"lines": [)" + line("P1", 1, "PZA", 2) + "]}", ""}};
  std::string file;
  std::vector<int> invalid_lines, refused_lines;
  int expected_rows = 0;
  long long finalised = 0;
  for (int n = 1; n <= 200; ++n) {
    if (n % 40 == 13) {
      invalid_lines.push_back(n);
      file += invalid[n / 40].first;
    } else if (n % 20 == 7) {
      refused_lines.push_back(n);
      file += head + line("P1", n, "PZA", 2.5) + ", " + line("P6", 1, "CAJ", 100) +
              R"(], "finalizar": true})";
      expected_rows += 1;  // and not finalised
    } else {
      file += head + line("P1", n, "PZA", 2.5) + ", " + line("P5", 1 + n % 3, "CAJ", 180) +
              R"(], "finalizar": )" + (n % 2 ? "true" : "false") + "}";
      expected_rows += 2;
      finalised += n % 2;
    }
    file += n % 50 == 0 ? "\n\n" : "\n";  // blank lines are skipped
  }
  fs::path input = write("quotes.jsonl", file);

  Result run = on_db("import", quoted(input.string()));
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "");  // no progress bar when standard error is not a terminal
  const size_t good = 200 - invalid_lines.size();
  EXPECT_EQ(count("SELECT COUNT(*) FROM Cotizacion_Encabezado"), static_cast<long long>(good));
  EXPECT_EQ(count("SELECT COUNT(*) FROM Cotizacion"), expected_rows);
  EXPECT_EQ(count("SELECT COUNT(*) FROM Cotizacion_Encabezado WHERE Ct_Precio_Neto_Importe > 0"),
            finalised);

  // Every bad document and every refused line is reported, at its line of the file (the blank
  // lines after documents 50, 100 and 150 count).
  auto at = [&](int n) { return input.string() + ":" + std::to_string(n + (n - 1) / 50) + ": "; };
  for (int n : invalid_lines)
    EXPECT_EQ(occurrences(run.out, at(n) + "invalid document: " + invalid[n / 40].second), 1u) << n;
  for (int n : refused_lines)
    EXPECT_EQ(occurrences(run.out, at(n) + "  line 2 (P6) refused: No existe conversión de la "
                                           "unidad: CAJ, a la unidad: PZA, para el producto: P6\n"),
              1u)
        << n;
  EXPECT_EQ(occurrences(run.out, ": quote A"), good);
  EXPECT_NE(run.out.find("Imported 200 documents in "), std::string::npos);
  std::vector<int> failed = invalid_lines;
  failed.insert(failed.end(), refused_lines.begin(), refused_lines.end());
  std::sort(failed.begin(), failed.end());
  std::string failed_text = "Lines without a complete quote:";
  for (int n : failed) failed_text += " " + std::to_string(n + (n - 1) / 50);
  EXPECT_NE(run.out.find(": 195 quotes (185 complete), " + std::to_string(expected_rows) +
                         " lines stored (0 promotion), 10 lines refused, 5 invalid documents.\n" +
                         failed_text + "\n"),
            std::string::npos)
      << run.out.substr(run.out.rfind("Imported"));

  // The folios reported are the folios stored.
  Json folios = rows("SELECT Ct_Folio FROM Cotizacion_Encabezado ORDER BY Ct_Folio");
  for (const Json& f : folios)
    EXPECT_NE(run.out.find(": quote " + f["Ct_Folio"].get<std::string>() + ": "),
              std::string::npos);

  // --quiet: the same problems and summary, none of the complete quotes.
  Result quiet = on_db("import", "--quiet " + quoted(input.string()));
  EXPECT_EQ(quiet.status, 1);
  EXPECT_EQ(occurrences(quiet.out, ": quote A"), refused_lines.size());
  EXPECT_EQ(occurrences(quiet.out, "invalid document: "), invalid_lines.size());
  EXPECT_NE(quiet.out.find(failed_text + "\n"), std::string::npos);
}

TEST_F(MainJob, ShowJsonIsWhatTheDatabaseHoldsAndStatusCommandsReportTheComponentsError) {
  init_demo();
  ASSERT_EQ(on_db("quote", quoted(kSource + "/examples/demo-quote.json")).status, 0);
  Result show = program("show --json --db " + quoted(db.string()) + " A0000000001");
  ASSERT_EQ(show.status, 0) << show.err;
  Json shown = Json::parse(show.out);
  EXPECT_EQ(shown["folio"], "A0000000001");
  EXPECT_EQ(shown["header"],
            rows("SELECT * FROM Cotizacion_Encabezado WHERE Ct_Folio = ?", {"A0000000001"})[0]);
  EXPECT_EQ(shown["lines"],
            rows("SELECT * FROM Cotizacion WHERE Ct_Folio = ? ORDER BY Ct_ID", {"A0000000001"}));
  EXPECT_EQ(shown["history"], rows("SELECT * FROM Historial_Seguimiento WHERE Hs_Documento = ? "
                                   "ORDER BY Hs_ID",
                                   {"A0000000001"}));
  EXPECT_EQ(shown["header"]["Oper_Alta"], "PRUEBA");
  Result unknown = program("show --db " + quoted(db.string()) + " A0000000099");
  EXPECT_EQ(unknown.status, 1);
  EXPECT_EQ(unknown.out, "");
  EXPECT_EQ(unknown.err, "quorlane show: " + db.string() + ": no quote with folio A0000000099\n");

  auto status_of = [&] {
    return rows(
        "SELECT DISTINCT Es_Cve_Estado FROM Cotizacion UNION "
        "SELECT Es_Cve_Estado FROM Cotizacion_Encabezado");
  };

  Result authorize = on_db("authorize", "A0000000001");
  EXPECT_EQ(authorize.status, 0);
  EXPECT_EQ(authorize.out, "Quote A0000000001 authorised.\n");
  EXPECT_EQ(status_of(), Json::parse(R"([{"Es_Cve_Estado": "AU"}])"));

  Result remove = on_db("delete", "A0000000001");
  EXPECT_EQ(remove.status, 1);
  EXPECT_EQ(remove.out,
            "Quote A0000000001 was not deleted: Imposible eliminar la cotización: "
            "A0000000001, con estado: AU\n");
  EXPECT_EQ(count("SELECT COUNT(*) FROM Cotizacion"), 4);

  Result cancel = on_db("cancel", "--json A0000000001");
  EXPECT_EQ(cancel.status, 0);
  EXPECT_EQ(Json::parse(cancel.out)["ok"], true);
  EXPECT_EQ(status_of(), Json::parse(R"([{"Es_Cve_Estado": "CA"}])"));

  // A second quote, rejected: its header and its lines, and only they, take the rejected status.
  ASSERT_EQ(on_db("quote", quoted(kSource + "/examples/demo-quote.json")).status, 0);
  Result reject = on_db("reject", "A0000000002");
  EXPECT_EQ(reject.status, 0) << reject.err;
  EXPECT_EQ(reject.out, "Quote A0000000002 rejected.\n");
  EXPECT_EQ(rows("SELECT Ct_Folio, Es_Cve_Estado FROM Cotizacion_Encabezado UNION "
                 "SELECT DISTINCT Ct_Folio, Es_Cve_Estado FROM Cotizacion ORDER BY 1"),
            Json::parse(R"([{"Ct_Folio": "A0000000001", "Es_Cve_Estado": "CA"},
                            {"Ct_Folio": "A0000000002", "Es_Cve_Estado": "RZ"}])"));

  // An unknown or deleted folio: one message in every command, not the component's own.
  Result finalize = on_db("finalize", "--json ''");
  EXPECT_EQ(finalize.status, 1);
  EXPECT_EQ(Json::parse(finalize.out)["error"], "no quote with an empty folio");
  for (const char* command : {"finalize", "authorize", "reject", "cancel", "delete"}) {
    Result missing = on_db(command, "Z999");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(missing.err, std::string("quorlane ") + command + ": no quote with folio Z999\n");
  }
  ASSERT_EQ(on_db("quote", "--json " + quoted(kSource + "/examples/demo-quote.json")).status, 0);
  ASSERT_EQ(on_db("delete", "A0000000003").status, 0);
  Result deleted = program("show --db " + quoted(db.string()) + " A0000000003");
  EXPECT_EQ(deleted.status, 1);
  EXPECT_EQ(deleted.err, "quorlane show: " + db.string() + ": quote A0000000003 was deleted\n");
  EXPECT_EQ(on_db("finalize", "A0000000003").err,
            "quorlane finalize: quote A0000000003 was deleted\n");
}

// A connection of this process to the file, for holding its write lock.
struct OtherConnection {
  explicit OtherConnection(const fs::path& path) {
    sqlite3_open(path.c_str(), &db);
    sqlite3_busy_timeout(db, 10000);
  }
  ~OtherConnection() { sqlite3_close(db); }
  bool exec(const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
  }
  long long lines() {
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, "SELECT COUNT(*) FROM Cotizacion", -1, &stmt, nullptr);
    long long n = sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_int64(stmt, 0) : -1;
    sqlite3_finalize(stmt);
    return n;
  }
  sqlite3* db = nullptr;
};

TEST_F(MainJob, ALockedDatabaseStopsTheRunWithItsOwnStatusAndNeverFinalisesWhatItBuilt) {
  init_demo();
  const Json before = written();
  {
    // Locked from the start: one wait, then one message, and nothing written.
    OtherConnection other(db);
    ASSERT_TRUE(other.exec("BEGIN IMMEDIATE"));
    const std::pair<const char*, std::string> runs[] = {
        {"quote", kSource + "/examples/demo-quote.json"},
        {"import", kSource + "/examples/import.jsonl"}};
    for (const auto& [command, file] : runs) {
      Result run = on_db(command, "--busy-timeout 0.2 " + quoted(file));
      EXPECT_EQ(run.status, 4) << run.out;
      EXPECT_EQ(run.out, "");
      EXPECT_EQ(run.err, std::string("quorlane ") + command + ": database " + db.string() +
                             " is locked by another process\nNothing was written.\n");
    }
  }
  EXPECT_EQ(written(), before);

  // Locked while a document is being built: the run stops after the line in progress, and the
  // quote, though the lock is gone by then, is not finalised.
  fs::path doc = write("long.json", long_document(3000));
  bool done = false;
  std::thread holder([&] {
    OtherConnection other(db);
    while (!done && other.lines() <= 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (!other.exec("BEGIN IMMEDIATE")) return;
    while (!done) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    other.exec("ROLLBACK");
  });
  Result run = on_db("quote", "--busy-timeout 0.3 --json " + quoted(doc.string()));
  done = true;
  holder.join();
  EXPECT_EQ(run.status, 4) << run.err;
  Json q = Json::parse(run.out);
  EXPECT_EQ(only(q, {"ok", "stopped", "document_lines", "finalized"}),
            Json::parse(R"({"ok": false, "stopped": "locked", "document_lines": 3000,
                            "finalized": false})"));
  const size_t handed = q["lines"].size();
  EXPECT_LT(handed, 3000u);
  EXPECT_EQ(run.err, "quorlane quote: database " + db.string() +
                         " is locked by another process; stopped after line " +
                         std::to_string(handed) + " of 3000.\n");
  EXPECT_EQ(count("SELECT COUNT(*) FROM Cotizacion"), static_cast<long long>(q["rows"].size()));
  EXPECT_EQ(count("SELECT COUNT(*) FROM Historial_Seguimiento"), 0);
}

TEST_F(MainJob, InterruptedImportReportsEveryTouchedQuoteAndResumesWithoutDuplicates) {
  init_demo();
  constexpr int kDocuments = 30;
  std::string file;
  for (int n = 0; n < kDocuments; ++n) file += long_document(150) + "\n";
  fs::path input = write("quotes.jsonl", file);
  const std::string import = quoted(QUORLANE_PROGRAM_PATH) + " import --db " + quoted(db.string()) +
                             " --operator PRUEBA --clock 2026-12-05T10:30:00 --json ";
  // Ctrl-C as soon as the first quote has been reported.
  const std::string out_file = quoted((dir / "out.jsonl").string());
  Result run = shell("{ " + import + quoted(input.string()) + " > " + out_file +
                     " & } ; pid=$!; while [ ! -s " + out_file +
                     " ]; do sleep 0.01; done; kill -INT $pid; wait $pid; echo status $?");
  EXPECT_EQ(run.out, "status 130\n") << run.err;
  std::vector<Json> reported;
  Json summary;
  std::istringstream out(quorlane::test::file_text(dir / "out.jsonl"));
  for (std::string text; std::getline(out, text);) {
    Json j = Json::parse(text);
    if (j.contains("summary"))
      summary = j["summary"];
    else
      reported.push_back(j);
  }
  ASSERT_FALSE(reported.empty());
  EXPECT_EQ(summary["stopped"], "interrupted");
  const size_t resume = summary["resume_from_line"].get<size_t>();
  ASSERT_LT(resume, static_cast<size_t>(kDocuments));

  // Every quote the database holds was reported, with the rows it holds.
  std::set<std::string> stored_folios, reported_folios;
  for (const Json& r : rows("SELECT Ct_Folio FROM Cotizacion_Encabezado"))
    stored_folios.insert(r["Ct_Folio"].get<std::string>());
  for (const Json& q : reported) {
    reported_folios.insert(q["folio"].get<std::string>());
    EXPECT_EQ(count("SELECT COUNT(*) FROM Cotizacion WHERE Ct_Folio = '" +
                    q["folio"].get<std::string>() + "'"),
              static_cast<long long>(q["rows"].size()));
    EXPECT_EQ(q["ok"], q["line"].get<size_t>() < resume) << q.dump().substr(0, 200);
  }
  EXPECT_EQ(reported_folios, stored_folios);
  // The document being built when the signal came: stored so far, open, and named.
  if (!summary["open_quote"].is_null()) {
    EXPECT_EQ(only(reported.back(), {"folio", "stopped", "finalized", "line"}),
              (Json{{"folio", summary["open_quote"]},
                    {"stopped", "interrupted"},
                    {"finalized", false},
                    {"line", resume}}));
    ASSERT_EQ(on_db("delete", summary["open_quote"].get<std::string>()).status, 0);
  }

  // Resumed where the report says: every document once, finalised once.
  Result rest =
      shell(import + "--from-line " + std::to_string(resume) + " " + quoted(input.string()));
  EXPECT_EQ(rest.status, 0) << rest.err;
  EXPECT_EQ(count("SELECT COUNT(DISTINCT Ct_Folio) FROM Cotizacion"), kDocuments);
  EXPECT_EQ(count("SELECT COUNT(*) FROM Cotizacion"), kDocuments * 150);
  EXPECT_EQ(count("SELECT COUNT(*) FROM Historial_Seguimiento"), kDocuments);
}

}  // namespace
