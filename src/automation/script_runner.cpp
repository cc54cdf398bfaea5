#include "automation/script_runner.h"

#include <strings.h>

#include <cmath>
#include <initializer_list>
#include <istream>
#include <ostream>
#include <type_traits>

#include "automation/json_input.h"
#include "frame/publico.h"
#include "host/operations.h"
#include "quorlane/interfaces.h"

namespace quorlane::automation {

namespace {

// ---------------------------------------------------------------- the members' value kinds

// What the runner needs to know of a member to turn JSON into its argument: how it is invoked,
// the kind of value it takes, and for methods how many folio arguments. Generated from the same
// member lists as the interfaces; the call itself always goes through IDispatch.
struct MemberInfo {
  const char* name;
  InvokeKind kind;
  ValueKind value;
  int folio_args;
};

constexpr ValueKind kKind_BOOL = ValueKind::Boolean;
constexpr ValueKind kKind_TEXT = ValueKind::Text;
constexpr ValueKind kKind_NUM = ValueKind::Number;
constexpr ValueKind kKind_DATE = ValueKind::Date;
constexpr ValueKind kKind_ENCABEZADO = ValueKind::Encabezado;
constexpr ValueKind kKind_DETALLE = ValueKind::Detalle;
constexpr ValueKind kKind_OBJ_ENCABEZADO = ValueKind::Any;
constexpr ValueKind kKind_OBJ_DETALLE = ValueKind::Any;
constexpr ValueKind kKind_VOID = ValueKind::Any;

#define QL_PUT(name, K) {#name, InvokeKind::PropertyPut, kKind_##K, 0},
#define QL_GET(name, K) {#name, InvokeKind::PropertyGet, kKind_##K, 0},
#define QL_PUTREF(name, K) {#name, InvokeKind::PropertyPutRef, kKind_##K, 0},
#define QL_CALL(name, K, n) {#name, InvokeKind::Method, kKind_##K, n},
#define QL_PROPERTY(name, K, type) QL_PUT(name, K) QL_GET(name, K)

const std::vector<MemberInfo> kCotizacionMembers = {
    QL_COTIZACION_MEMBERS(QL_PUT, QL_GET, QL_PUTREF, QL_CALL)};
const std::vector<MemberInfo> kEncabezadoMembers = {QL_CCTENCABEZADO_PROPERTIES(QL_PROPERTY)};
const std::vector<MemberInfo> kDetalleMembers = {QL_CCTDETALLE_PROPERTIES(QL_PROPERTY)};

#undef QL_PUT
#undef QL_GET
#undef QL_PUTREF
#undef QL_CALL
#undef QL_PROPERTY

// ---------------------------------------------------------------- the host's operations

// Every operation the component calls, with the kind of value an "answer" gives it, read off
// the operation's result type.
enum class AnswerForm { Value, NotAnswerable, NoRows };
struct Operation {
  const char* service;
  const char* name;
  ValueKind result;
  AnswerForm form = AnswerForm::Value;
};

template <class R>
constexpr Operation operation(const char* service, const char* name) {
  if constexpr (std::is_same_v<R, std::string>) return {service, name, ValueKind::Text};
  if constexpr (std::is_same_v<R, bool>) return {service, name, ValueKind::Boolean};
  if constexpr (std::is_same_v<R, double> || std::is_same_v<R, int32_t>)
    return {service, name, ValueKind::Number};
  if constexpr (std::is_same_v<R, Date>) return {service, name, ValueKind::Date};
  if constexpr (std::is_same_v<R, Variant>) return {service, name, ValueKind::Any};
  if constexpr (std::is_same_v<R, tPromocion>) return {service, name, ValueKind::Promocion};
  // An object cannot be answered; an answered statement is not run and gives no rows.
  if constexpr (std::is_same_v<R, std::shared_ptr<Connection>>)
    return {service, name, ValueKind::Any, AnswerForm::NotAnswerable};
  if constexpr (std::is_same_v<R, std::shared_ptr<Recordset>>)
    return {service, name, ValueKind::Any, AnswerForm::NoRows};
}

#define QL_OPERATION(service, R, name, params, args, how) operation<R>(#service, #name),
const Operation kOperations[] = {QL_HOST_OPERATIONS(QL_OPERATION)};
#undef QL_OPERATION

std::string quoted(const std::string& s) { return "\"" + s + "\""; }

const char* class_name(int c) {
  static const char* const kNames[] = {"Cotizacion", "cCtEncabezado", "cCtDetalle"};
  return kNames[c];
}

// ---------------------------------------------------------------- reading requests

// The keys a request of an op may carry; any other is a request error (a misspelt key would
// otherwise be ignored silently).
void check_keys(const Json& request, std::initializer_list<const char*> allowed) {
  const std::string op = request["op"].get<std::string>();
  for (auto it = request.begin(); it != request.end(); ++it) {
    bool known = false;
    for (const char* k : allowed) known = known || it.key() == k;
    if (!known) throw RequestError("unknown key " + quoted(it.key()) + " in a " + op + " request");
  }
}

std::string text_key(const Json& request, const char* key) {
  auto it = request.find(key);
  if (it == request.end())
    throw RequestError("a " + request["op"].get<std::string>() + " request needs " + quoted(key));
  if (!it->is_string() || it->get<std::string>().empty())
    throw RequestError(quoted(key) + " must be a non-empty string");
  return it->get<std::string>();
}

std::optional<std::string> optional_text_key(const Json& request, const char* key) {
  if (!request.contains(key)) return std::nullopt;
  return text_key(request, key);
}

int nth_key(const Json& request) {
  auto it = request.find("nth");
  if (it == request.end()) return 1;
  if (!it->is_number_integer() || it->get<int64_t>() < 1 || it->get<int64_t>() > 1000000000)
    throw RequestError("\"nth\" must be a whole number from 1 up");
  return static_cast<int>(it->get<int64_t>());
}

// The operation named by a fail or answer request; "*" stands for any (fail only).
const Operation* operation_of(const std::string& service, const std::string& operation,
                              bool wildcards) {
  bool service_known = wildcards && service == "*";
  for (const Operation& op : kOperations) {
    if (service != op.service) continue;
    service_known = true;
    if (operation == op.name) return &op;
  }
  if (!service_known)
    throw RequestError("unknown service " + quoted(service) +
                       " (cSistema, cDatos, cInventario, cImpuestos, cPromociones, Connection)");
  if (wildcards && operation == "*") return nullptr;
  throw RequestError("unknown operation " + quoted(operation) + " of " + service);
}

// ---------------------------------------------------------------- writing answers

Json ok_answer() { return Json{{"ok", true}}; }

Json error_answer(const char* kind, const std::string& error) {
  return Json{{"ok", false}, {"kind", kind}, {"error", error}};
}

Json call_json(const CallRecord& call) {
  Json args = Json::array();
  for (const Variant& a : call.args) args.push_back(variant_to_json(a));
  Json j{{"service", call.service}, {"operation", call.operation}, {"args", std::move(args)}};
  if (call.failed)
    j["error"] = call.error;
  else
    j["result"] = variant_to_json(call.result);
  return j;
}

Json message_json(const CallRecord& call) {
  auto arg = [&](size_t i) {
    return i < call.args.size() ? variant_to_json(call.args[i]) : Json();
  };
  return Json{
      {"text", arg(0)}, {"style", arg(1)}, {"source", arg(2)}, {"app", arg(4)}, {"id", arg(5)}};
}

// The description of a parse error without the library's own prefix.
std::string parse_error_text(const std::exception& e) {
  std::string text = e.what();
  if (!text.empty() && text.front() == '[') {
    size_t end = text.find("] ");
    if (end != std::string::npos) text.erase(0, end + 2);
  }
  return text;
}

}  // namespace

// ---------------------------------------------------------------- rows

SqlRows read_rows(const std::shared_ptr<Recordset>& recordset) {
  SqlRows out;
  if (!recordset) return out;
  auto* memory = dynamic_cast<MemoryRecordset*>(recordset.get());
  if (!memory) {
    if (recordset->Eof()) return out;
    throw RequestError("the database gave rows whose column names cannot be read");
  }
  out.columns = memory->columns();
  out.rows = memory->rows();
  return out;
}

// ---------------------------------------------------------------- the runner

ScriptRunner::ScriptRunner(std::shared_ptr<ScriptHost> host) : host_(std::move(host)) {
  install_host();
}

ScriptRunner::~ScriptRunner() {
  objects_.clear();
  reset_thread_state();
  install_thread_host_factory(nullptr);
}

void ScriptRunner::install_host() {
  install_thread_host_factory(wrap_host(host_->factory(), boundary_));
  reset_thread_state();
}

void ScriptRunner::run(std::istream& in, std::ostream& out) {
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find_first_not_of(" \t\r\n\f\v") == std::string::npos) continue;
    out << handle(line).dump(-1, ' ', false, Json::error_handler_t::replace) << '\n' << std::flush;
  }
}

Json ScriptRunner::handle(const std::string& line) {
  Json answer;
  try {
    Json request;
    try {
      request = parse_json_input(line);
    } catch (const JsonInputError& e) {
      throw RequestError(e.what());
    }
    answer = carry_out(request);
  } catch (const RequestError& e) {
    answer = error_answer("request", e.what());
  } catch (const Json::exception& e) {
    answer = error_answer("request", parse_error_text(e));
  } catch (const std::exception& e) {
    answer = error_answer("failure", e.what());
  } catch (...) {
    answer = error_answer("failure", current_failure_description());
  }
  Json messages = Json::array();
  try {
    collect_calls(messages);
  } catch (...) {
    // The answer stands even if the record of the calls cannot be read.
  }
  if (!messages.empty()) answer["messages"] = std::move(messages);
  return answer;
}

// Moves the calls the boundary recorded into the list for the next "calls" request, and lists
// the messages among them.
void ScriptRunner::collect_calls(Json& messages) {
  for (CallRecord& call : boundary_->take_calls()) {
    if (call.service == "cSistema" && call.operation == "Mostrar_Mensaje")
      messages.push_back(message_json(call));
    calls_.push_back(std::move(call));
  }
}

Json ScriptRunner::carry_out(const Json& request) {
  if (!request.is_object()) throw RequestError("a request must be a JSON object");
  auto op_it = request.find("op");
  if (op_it == request.end()) throw RequestError("a request needs \"op\"");
  if (!op_it->is_string()) throw RequestError("\"op\" must be a string");
  const std::string op = op_it->get<std::string>();
  if (op == "create") return op_create(request);
  if (op == "get") return op_get(request);
  if (op == "let") return op_let(request);
  if (op == "set") return op_set(request);
  if (op == "call") return op_call(request);
  if (op == "release") return op_release(request);
  if (op == "host") return op_host(request);
  if (op == "sql") return op_sql(request);
  if (op == "calls") return op_calls(request);
  if (op == "fail") return op_fail(request);
  if (op == "answer") return op_answer(request);
  throw RequestError("unknown op " + quoted(op) +
                     " (create, get, let, set, call, release, host, sql, calls, fail, answer)");
}

// ---------------------------------------------------------------- objects

Json ScriptRunner::op_create(const Json& request) {
  check_keys(request, {"op", "class", "name"});
  const std::string cls = text_key(request, "class");
  const std::string name = text_key(request, "name");
  NamedObject created;
  if (cls == "Cotizacion") {
    created = {Ref<IDispatch>(create_Cotizacion().get()), ObjectClass::Cotizacion};
  } else if (cls == "cCtEncabezado") {
    created = {Ref<IDispatch>(create_cCtEncabezado().get()), ObjectClass::cCtEncabezado};
  } else if (cls == "cCtDetalle") {
    created = {Ref<IDispatch>(create_cCtDetalle().get()), ObjectClass::cCtDetalle};
  } else {
    throw RequestError("unknown class " + quoted(cls) + " (Cotizacion, cCtEncabezado, cCtDetalle)");
  }
  objects_[name] = std::move(created);
  return ok_answer();
}

Json ScriptRunner::op_release(const Json& request) {
  check_keys(request, {"op", "name"});
  const std::string name = text_key(request, "name");
  if (objects_.erase(name) == 0) throw RequestError("no object named " + quoted(name));
  return ok_answer();
}

ScriptRunner::NamedObject& ScriptRunner::target_of(const Json& request) {
  const std::string name = text_key(request, "target");
  auto it = objects_.find(name);
  if (it == objects_.end()) throw RequestError("no object named " + quoted(name));
  return it->second;
}

int32_t ScriptRunner::member_id(NamedObject& target, const std::string& member) {
  int32_t id = -1;
  if (target.object->GetIDsOfNames(member, &id) != S_OK)
    throw RequestError("unknown member " + quoted(member) + " of " +
                       class_name(static_cast<int>(target.object_class)));
  return id;
}

namespace {
const std::vector<MemberInfo>& members_of(int object_class) {
  switch (object_class) {
    case 0:
      return kCotizacionMembers;
    case 1:
      return kEncabezadoMembers;
    default:
      return kDetalleMembers;
  }
}

const MemberInfo* find_member(int object_class, const std::string& name, InvokeKind kind) {
  for (const MemberInfo& m : members_of(object_class))
    if (m.kind == kind && strcasecmp(m.name, name.c_str()) == 0) return &m;
  return nullptr;
}

// The member that a let request (a value) or a set request (an object) assigns. A member that
// takes the other is refused with the request to use instead.
const MemberInfo& assigned_member(int object_class, const std::string& name, bool object) {
  const InvokeKind kind = object ? InvokeKind::PropertyPutRef : InvokeKind::PropertyPut;
  const InvokeKind other = object ? InvokeKind::PropertyPut : InvokeKind::PropertyPutRef;
  if (const MemberInfo* info = find_member(object_class, name, kind)) return *info;
  if (find_member(object_class, name, other))
    throw RequestError(name + (object ? " takes a value: use a let request"
                                      : " takes an object: use a set request"));
  throw RequestError(name + " of " + class_name(object_class) + " cannot be assigned");
}
}  // namespace

// The thread's start-up runs again before the first use after a host change, so that objects
// created earlier find the thread's services in place.
Variant ScriptRunner::invoke(NamedObject& target, const std::string& member, int32_t id,
                             InvokeKind kind, std::vector<Variant> args) {
  ensure_started();
  Variant result;
  std::string error;
  HRESULT hr = target.object->Invoke(id, kind, args, &result, &error);
  if (hr == S_OK) return result;
  if (hr == DISP_E_EXCEPTION) throw Failure(error);
  if (error.empty()) error = "the member " + member + " cannot be called that way";
  throw RequestError(error);
}

Json ScriptRunner::object_json(IDispatch* object, const std::optional<std::string>& name) {
  if (!object) return Json{{"object", nullptr}};
  static const GUID* const kInterfaces[] = {&IID__Cotizacion, &IID__cCtEncabezado,
                                            &IID__cCtDetalle};
  std::optional<ObjectClass> cls;
  for (int i = 0; i < 3 && !cls; ++i) {
    void* p = nullptr;
    if (object->QueryInterface(*kInterfaces[i], &p) == S_OK) {
      static_cast<IUnknown*>(static_cast<IDispatch*>(p))->Release();
      cls = static_cast<ObjectClass>(i);
    }
  }
  if (!cls) throw RequestError("the member returned an object of no class of this component");
  if (name) {
    objects_[*name] = {Ref<IDispatch>(object), *cls};
    return Json{{"object", *name}};
  }
  // Without a name, the object keeps the name it already has in the script, or gets a new one.
  for (const auto& [known, named] : objects_)
    if (named.object.get() == object) return Json{{"object", known}};
  std::string fresh;
  do {
    fresh = "object" + std::to_string(++unnamed_objects_);
  } while (objects_.count(fresh));
  objects_[fresh] = {Ref<IDispatch>(object), *cls};
  return Json{{"object", fresh}};
}

Json ScriptRunner::op_get(const Json& request) {
  check_keys(request, {"op", "target", "member", "name"});
  NamedObject& target = target_of(request);
  const std::string member = text_key(request, "member");
  const std::optional<std::string> name = optional_text_key(request, "name");
  int32_t id = member_id(target, member);
  Variant value = invoke(target, member, id, InvokeKind::PropertyGet, {});
  Json answer = ok_answer();
  answer["value"] = variant_to_json(value, [&](IDispatch* o) { return object_json(o, name); });
  return answer;
}

Json ScriptRunner::op_let(const Json& request) {
  check_keys(request, {"op", "target", "member", "value"});
  NamedObject& target = target_of(request);
  const std::string member = text_key(request, "member");
  if (!request.contains("value")) throw RequestError("a let request needs \"value\"");
  int32_t id = member_id(target, member);
  const MemberInfo& info = assigned_member(static_cast<int>(target.object_class), member, false);
  Variant value = variant_from_json(info.value, request["value"], "the value of " + member);
  invoke(target, member, id, InvokeKind::PropertyPut, {std::move(value)});
  return ok_answer();
}

Json ScriptRunner::op_set(const Json& request) {
  check_keys(request, {"op", "target", "member", "object"});
  NamedObject& target = target_of(request);
  const std::string member = text_key(request, "member");
  auto it = request.find("object");
  if (it == request.end()) throw RequestError("a set request needs \"object\"");
  int32_t id = member_id(target, member);
  assigned_member(static_cast<int>(target.object_class), member, true);
  Variant value{static_cast<IDispatch*>(nullptr)};
  if (!it->is_null()) {
    if (!it->is_string()) throw RequestError("\"object\" must name an object (or be null)");
    auto named = objects_.find(it->get<std::string>());
    if (named == objects_.end())
      throw RequestError("no object named " + quoted(it->get<std::string>()));
    value = Variant(named->second.object.get());
  }
  invoke(target, member, id, InvokeKind::PropertyPutRef, {std::move(value)});
  return ok_answer();
}

Json ScriptRunner::op_call(const Json& request) {
  check_keys(request, {"op", "target", "member", "args"});
  NamedObject& target = target_of(request);
  const std::string member = text_key(request, "member");
  Json given = request.contains("args") ? request["args"] : Json::array();
  if (!given.is_array()) throw RequestError("\"args\" must be an array");
  int32_t id = member_id(target, member);
  const MemberInfo* info =
      find_member(static_cast<int>(target.object_class), member, InvokeKind::Method);
  if (info && static_cast<int>(given.size()) != info->folio_args)
    throw RequestError(std::string(info->name) + " takes " + std::to_string(info->folio_args) +
                       " argument(s), not " + std::to_string(given.size()));
  std::vector<Variant> args;
  for (size_t i = 0; i < given.size(); ++i)
    args.push_back(variant_from_json(info ? ValueKind::Text : ValueKind::Any, given[i],
                                     "argument " + std::to_string(i + 1) + " of " + member));
  Variant result = invoke(target, member, id, InvokeKind::Method, std::move(args));
  Json answer = ok_answer();
  if (!result.is_empty())
    answer["value"] = variant_to_json(result, [&](IDispatch* o) { return object_json(o, {}); });
  return answer;
}

// ---------------------------------------------------------------- the host

Json ScriptRunner::op_host(const Json& request) {
  check_keys(request, {"op", "server_id", "remote", "operator", "clock"});
  HostChanges changes;
  if (request.contains("server_id")) {
    if (!request["server_id"].is_string()) throw RequestError("\"server_id\" must be a string");
    changes.server_id = request["server_id"].get<std::string>();
  }
  if (request.contains("remote")) {
    if (!request["remote"].is_boolean()) throw RequestError("\"remote\" must be true or false");
    changes.remote = request["remote"].get<bool>();
  }
  if (request.contains("operator")) {
    if (!request["operator"].is_string()) throw RequestError("\"operator\" must be a string");
    changes.operator_name = request["operator"].get<std::string>();
  }
  if (request.contains("clock")) {
    const Json& clock = request["clock"];
    changes.clock = clock.is_null() ? std::optional<Date>()
                                    : std::optional<Date>(date_from_json(clock, "\"clock\""));
  }
  host_->change(changes);
  install_host();
  return ok_answer();
}

Json ScriptRunner::op_sql(const Json& request) {
  check_keys(request, {"op", "text"});
  const std::string text = text_key(request, "text");
  SqlRows result;
  try {
    result = host_->run_sql(text);
  } catch (const RequestError&) {
    throw;
  } catch (const std::exception& e) {
    throw RequestError(std::string("the statement could not be run: ") + e.what());
  }
  Json rows = Json::array();
  for (const std::vector<Variant>& values : result.rows) {
    Json row = Json::object();
    for (size_t i = 0; i < result.columns.size() && i < values.size(); ++i)
      row[result.columns[i]] = variant_to_json(values[i]);
    rows.push_back(std::move(row));
  }
  Json answer = ok_answer();
  answer["rows"] = std::move(rows);
  return answer;
}

Json ScriptRunner::op_calls(const Json& request) {
  check_keys(request, {"op"});
  Json ignored_messages = Json::array();
  collect_calls(ignored_messages);
  Json calls = Json::array();
  for (const CallRecord& call : calls_) calls.push_back(call_json(call));
  calls_.clear();
  Json answer = ok_answer();
  answer["calls"] = std::move(calls);
  return answer;
}

Json ScriptRunner::op_fail(const Json& request) {
  check_keys(request, {"op", "service", "operation", "nth", "description"});
  const std::string service = text_key(request, "service");
  const std::string operation = text_key(request, "operation");
  operation_of(service, operation, true);
  int nth = nth_key(request);
  const std::string description = text_key(request, "description");
  boundary_->fail(service, operation, nth, description);
  return ok_answer();
}

Json ScriptRunner::op_answer(const Json& request) {
  check_keys(request, {"op", "service", "operation", "nth", "value"});
  const std::string service = text_key(request, "service");
  const std::string operation = text_key(request, "operation");
  const Operation* op = operation_of(service, operation, false);
  int nth = nth_key(request);
  Variant value;
  switch (op->form) {
    case AnswerForm::NotAnswerable:
      throw RequestError(service + "." + operation + " gives an object and cannot be answered");
    case AnswerForm::NoRows:  // an answered statement is not run and gives no rows
      break;
    case AnswerForm::Value:
      if (!request.contains("value")) throw RequestError("an answer request needs \"value\"");
      value = variant_from_json(op->result, request["value"],
                                "the answer of " + service + "." + operation);
      break;
  }
  boundary_->answer(service, operation, nth, std::move(value));
  return ok_answer();
}

}  // namespace quorlane::automation
