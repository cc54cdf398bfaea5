// Fixture of the lifecycle tests: a quote on the recording fake host whose database answers the
// status query with `status_rows` and the totals query with `totals`, and logs every statement
// and every closing of a result set in `events`, in order.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "model/cotizacion.h"
#include "support/host_test.h"

namespace quorlane::test {

// The source line in front of every error-exit text of finalisation.
inline constexpr const char* kFinalise = "Quorlane.dll - Finalizar_Cotizacion()\r\n";

// A result set that notes in the event log when it is closed.
class LoggedRecordset final : public Recordset {
 public:
  LoggedRecordset(std::shared_ptr<Recordset> in, std::vector<std::string>* events)
      : in_(std::move(in)), events_(events) {}
  bool Eof() override { return in_->Eof(); }
  Fields& GetFields() override { return in_->GetFields(); }
  void MoveNext() override { in_->MoveNext(); }
  void Close() override {
    events_->push_back("Close");
    in_->Close();
  }

 private:
  std::shared_ptr<Recordset> in_;
  std::vector<std::string>* events_;
};

class LifecycleTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    host->on_execute([this](const std::string& sql) -> std::shared_ptr<Recordset> {
      events.push_back(sql);
      if (sql.starts_with("SELECT * FROM Cotizacion "))
        return std::make_shared<LoggedRecordset>(
            rows({"Ct_Folio", "Ct_ID", "Es_Cve_Estado"}, status_rows), &events);
      if (!sql.starts_with("SELECT ")) return nullptr;
      std::vector<std::vector<Variant>> r;
      if (totals) r.push_back(*totals);
      return std::make_shared<LoggedRecordset>(
          rows({"Ct_Precio_Lista_Importe", "Ct_Descuento_Importe", "Ct_Impuesto_Importe",
                "Ct_Precio_Descontado_Importe", "Ct_Descuento_Global_Importe"},
               r),
          &events);
    });
    // The line rows' date and customer, as Obtener_Campo gives them for any folio.
    host->on("cDatos", "Obtener_Campo", [](std::vector<Variant>& args) {
      return Variant(args[3].raw_text() == "Ct_Fecha" ? "2026-11-30" : "C1");
    });
    quote = Cotizacion::create();
    take_calls();  // start-up and creation
  }

  // The five sums of the totals query, in its column order.
  void set_totals(double L, double Ds, double T0, double D, double G) {
    totals = std::vector<Variant>{L, Ds, T0, D, G};
  }
  // Leaves a known text in m_Error (finalisation refusing an empty folio) and returns it.
  std::string leave_error() {
    std::string empty;
    EXPECT_FALSE(quote->Finalizar_Cotizacion(empty));
    std::string text = quote->get_Error();
    EXPECT_EQ(text, std::string(kFinalise) + "La cotización es incorrecta, no hay datos");
    take_calls();
    events.clear();
    return text;
  }

  Ref<Cotizacion> quote;
  std::vector<std::vector<Variant>> status_rows;  // Ct_Folio, Ct_ID, Es_Cve_Estado (Null allowed)
  std::optional<std::vector<Variant>> totals;
  std::vector<std::string> events;
};

}  // namespace quorlane::test
