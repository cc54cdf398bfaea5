#include "support/fake_host.h"

#include <cmath>
#include <iterator>

#include "host/operations.h"
#include "host/wrap/boundary.h"

namespace quorlane::test {

namespace {

using Args = std::vector<Variant>;

// What an operation answers when the test installed no handler for it (see fake_host.h).
Variant default_answer(const std::string& operation, const Args& args) {
  if (operation == "Fecha_Servidor") return Variant(make_date(2026, 12, 5, 10, 30, 0));
  if (operation == "Obtener_Folio") return Variant("");
  if (operation.rfind("Existe_", 0) == 0 || operation.rfind("Registrar_", 0) == 0 ||
      operation == "Unidad_Permite_Fracciones")
    return Variant(true);
  if (operation.rfind("Maneja_", 0) == 0 || operation == "Es_Servidor_Remoto")
    return Variant(false);
  if (operation == "Factor_Conversion") return Variant(1.0);
  if (operation == "Obtener_Costo" || operation == "Factor_Impuesto") return Variant(0.0);
  if (operation == "Redondear") {  // half away from zero
    double scale = std::pow(10.0, args[1].to_double());
    double v = args[0].to_double() * scale;
    return Variant((v < 0 ? -std::floor(-v + 0.5) : std::floor(v + 0.5)) / scale);
  }
  if (operation == "Fecha_Documento_SQL") return Variant(date_only_text(args[0].to_date()));
  if (operation == "Fecha_SQL") return Variant(date_time_text(args[0].to_date()));
  if (operation == "Operador_Actual") return Variant("OPER");
  if (operation == "Obtener_Parametro") return args[3];
  if (operation == "Mostrar_Mensaje") return Variant(int32_t{0});
  if (operation == "Obtener_Campo" || operation == "Ultimo_Error" || operation == "Servidor_Actual")
    return Variant("");
  return Variant();  // Calcular_Importes*, Obtener_Promocion
}

class FakeConnection final : public Connection {
 public:
  explicit FakeConnection(FakeHost* h) : h_(h) {}
  std::shared_ptr<Recordset> Execute(const std::string& sql, int32_t) override {
    return h_->execute(sql);
  }

 private:
  FakeHost* h_;
};

// A plain operation asks the test's handler, else answers its default.
#define QL_FAKE(service, R, operation, params, args, how) \
  QL_FAKE_##how(service, R, operation, params, args)
#define QL_FAKE_Plain(service, R, operation, params, args)                     \
  R operation params override {                                                \
    Args values{QL_UNPAREN args};                                              \
    Variant def = default_answer(#operation, values);                          \
    return AnswerOf<R>::from(h_->dispatch(#service, #operation, values, def)); \
  }
#define QL_FAKE_Own(service, R, operation, params, args)

class FakeServices final : public cSistema,
                           public cDatos,
                           public cInventario,
                           public cImpuestos,
                           public cPromociones {
 public:
  explicit FakeServices(std::shared_ptr<FakeHost> h)
      : h_(std::move(h)), connection_(std::make_shared<FakeConnection>(h_.get())) {}

  QL_SERVICE_OPERATIONS(QL_FAKE)
  std::shared_ptr<Connection> Conexion() override { return connection_; }
  Variant Calcular_Importes(tImportes& amounts, int16_t calculation_type) override {
    Args args = amounts_of(amounts);
    args.emplace_back(calculation_type);
    return calculate("Calcular_Importes", args, amounts);
  }
  Variant Calcular_Importes_Cuota(tImportes& amounts, int16_t calculation_type,
                                  double fee) override {
    Args args = amounts_of(amounts);
    args.emplace_back(calculation_type);
    args.emplace_back(fee);
    return calculate("Calcular_Importes_Cuota", args, amounts);
  }

 private:
  static constexpr double tImportes::*kAmounts[] = {&tImportes::Ct_Cantidad_1,
                                                    &tImportes::Ct_Precio_Lista,
                                                    &tImportes::Ct_Precio_Lista_Importe,
                                                    &tImportes::Ct_Descuento_Factor,
                                                    &tImportes::Ct_Descuento_Importe,
                                                    &tImportes::Ct_Precio_Descontado,
                                                    &tImportes::Ct_Precio_Descontado_Importe,
                                                    &tImportes::Ct_Descuento_Global_Factor,
                                                    &tImportes::Ct_Descuento_Global_Importe,
                                                    &tImportes::Ct_Impuesto_Factor,
                                                    &tImportes::Ct_Impuesto_Importe,
                                                    &tImportes::Ct_Precio_Neto,
                                                    &tImportes::Ct_Precio_Neto_Importe};
  static Args amounts_of(const tImportes& a) {
    Args args;
    for (double tImportes::*m : kAmounts) args.emplace_back(a.*m);
    return args;
  }
  // The handler may change the thirteen amounts: they are written back.
  Variant calculate(const char* operation, Args& args, tImportes& amounts) {
    Variant r = h_->dispatch("cDatos", operation, args, Variant());
    for (size_t i = 0; i < std::size(kAmounts); ++i) amounts.*kAmounts[i] = args[i].to_double();
    return r;
  }

  std::shared_ptr<FakeHost> h_;
  std::shared_ptr<Connection> connection_;
};

#undef QL_FAKE_Own
#undef QL_FAKE_Plain
#undef QL_FAKE

class FakeFactory final : public HostFactory {
 public:
  explicit FakeFactory(std::shared_ptr<FakeHost> h) : h_(std::move(h)) {}
  std::shared_ptr<cSistema> create_sistema() override { return make("cSistema"); }
  std::shared_ptr<cDatos> create_datos() override { return make("cDatos"); }
  std::shared_ptr<cInventario> create_inventario() override { return make("cInventario"); }
  std::shared_ptr<cImpuestos> create_impuestos() override { return make("cImpuestos"); }
  std::shared_ptr<cPromociones> create_promociones() override { return make("cPromociones"); }

 private:
  std::shared_ptr<FakeServices> make(const std::string& service) {
    h_->check_creation(service);
    return std::make_shared<FakeServices>(h_);
  }
  std::shared_ptr<FakeHost> h_;
};

}  // namespace

void FakeHost::on(const std::string& service, const std::string& operation, Handler handler) {
  handlers_[service + "." + operation] = std::move(handler);
}

void FakeHost::set(const std::string& service, const std::string& operation, Variant value) {
  on(service, operation, [value](std::vector<Variant>&) { return value; });
}

void FakeHost::fail_creation(const std::string& service, const std::string& description) {
  failing_creations_[service] = description;
}

std::shared_ptr<HostFactory> FakeHost::factory() {
  return std::make_shared<FakeFactory>(shared_from_this());
}

int FakeHost::created(const std::string& service) const {
  auto it = created_.find(service);
  return it == created_.end() ? 0 : it->second;
}

void FakeHost::check_creation(const std::string& service) {
  auto it = failing_creations_.find(service);
  if (it != failing_creations_.end()) throw Failure(it->second);
  ++created_[service];
}

Variant FakeHost::dispatch(const std::string& service, const std::string& operation,
                           std::vector<Variant>& args, Variant default_value) {
  auto it = handlers_.find(service + "." + operation);
  if (it == handlers_.end()) return default_value;
  return it->second(args);
}

std::shared_ptr<Recordset> FakeHost::execute(const std::string& sql) {
  if (execute_) {
    auto rs = execute_(sql);
    if (rs) return rs;
  }
  return std::make_shared<MemoryRecordset>();
}

std::shared_ptr<Recordset> rows(std::vector<std::string> columns,
                                std::vector<std::vector<Variant>> values) {
  return std::make_shared<MemoryRecordset>(std::move(columns), std::move(values));
}

}  // namespace quorlane::test
