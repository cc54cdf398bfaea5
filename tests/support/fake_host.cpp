#include "support/fake_host.h"

#include <cmath>

namespace quorlane::test {

namespace {

using S = const std::string&;
using Args = std::vector<Variant>;

class FakeConnection final : public Connection {
 public:
  explicit FakeConnection(FakeHost* h) : h_(h) {}
  std::shared_ptr<Recordset> Execute(const std::string& sql, int32_t) override {
    return h_->execute(sql);
  }

 private:
  FakeHost* h_;
};

class FakeServices final : public cSistema,
                           public cDatos,
                           public cInventario,
                           public cImpuestos,
                           public cPromociones {
 public:
  explicit FakeServices(std::shared_ptr<FakeHost> h)
      : h_(std::move(h)), connection_(std::make_shared<FakeConnection>(h_.get())) {}

  // cSistema
  std::shared_ptr<Connection> Conexion() override { return connection_; }
  std::string Operador_Actual() override { return call("cSistema", "Operador_Actual", {}, "OPER").to_text(); }
  bool Es_Servidor_Remoto() override { return call("cSistema", "Es_Servidor_Remoto", {}, false).to_bool(); }
  Variant Obtener_Parametro(S key, int32_t zero, S type, S def) override {
    return call("cSistema", "Obtener_Parametro", {key, zero, type, def}, Variant(def));
  }
  std::string Servidor_Actual() override { return call("cSistema", "Servidor_Actual", {}, "").to_text(); }
  int32_t Mostrar_Mensaje(const Variant& m, int32_t& style, const Variant& src, const Variant& o,
                          const Variant& app, const Variant& id) override {
    return call("cSistema", "Mostrar_Mensaje", {m, style, src, o, app, id}, int32_t{0}).to_int32();
  }

  // cDatos
  std::string Obtener_Campo(S t, S k, S v, S c, int32_t z, S k2, S v2, S st) override {
    return call("cDatos", "Obtener_Campo", {t, k, v, c, z, k2, v2, st}, "").to_text();
  }
  Date Fecha_Servidor() override {
    return call("cDatos", "Fecha_Servidor", {}, make_date(2026, 12, 5, 10, 30, 0)).to_date();
  }
  Variant Obtener_Folio(S b, S t, int32_t w, int32_t m) override {
    return call("cDatos", "Obtener_Folio", {b, t, w, m}, "");
  }
  bool Existe_Producto_Talla(S p, S t) override { return call("cDatos", "Existe_Producto_Talla", {p, t}, true).to_bool(); }
  bool Existe_Producto_Color(S p, S c) override { return call("cDatos", "Existe_Producto_Color", {p, c}, true).to_bool(); }
  bool Existe_Producto_Talla_Color(S p, S t, S c) override {
    return call("cDatos", "Existe_Producto_Talla_Color", {p, t, c}, true).to_bool();
  }
  double Factor_Conversion(S p, S f, S t) override { return call("cDatos", "Factor_Conversion", {p, f, t}, 1.0).to_double(); }
  bool Unidad_Permite_Fracciones(S u) override { return call("cDatos", "Unidad_Permite_Fracciones", {u}, true).to_bool(); }
  Variant Redondear(const Variant& amount, int32_t decimals) override {
    double scale = std::pow(10.0, decimals);
    double v = amount.to_double() * scale;
    double r = (v < 0 ? -std::floor(-v + 0.5) : std::floor(v + 0.5)) / scale;
    return call("cDatos", "Redondear", {amount, decimals}, r);
  }
  std::string Fecha_Documento_SQL(Date d) override {
    return call("cDatos", "Fecha_Documento_SQL", {d}, date_only_text(d)).to_text();
  }
  std::string Fecha_SQL(Date d) override { return call("cDatos", "Fecha_SQL", {d}, date_time_text(d)).to_text(); }
  Variant Calcular_Importes(tImportes& a, int16_t type) override {
    Args args = amounts(a);
    args.emplace_back(type);
    Variant r = h_->dispatch("cDatos", "Calcular_Importes", args, Variant());
    write_back(args, a);
    return r;
  }
  Variant Calcular_Importes_Cuota(tImportes& a, int16_t type, double fee) override {
    Args args = amounts(a);
    args.emplace_back(type);
    args.emplace_back(fee);
    Variant r = h_->dispatch("cDatos", "Calcular_Importes_Cuota", args, Variant());
    write_back(args, a);
    return r;
  }
  std::string Ultimo_Error() override { return call("cDatos", "Ultimo_Error", {}, "").to_text(); }
  bool Registrar_Documento(S tag, S f, S id) override {
    return call("cDatos", "Registrar_Documento", {tag, f, id}, true).to_bool();
  }
  bool Registrar_Seguimiento(S m, S t, S f, S et, S e, Date d, S desc) override {
    return call("cDatos", "Registrar_Seguimiento", {m, t, f, et, e, d, desc}, true).to_bool();
  }

  // cInventario
  bool Maneja_Tallas(S b, S w) override { return call("cInventario", "Maneja_Tallas", {b, w}, false).to_bool(); }
  bool Maneja_Colores(S b, S w) override { return call("cInventario", "Maneja_Colores", {b, w}, false).to_bool(); }
  double Obtener_Costo(S b, S w, S p, S t, S c, double q, S e) override {
    return call("cInventario", "Obtener_Costo", {b, w, p, t, c, q, e}, 0.0).to_double();
  }

  // cImpuestos
  double Factor_Impuesto(S b, S c, S p) override {
    return call("cImpuestos", "Factor_Impuesto", {b, c, p}, 0.0).to_double();
  }

  // cPromociones
  tPromocion Obtener_Promocion(Date d, S b, S cl, S p, S t, S c, double q, S u) override {
    Variant r = call("cPromociones", "Obtener_Promocion", {d, b, cl, p, t, c, q, u}, Variant());
    if (const tPromocion* promo = r.record_as<tPromocion>()) return *promo;
    return tPromocion{};
  }

 private:
  Variant call(const char* service, const char* op, Args args, Variant def) {
    return h_->dispatch(service, op, args, std::move(def));
  }
  static Args amounts(const tImportes& a) {
    return {a.Ct_Cantidad_1, a.Ct_Precio_Lista, a.Ct_Precio_Lista_Importe, a.Ct_Descuento_Factor,
            a.Ct_Descuento_Importe, a.Ct_Precio_Descontado, a.Ct_Precio_Descontado_Importe,
            a.Ct_Descuento_Global_Factor, a.Ct_Descuento_Global_Importe, a.Ct_Impuesto_Factor,
            a.Ct_Impuesto_Importe, a.Ct_Precio_Neto, a.Ct_Precio_Neto_Importe};
  }
  static void write_back(const Args& args, tImportes& a) {
    double* fields[] = {&a.Ct_Cantidad_1, &a.Ct_Precio_Lista, &a.Ct_Precio_Lista_Importe,
                        &a.Ct_Descuento_Factor, &a.Ct_Descuento_Importe, &a.Ct_Precio_Descontado,
                        &a.Ct_Precio_Descontado_Importe, &a.Ct_Descuento_Global_Factor,
                        &a.Ct_Descuento_Global_Importe, &a.Ct_Impuesto_Factor,
                        &a.Ct_Impuesto_Importe, &a.Ct_Precio_Neto, &a.Ct_Precio_Neto_Importe};
    for (size_t i = 0; i < 13; ++i) *fields[i] = args[i].to_double();
  }

  std::shared_ptr<FakeHost> h_;
  std::shared_ptr<Connection> connection_;
};

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
