// The JSON automation interface: requests, one JSON object per line, drive the component's
// objects through late binding (IDispatch) and the host through the recording boundary; each
// request gets exactly one JSON answer, in order.
//
// The runner installs its host, wrapped with its boundary, for the calling thread and resets
// the thread's component state, so that the first object it creates runs start-up on that host.
// A "host" request changes the host's settings and resets the thread state again: the next
// request that uses the component runs start-up afresh and so reads the new settings. Objects
// created before it keep working; they use the restarted thread state from then on.
//
// An object-valued get names the object it returns: with the request's "name", else by the
// name the script already gives that object, else by a new name "objectN". A fail request may
// name the service or the operation "*" for any.
#pragma once

#include <iosfwd>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "automation/json_values.h"
#include "host/wrap/boundary.h"
#include "quorlane/com.h"
#include "quorlane/host.h"

namespace quorlane::automation {

// Rows of a query, in column order.
struct SqlRows {
  std::vector<std::string> columns;
  std::vector<std::vector<Variant>> rows;
};

// The rows of a recordset that knows its column names (a MemoryRecordset); a recordset that
// does not is a request error, and one without rows gives none.
SqlRows read_rows(const std::shared_ptr<Recordset>& recordset);

// The settings a "host" request changes; an absent member stays as it is.
struct HostChanges {
  std::optional<std::string> server_id;
  std::optional<bool> remote;
  std::optional<std::string> operator_name;
  // Present: a fixed date-time, or (an empty inner value) the database's own clock.
  std::optional<std::optional<Date>> clock;
};

// The host a script drives. The standard host stands behind it in the program; tests put a
// scripted host behind it.
class ScriptHost {
 public:
  virtual ~ScriptHost() = default;
  // The factory of the host's own services; the runner wraps them with its boundary.
  virtual std::shared_ptr<HostFactory> factory() = 0;
  // Applies a "host" request to the host's settings.
  virtual void change(const HostChanges& changes) = 0;
  // Runs a statement directly on the database, neither through the component nor recorded.
  virtual SqlRows run_sql(const std::string& text) = 0;
};

class ScriptRunner {
 public:
  explicit ScriptRunner(std::shared_ptr<ScriptHost> host);
  ~ScriptRunner();
  ScriptRunner(const ScriptRunner&) = delete;
  ScriptRunner& operator=(const ScriptRunner&) = delete;

  // Answers every request of `in` on `out`, one line each, flushed after each; blank lines are
  // skipped. Returns at the end of input.
  void run(std::istream& in, std::ostream& out);

  // The answer to one request line. Never throws.
  Json handle(const std::string& line);

 private:
  enum class ObjectClass { Cotizacion, cCtEncabezado, cCtDetalle };
  struct NamedObject {
    Ref<IDispatch> object;
    ObjectClass object_class;
  };

  void install_host();
  Json carry_out(const Json& request);
  Json op_create(const Json& request);
  Json op_get(const Json& request);
  Json op_let(const Json& request);
  Json op_set(const Json& request);
  Json op_call(const Json& request);
  Json op_release(const Json& request);
  Json op_host(const Json& request);
  Json op_sql(const Json& request);
  Json op_calls(const Json& request);
  Json op_fail(const Json& request);
  Json op_answer(const Json& request);

  NamedObject& target_of(const Json& request);
  int32_t member_id(NamedObject& target, const std::string& member);
  Variant invoke(NamedObject& target, const std::string& member, int32_t id, InvokeKind kind,
                 std::vector<Variant> args);
  Json object_json(IDispatch* object, const std::optional<std::string>& name);
  void collect_calls(Json& messages);

  std::shared_ptr<ScriptHost> host_;
  std::shared_ptr<Boundary> boundary_ = std::make_shared<Boundary>();
  std::map<std::string, NamedObject> objects_;
  std::vector<CallRecord> calls_;  // since the last "calls" request
  int unnamed_objects_ = 0;
};

}  // namespace quorlane::automation
