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
  // Admits a line that must be refused, and returns Error.
  std::string refusal() {
    EXPECT_FALSE(add());
    return quote->get_Error();
  }
  // "Quorlane.dll - <routine>()" as this twin names it: the object's routines end in 2.
  std::string routine_source(const std::string& routine) const {
    return "Quorlane.dll - " + routine + (object() ? "2()" : "()");
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
