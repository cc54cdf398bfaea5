#include "host/wrap/boundary.h"

#include "host/operations.h"

namespace quorlane {

// ---------------------------------------------------------------- records and answers

namespace {

std::string quoted(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      default:
        out += c;
    }
  }
  return out + "\"";
}

std::string value_text(const Variant& v) {
  switch (v.kind()) {
    case Variant::Kind::Empty:
      return "<omitted>";
    case Variant::Kind::Null:
      return "Null";
    case Variant::Kind::Boolean:
      return v.raw_bool() ? "True" : "False";
    case Variant::Kind::Int16:
    case Variant::Kind::Int32:
      return std::to_string(v.raw_int());
    case Variant::Kind::Double:
      return number_text(v.raw_double());
    case Variant::Kind::Date:
      try {
        return "#" + date_text(Date{v.raw_double()}) + "#";
      } catch (const Failure&) {
        return "#" + number_text(v.raw_double()) + "#";  // beyond the years a text can show
      }
    case Variant::Kind::Text:
      return quoted(v.raw_text());
    case Variant::Kind::Object:
      return "<object>";
    case Variant::Kind::Record:
      if (const tPromocion* p = v.record_as<tPromocion>())
        return "tPromocion(" + quoted(p->Pr_Cve_Producto) + ", " + quoted(p->Tl_Cve_Talla) + ", " +
               quoted(p->Cl_Cve_Color) + ", " + number_text(p->Cantidad) + ", " +
               quoted(p->Un_Cve_Unidad) + ")";
      return std::string("<") + v.record_value()->type_name() + ">";
  }
  return "?";
}

}  // namespace

std::string call_text(const CallRecord& call) {
  std::string text = call.service + "." + call.operation + "(";
  for (size_t i = 0; i < call.args.size(); ++i) {
    if (i) text += ", ";
    text += value_text(call.args[i]);
  }
  text += ")";
  if (call.failed) return text + " !! " + call.error;
  if (!call.result.is_empty()) text += " -> " + value_text(call.result);
  return text;
}

Variant boundary_value(const std::string& v) { return Variant(v); }
Variant boundary_value(bool v) { return Variant(v); }
Variant boundary_value(double v) { return Variant(v); }
Variant boundary_value(int32_t v) { return Variant(v); }
Variant boundary_value(Date v) { return Variant(v); }
Variant boundary_value(const Variant& v) { return v; }
Variant boundary_value(const tPromocion& v) { return Variant::record(v); }
Variant boundary_value(const std::shared_ptr<Connection>&) { return Variant(); }
Variant boundary_value(const std::shared_ptr<Recordset>&) { return Variant(); }

tPromocion AnswerOf<tPromocion>::from(const Variant& v) {
  if (const tPromocion* p = v.record_as<tPromocion>()) return *p;
  if (v.is_empty() || v.is_null()) return tPromocion{};
  throw Failure(kTypeMismatch);
}

std::shared_ptr<Connection> AnswerOf<std::shared_ptr<Connection>>::from(const Variant&) {
  throw Failure("Conexion no puede contestarse con un valor");
}

// An answered Execute runs nothing and gives a result without rows.
std::shared_ptr<Recordset> AnswerOf<std::shared_ptr<Recordset>>::from(const Variant&) {
  return std::make_shared<MemoryRecordset>();
}

// ---------------------------------------------------------------- the boundary

void Boundary::fail(const std::string& service, const std::string& operation, int nth,
                    const std::string& description) {
  std::lock_guard<std::mutex> lock(mutex_);
  pending_.push_back({service, operation, nth < 1 ? 1 : nth, true, description, Variant()});
}

void Boundary::answer(const std::string& service, const std::string& operation, int nth,
                      Variant value) {
  std::lock_guard<std::mutex> lock(mutex_);
  pending_.push_back({service, operation, nth < 1 ? 1 : nth, false, "", std::move(value)});
}

void Boundary::clear_pending() {
  std::lock_guard<std::mutex> lock(mutex_);
  pending_.clear();
}

void Boundary::set_recording(bool on) {
  std::lock_guard<std::mutex> lock(mutex_);
  recording_ = on;
}

std::vector<CallRecord> Boundary::take_calls() {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<CallRecord> out;
  out.swap(calls_);
  return out;
}

std::vector<CallRecord> Boundary::calls() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return calls_;
}

size_t Boundary::call_count() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return calls_.size();
}

Boundary::Action Boundary::next_action(const char* service, const char* operation) {
  std::lock_guard<std::mutex> lock(mutex_);
  Action action;
  for (auto it = pending_.begin(); it != pending_.end();) {
    bool matches = (it->service == "*" || it->service == service) &&
                   (it->operation == "*" || it->operation == operation);
    if (matches && --it->remaining == 0) {
      if (action.kind == Action::None) {
        action.kind = it->is_failure ? Action::Fail : Action::Answer;
        action.description = it->description;
        action.value = it->value;
      }
      it = pending_.erase(it);
    } else {
      ++it;
    }
  }
  return action;
}

void Boundary::record(CallRecord rec) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (recording_) calls_.push_back(std::move(rec));
}

// ---------------------------------------------------------------- the wrappers

namespace {

using Args = std::vector<Variant>;

std::vector<Variant> amounts_args(const tImportes& a) {
  return {a.Ct_Cantidad_1,
          a.Ct_Precio_Lista,
          a.Ct_Precio_Lista_Importe,
          a.Ct_Descuento_Factor,
          a.Ct_Descuento_Importe,
          a.Ct_Precio_Descontado,
          a.Ct_Precio_Descontado_Importe,
          a.Ct_Descuento_Global_Factor,
          a.Ct_Descuento_Global_Importe,
          a.Ct_Impuesto_Factor,
          a.Ct_Impuesto_Importe,
          a.Ct_Precio_Neto,
          a.Ct_Precio_Neto_Importe};
}

// A plain operation is recorded with its arguments and passed on to the wrapped service; an
// operation of its own is written out in its wrapper.
#define QL_WRAP(service, R, operation, params, args, how) \
  QL_WRAP_##how(service, R, operation, params, args)
#define QL_WRAP_Plain(service, R, operation, params, args)          \
  R operation params override {                                     \
    return b_->call<R>(#service, #operation, Args{QL_UNPAREN args}, \
                       [&] { return in_->operation args; });        \
  }
#define QL_WRAP_Own(service, R, operation, params, args)

class WrappedConnection final : public Connection {
 public:
  WrappedConnection(std::shared_ptr<Connection> in, std::shared_ptr<Boundary> b)
      : in_(std::move(in)), b_(std::move(b)) {}
  std::shared_ptr<Recordset> Execute(const std::string& sql, int32_t options) override {
    return b_->call<std::shared_ptr<Recordset>>("Connection", "Execute", Args{sql},
                                                [&] { return in_->Execute(sql, options); });
  }

 private:
  std::shared_ptr<Connection> in_;
  std::shared_ptr<Boundary> b_;
};

class WrappedSistema final : public cSistema {
 public:
  WrappedSistema(std::shared_ptr<cSistema> in, std::shared_ptr<Boundary> b)
      : in_(std::move(in)), b_(std::move(b)) {}
  QL_CSISTEMA_OPERATIONS(QL_WRAP)
  std::shared_ptr<Connection> Conexion() override {
    auto c = b_->call<std::shared_ptr<Connection>>("cSistema", "Conexion", Args{},
                                                   [&] { return in_->Conexion(); });
    // One wrapper per connection, so that the wrapper is not rebuilt before every statement.
    if (c != last_inner_) {
      last_inner_ = c;
      last_wrapped_ = c ? std::make_shared<WrappedConnection>(c, b_) : nullptr;
    }
    return last_wrapped_;
  }

 private:
  std::shared_ptr<cSistema> in_;
  std::shared_ptr<Boundary> b_;
  std::shared_ptr<Connection> last_inner_;
  std::shared_ptr<Connection> last_wrapped_;
};

class WrappedDatos final : public cDatos {
 public:
  WrappedDatos(std::shared_ptr<cDatos> in, std::shared_ptr<Boundary> b)
      : in_(std::move(in)), b_(std::move(b)) {}
  QL_CDATOS_OPERATIONS(QL_WRAP)
  // The amounts are recorded one by one, then the calculation type (and the fee).
  Variant Calcular_Importes(tImportes& amounts, int16_t calculation_type) override {
    Args args = amounts_args(amounts);
    args.emplace_back(calculation_type);
    return b_->call<Variant>("cDatos", "Calcular_Importes", std::move(args),
                             [&] { return in_->Calcular_Importes(amounts, calculation_type); });
  }
  Variant Calcular_Importes_Cuota(tImportes& amounts, int16_t calculation_type,
                                  double fee) override {
    Args args = amounts_args(amounts);
    args.emplace_back(calculation_type);
    args.emplace_back(fee);
    return b_->call<Variant>("cDatos", "Calcular_Importes_Cuota", std::move(args), [&] {
      return in_->Calcular_Importes_Cuota(amounts, calculation_type, fee);
    });
  }

 private:
  std::shared_ptr<cDatos> in_;
  std::shared_ptr<Boundary> b_;
};

class WrappedInventario final : public cInventario {
 public:
  WrappedInventario(std::shared_ptr<cInventario> in, std::shared_ptr<Boundary> b)
      : in_(std::move(in)), b_(std::move(b)) {}
  QL_CINVENTARIO_OPERATIONS(QL_WRAP)

 private:
  std::shared_ptr<cInventario> in_;
  std::shared_ptr<Boundary> b_;
};

class WrappedImpuestos final : public cImpuestos {
 public:
  WrappedImpuestos(std::shared_ptr<cImpuestos> in, std::shared_ptr<Boundary> b)
      : in_(std::move(in)), b_(std::move(b)) {}
  QL_CIMPUESTOS_OPERATIONS(QL_WRAP)

 private:
  std::shared_ptr<cImpuestos> in_;
  std::shared_ptr<Boundary> b_;
};

class WrappedPromociones final : public cPromociones {
 public:
  WrappedPromociones(std::shared_ptr<cPromociones> in, std::shared_ptr<Boundary> b)
      : in_(std::move(in)), b_(std::move(b)) {}
  QL_CPROMOCIONES_OPERATIONS(QL_WRAP)

 private:
  std::shared_ptr<cPromociones> in_;
  std::shared_ptr<Boundary> b_;
};

#undef QL_WRAP_Own
#undef QL_WRAP_Plain
#undef QL_WRAP

class WrappedFactory final : public HostFactory {
 public:
  WrappedFactory(std::shared_ptr<HostFactory> in, std::shared_ptr<Boundary> b)
      : in_(std::move(in)), b_(std::move(b)) {}
  std::shared_ptr<cSistema> create_sistema() override {
    return std::make_shared<WrappedSistema>(in_->create_sistema(), b_);
  }
  std::shared_ptr<cDatos> create_datos() override {
    return std::make_shared<WrappedDatos>(in_->create_datos(), b_);
  }
  std::shared_ptr<cInventario> create_inventario() override {
    return std::make_shared<WrappedInventario>(in_->create_inventario(), b_);
  }
  std::shared_ptr<cImpuestos> create_impuestos() override {
    return std::make_shared<WrappedImpuestos>(in_->create_impuestos(), b_);
  }
  std::shared_ptr<cPromociones> create_promociones() override {
    return std::make_shared<WrappedPromociones>(in_->create_promociones(), b_);
  }

 private:
  std::shared_ptr<HostFactory> in_;
  std::shared_ptr<Boundary> b_;
};

}  // namespace

std::shared_ptr<HostFactory> wrap_host(std::shared_ptr<HostFactory> inner,
                                       std::shared_ptr<Boundary> boundary) {
  return std::make_shared<WrappedFactory>(std::move(inner), std::move(boundary));
}

}  // namespace quorlane
