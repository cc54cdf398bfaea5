// `quorlane print` as a person reads its PDF: the text that pdftotext finds on each page, in
// order, and the pages that pdfinfo counts. The demo quote's first page is also rendered to a
// PNG in the build tree (artefacts/demo-quote.png) for a reviewer to look at.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <regex>
#include <string>
#include <vector>

#include "support/program_run.h"

namespace {

namespace fs = std::filesystem;
using quorlane::test::ProgramRun;
using quorlane::test::quoted;

const std::string kSource = QUORLANE_SOURCE_DIR;

// The pages of a text that pdftotext wrote (it ends each page with a form feed).
std::vector<std::string> pages_of(const std::string& text) {
  std::vector<std::string> pages;
  size_t start = 0;
  for (size_t end; (end = text.find('\f', start)) != std::string::npos; start = end + 1)
    pages.push_back(text.substr(start, end - start));
  return pages;
}

// Whether `parts` occur in `text` in that order; the first missing one otherwise.
std::string missing_in_order(const std::string& text, const std::vector<std::string>& parts) {
  size_t at = 0;
  for (const std::string& part : parts) {
    at = text.find(part, at);
    if (at == std::string::npos) return part;
    at += part.size();
  }
  return "";
}

class PrintTest : public quorlane::test::ProgramDirTest {
 protected:
  void SetUp() override {
    ProgramDirTest::SetUp();
    db = dir / "quotes.db";
    ASSERT_EQ(program("init --demo --db " + quoted(db.string())).status, 0);
  }
  ProgramRun on_db(const std::string& command, const std::string& args) {
    return program(command + " --db " + quoted(db.string()) + " " + args);
  }
  // Builds a quote from the demo document changed by `edit`; its folio.
  std::string quote(const std::function<void(nlohmann::json&)>& edit = {}) {
    std::ifstream in(kSource + "/examples/demo-quote.json");
    nlohmann::json document = nlohmann::json::parse(in);
    if (edit) edit(document);
    std::ofstream(dir / "quote.json") << document.dump();
    ProgramRun run = on_db("quote", "--json quote.json");
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    return nlohmann::json::parse(run.out).value("folio", "");
  }
  void sql(const std::string& statement, const std::vector<std::string>& params = {}) {
    quorlane::test::sqlite_rows(db, statement, params);
  }
  // The text of a PDF, laid out as on the page.
  std::string text_of(const std::string& pdf) {
    ProgramRun run = quorlane::test::run_shell(dir, "pdftotext -layout " + quoted(pdf) + " -");
    EXPECT_EQ(run.status, 0) << run.err;
    return run.out;
  }
  int pdfinfo_pages(const std::string& pdf) {
    ProgramRun run = quorlane::test::run_shell(dir, "pdfinfo " + quoted(pdf));
    std::smatch m;
    return std::regex_search(run.out, m, std::regex("Pages: +([0-9]+)")) ? std::stoi(m[1]) : -1;
  }
  // Every page carries the table's header and "Página N de M" with the right N and M.
  void expect_headed_and_numbered(const std::vector<std::string>& pages) {
    const std::string of = " de " + std::to_string(pages.size());
    for (size_t i = 0; i < pages.size(); ++i) {
      EXPECT_TRUE(std::regex_search(pages[i], std::regex("Part\\. +Producto +Talla +Color +"
                                                         "Cantidad +Precio lista")))
          << "page " << i + 1;
      EXPECT_NE(pages[i].find("Página " + std::to_string(i + 1) + of), std::string::npos)
          << "page " << i + 1;
    }
  }

  fs::path db;
};

TEST_F(PrintTest, DemoQuoteReadsInOrderAndShowsItsStatus) {
  ASSERT_EQ(quote(), "A0000000001");
  ProgramRun run = on_db("print", "A0000000001");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "Quote A0000000001 written to A0000000001.pdf (1 page).\n");
  EXPECT_EQ(pdfinfo_pages("A0000000001.pdf"), 1);
  const std::string text = text_of("A0000000001.pdf");
  // Folio, customer, each line in line order (the cap earned by the shirts right after them),
  // then the totals with the net amount last.
  EXPECT_EQ(missing_in_order(text, {"Cotización",
                                    "Folio A0000000001",
                                    "Fecha 05/12/2026",
                                    "Estado: Abierta",
                                    "C1 — Ferretería El Tornillo",
                                    "Lic. Marta Ruiz",
                                    "Pedido 4512",
                                    "V1 — Ana María López",
                                    "C30 — Crédito a 30 días",
                                    "Importe neto",
                                    "P3",
                                    "4,872.00",
                                    "Camisa manga larga",
                                    "P4 Regalo · Promoción",
                                    "0.00",
                                    "Gorra bordada",
                                    "P3",
                                    "1,190.16",
                                    "Camisa manga larga",
                                    "P4",
                                    "278.40",
                                    "Gorra bordada",
                                    "Importe de lista",
                                    "5,580.00 MXN",
                                    "Impuestos",
                                    "874.56 MXN",
                                    "Importe neto",
                                    "6,340.56 MXN",
                                    "Página 1 de 1"}),
            "")
      << text;
  EXPECT_EQ(text.find("Sin finalizar"), std::string::npos);

  // The picture a reviewer looks at.
  const fs::path artefacts = fs::path(QUORLANE_BINARY_DIR) / "artefacts";
  fs::create_directories(artefacts);
  EXPECT_EQ(quorlane::test::run_shell(dir, "pdftoppm -png -r 60 -singlefile A0000000001.pdf " +
                                               quoted((artefacts / "demo-quote").string()))
                .status,
            0);

  // Not finalised: marked so, and no totals. Cancelled: the status says so. US Letter paper.
  const std::string open = quote([](nlohmann::json& d) { d["finalizar"] = false; });
  ASSERT_EQ(on_db("cancel", quoted(open)).status, 0);
  ASSERT_EQ(on_db("print", "--paper letter -o open.pdf " + quoted(open)).status, 0);
  const std::string open_text = text_of("open.pdf");
  EXPECT_EQ(missing_in_order(open_text, {"Sin finalizar", "Estado: Cancelada", "Gorra bordada",
                                         "Sin finalizar. Esta cotización aún no se ha finalizado"}),
            "")
      << open_text;
  EXPECT_EQ(open_text.find("Importe de lista"), std::string::npos);
  EXPECT_NE(quorlane::test::run_shell(dir, "pdfinfo open.pdf").out.find("612 x 792 pts"),
            std::string::npos);
}

TEST_F(PrintTest, ThousandLinesRepeatTheHeaderOnEveryPageAndLoseNoLine) {
  ASSERT_EQ(quote([](nlohmann::json& d) {
              nlohmann::json cap = d["lines"][2];
              d["lines"] = nlohmann::json::array();
              for (int i = 0; i < 1000; ++i) d["lines"].push_back(cap);
              d["promociones"] = false;
            }),
            "A0000000001");
  int previous = 0;
  for (const char* paper : {"a4", "letter"}) {
    ASSERT_EQ(on_db("print", std::string("--paper ") + paper + " -o big.pdf A0000000001").status,
              0);
    const std::vector<std::string> pages = pages_of(text_of("big.pdf"));
    EXPECT_EQ(pdfinfo_pages("big.pdf"), static_cast<int>(pages.size()));
    // A line is two text lines high: some twenty to thirty lines a page.
    EXPECT_GE(pages.size(), 1000u / 30) << paper;
    EXPECT_LE(pages.size(), 1000u / 18 + 1) << paper;
    EXPECT_GE(static_cast<int>(pages.size()), previous);  // Letter is the shorter page
    previous = static_cast<int>(pages.size());
    expect_headed_and_numbered(pages);
    // Lines 1 to 1000, each once and in order, across the pages.
    std::string all;
    for (const std::string& page : pages) all += page;
    std::regex row("\n *([0-9]+) +P4 +U +NG +2 PZA +120\\.00");
    int expected = 1;
    for (auto it = std::sregex_iterator(all.begin(), all.end(), row); it != std::sregex_iterator();
         ++it, ++expected)
      ASSERT_EQ(std::stoi((*it)[1]), expected) << paper;
    EXPECT_EQ(expected, 1001) << paper;
    EXPECT_NE(pages.back().find("278,400.00 MXN"), std::string::npos) << pages.back();
  }
}

TEST_F(PrintTest, CatalogueTextIsPrintedWholeInAnyScript) {
  const std::string names = "日本語 Ωμέγα Señora Müller";
  std::string long_description;
  std::vector<std::string> words;
  for (int i = 0; long_description.size() < 10000; ++i) {
    words.push_back("palabra" + std::to_string(10000 + i));
    long_description += (i ? " " : "") + words.back();
  }
  sql("UPDATE Producto SET Pr_Descripcion = ? WHERE Pr_Cve_Producto = 'P4'", {names});
  sql("UPDATE Producto SET Pr_Descripcion = ? WHERE Pr_Cve_Producto = 'P3'", {long_description});
  ASSERT_EQ(quote(), "A0000000001");
  ASSERT_EQ(on_db("print", "-o catalogue.pdf A0000000001").status, 0);
  const std::vector<std::string> pages = pages_of(text_of("catalogue.pdf"));
  std::string all;
  for (const std::string& page : pages) all += page;
  // The two shirt lines wrap their description over several pages each, word by word in order.
  std::vector<std::string> expected = words;
  expected.push_back(names);  // the cap they earn
  expected.insert(expected.end(), words.begin(), words.end());
  expected.push_back(names);
  EXPECT_EQ(missing_in_order(all, expected), "");
  EXPECT_GT(pages.size(), 4u);
  expect_headed_and_numbered(pages);
}

TEST_F(PrintTest, BadInputGivesAClearMessageAndLeavesNoFile) {
  ASSERT_EQ(quote(), "A0000000001");
  const std::string deleted = quote([](nlohmann::json& d) { d["finalizar"] = false; });
  ASSERT_EQ(on_db("delete", quoted(deleted)).status, 0);
  std::ofstream(dir / "kept.pdf") << "an earlier document";
  fs::create_directory(dir / "folder");
  struct Case {
    std::string args, error;
  };
  for (const Case& c : std::vector<Case>{
           {"Z999", "quorlane print: no quote with folio Z999\n"},
           {"-o kept.pdf Z999", "quorlane print: no quote with folio Z999\n"},
           {"-o kept.pdf " + deleted,
            "quorlane print: no quote with folio " + deleted + ": the quote was deleted\n"},
           {"-o missing/quote.pdf A0000000001",
            "quorlane print: cannot write 'missing/quote.pdf': No such file or directory\n"},
           // Written in full, then refused where it was to go.
           {"-o folder A0000000001", "quorlane print: cannot write 'folder': Is a directory\n"}}) {
    ProgramRun run = on_db("print", c.args);
    EXPECT_EQ(run.status, 1) << c.args;
    EXPECT_EQ(run.out, "") << c.args;
    EXPECT_EQ(run.err, c.error) << c.args;
  }
  EXPECT_EQ(quorlane::test::file_text(dir / "kept.pdf"), "an earlier document");
  EXPECT_TRUE(fs::is_empty(dir / "folder"));
  std::vector<std::string> left;
  for (const fs::directory_entry& e : fs::directory_iterator(dir)) {
    std::string name = e.path().filename().string();
    if (name.find("quotes.db") != 0) left.push_back(name);
  }
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left,
            (std::vector<std::string>{"folder", "kept.pdf", "quote.json", "stderr", "stdin"}));
}

}  // namespace
