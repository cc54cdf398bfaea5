#include "lifecycle_test.h"

namespace quorlane::test {

namespace {

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

}  // namespace

void LifecycleTest::SetUp() {
  HostTest::SetUp();
  host->on_execute([this](const std::string& sql) -> std::shared_ptr<Recordset> {
    events.push_back(sql);
    if (sql.starts_with("SELECT * FROM Cotizacion ")) {
      return std::make_shared<LoggedRecordset>(
          rows({"Ct_Folio", "Ct_ID", "Es_Cve_Estado"}, status_rows), &events);
    }
    if (sql.starts_with("SELECT ")) {
      std::vector<std::vector<Variant>> r;
      if (totals) r.push_back(*totals);
      return std::make_shared<LoggedRecordset>(
          rows({"Ct_Precio_Lista_Importe", "Ct_Descuento_Importe", "Ct_Impuesto_Importe",
                "Ct_Precio_Descontado_Importe", "Ct_Descuento_Global_Importe"},
               r),
          &events);
    }
    return nullptr;
  });
  quote = Cotizacion::create();
  take_calls();  // start-up and creation
}

void LifecycleTest::add_line(const std::string& folio, const std::string& id, Variant status) {
  status_rows.push_back({folio, id, std::move(status)});
}

void LifecycleTest::set_totals(double L, double Ds, double T0, double D, double G) {
  totals = std::vector<Variant>{L, Ds, T0, D, G};
}

void LifecycleTest::set_quote_row(const std::string& fecha, const std::string& cliente) {
  host->on("cDatos", "Obtener_Campo", [fecha, cliente](std::vector<Variant>& args) {
    return Variant(args[3].raw_text() == "Ct_Fecha" ? fecha : cliente);
  });
}

std::string LifecycleTest::leave_error() {
  std::string empty;
  EXPECT_FALSE(quote->Finalizar_Cotizacion(empty));
  std::string text = quote->get_Error();
  EXPECT_EQ(text,
            "Quorlane.dll - Finalizar_Cotizacion()\r\nLa cotización es incorrecta, no hay datos");
  take_calls();
  events.clear();
  return text;
}

std::string execute_call(const std::string& sql) { return "Connection.Execute(\"" + sql + "\")"; }

}  // namespace quorlane::test
