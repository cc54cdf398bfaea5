// The fixture of the line tests: a fake host whose catalogue holds every key unless a test
// withdraws it, a folio series, and one quote driven through the record or the object twin
// (the test parameter).
#pragma once

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "frame/publico.h"
#include "support/host_test.h"
#include "support/quote_state.h"

namespace quorlane::test {

using Access = CotizacionTestAccess;

class LineTest : public HostTest, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    host->set("cSistema", "Servidor_Actual", "S1");
    host->on("cDatos", "Obtener_Campo", [this](std::vector<Variant>& a) -> Variant {
      if (a[3].raw_text() == "Cl_Bloqueado") return blocked;
      if (missing.count(a[0].raw_text() + ":" + a[2].raw_text())) return "";
      return "Descripción";
    });
    host->on("cDatos", "Obtener_Folio", [this](std::vector<Variant>&) -> Variant {
      return next_folio < folios.size() ? folios[next_folio++] : std::string("F-999");
    });
  }

  // Creates the quote (running start-up) with a complete header and line, and forgets the calls.
  void create_quote() {
    quote = Cotizacion::create();
    fill_header(shape());
    fill_line(shape());
    boundary->take_calls();
  }

  bool object() const { return GetParam(); }
  Cotizacion& q() { return *quote; }
  QuoteShape& shape() {
    shape_ = Access::shape(*quote, object());
    return *shape_;
  }
  bool add() {
    return object() ? quote->Add_Cotizacion_Detalle2() : quote->Add_Cotizacion_Detalle();
  }
  std::string folio() { return object() ? quote->get_Folio2() : quote->get_Folio(); }
  std::string line_id() { return shape().text(D::Ct_ID); }
  // The source text of the admission routine of this twin.
  std::string admission_source() const {
    return object() ? "Quorlane.dll - Add_Cotizacion_Detalle2()"
                    : "Quorlane.dll - Add_Cotizacion_Detalle()";
  }

  // The calls since the last take, with each statement shortened to its first three words.
  std::vector<std::string> brief_calls() {
    std::vector<std::string> out;
    for (const CallRecord& c : boundary->take_calls()) {
      if (c.service == "Connection" && c.operation == "Execute") {
        const std::string& sql = c.args[0].raw_text();
        size_t end = 0;
        for (int words = 0; words < 3 && end != std::string::npos; ++words)
          end = sql.find(' ', end + 1);
        out.push_back("Connection.Execute(" + sql.substr(0, end) +
                      (c.failed ? ") !! " + c.error : ")"));
      } else {
        out.push_back(call_text(c));
      }
    }
    return out;
  }

  // Statements of table Cotizacion (line rows) among the statements given.
  static std::vector<std::string> line_rows(const std::vector<std::string>& statements) {
    std::vector<std::string> out;
    for (const std::string& s : statements)
      if (s.rfind("INSERT INTO Cotizacion (", 0) == 0) out.push_back(s);
    return out;
  }

  std::set<std::string> missing;  // "Table:key" that the catalogue does not hold
  std::string blocked = "NO";     // every customer's Cl_Bloqueado
  std::vector<std::string> folios = {"F-100"};
  size_t next_folio = 0;
  Ref<Cotizacion> quote;

 private:
  std::unique_ptr<QuoteShape> shape_;
};

inline std::string twin_name(const ::testing::TestParamInfo<bool>& info) {
  return info.param ? "Object" : "Record";
}

}  // namespace quorlane::test
