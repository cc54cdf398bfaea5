// The one boundary through which every call of the component to a host service or to
// Connection.Execute passes when the host is wrapped: each call is recorded with its arguments
// and result, and the n-th next call of an operation can be made to fail with a given
// description or to answer a given value instead of asking the host.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "host/failure.h"
#include "quorlane/host.h"

namespace quorlane {

struct CallRecord {
  std::string service;        // "cSistema", "cDatos", ..., "Connection"
  std::string operation;      // as the component names it: "Obtener_Campo", "Execute", ...
  std::vector<Variant> args;  // in the order passed; an omitted argument is Empty
  Variant result;             // Empty for an object result such as the connection
  bool failed = false;
  std::string error;  // the failure's description when failed
};

// One line per call, for readable exact comparisons in tests and logs:
//   cDatos.Obtener_Campo("Sucursal", "Sc_Cve_Sucursal", "S1", "Sc_Servidor_Id", 0, "", "", "") ->
//   "S2"
std::string call_text(const CallRecord& call);

class Boundary {
 public:
  // Service and operation "*" match any call.
  void fail(const std::string& service, const std::string& operation, int nth,
            const std::string& description);
  void answer(const std::string& service, const std::string& operation, int nth, Variant value);
  void clear_pending();

  void set_recording(bool on);
  std::vector<CallRecord> take_calls();  // the calls since the last take, then forgets them
  std::vector<CallRecord> calls() const;
  size_t call_count() const;

  // The choke point. `invoke` asks the real host.
  template <class R, class Invoke>
  R call(const char* service, const char* operation, std::vector<Variant> args, Invoke&& invoke);

 private:
  struct Pending {
    std::string service, operation;
    int remaining;
    bool is_failure;
    std::string description;
    Variant value;
  };
  struct Action {
    enum Kind { None, Fail, Answer } kind = None;
    std::string description;
    Variant value;
  };
  Action next_action(const char* service, const char* operation);
  void record(CallRecord rec);

  mutable std::mutex mutex_;
  std::vector<Pending> pending_;
  std::vector<CallRecord> calls_;
  bool recording_ = true;
};

// Conversions between the operations' typed values and Variants (for records and answers).
Variant boundary_value(const std::string& v);
Variant boundary_value(bool v);
Variant boundary_value(double v);
Variant boundary_value(int32_t v);
Variant boundary_value(Date v);
Variant boundary_value(const Variant& v);
Variant boundary_value(const tPromocion& v);
Variant boundary_value(const std::shared_ptr<Connection>& v);
Variant boundary_value(const std::shared_ptr<Recordset>& v);

template <class R>
struct AnswerOf;  // AnswerOf<R>::from(Variant) converts an answer to the operation's result
template <>
struct AnswerOf<std::string> {
  static std::string from(const Variant& v) { return v.to_text(); }
};
template <>
struct AnswerOf<bool> {
  static bool from(const Variant& v) { return v.to_bool(); }
};
template <>
struct AnswerOf<double> {
  static double from(const Variant& v) { return v.to_double(); }
};
template <>
struct AnswerOf<int32_t> {
  static int32_t from(const Variant& v) { return v.to_int32(); }
};
template <>
struct AnswerOf<Date> {
  static Date from(const Variant& v) { return v.to_date(); }
};
template <>
struct AnswerOf<Variant> {
  static Variant from(const Variant& v) { return v; }
};
template <>
struct AnswerOf<tPromocion> {
  static tPromocion from(const Variant& v);
};
template <>
struct AnswerOf<std::shared_ptr<Connection>> {
  static std::shared_ptr<Connection> from(const Variant& v);
};
template <>
struct AnswerOf<std::shared_ptr<Recordset>> {
  static std::shared_ptr<Recordset> from(const Variant& v);
};

template <class R, class Invoke>
R Boundary::call(const char* service, const char* operation, std::vector<Variant> args,
                 Invoke&& invoke) {
  Action action = next_action(service, operation);
  CallRecord rec{service, operation, std::move(args), Variant(), false, ""};
  if (action.kind == Action::Fail) {
    rec.failed = true;
    rec.error = action.description;
    record(std::move(rec));
    throw Failure(action.description);
  }
  try {
    R result = action.kind == Action::Answer ? AnswerOf<R>::from(action.value) : invoke();
    rec.result = boundary_value(result);
    record(std::move(rec));
    return result;
  } catch (...) {
    rec.failed = true;
    rec.error = current_failure_description();
    record(std::move(rec));
    throw;
  }
}

// A factory whose services (and connections) pass every call through `boundary`.
std::shared_ptr<HostFactory> wrap_host(std::shared_ptr<HostFactory> inner,
                                       std::shared_ptr<Boundary> boundary);

}  // namespace quorlane
