// The JSON forms of the values that cross the automation interface: texts, numbers, Booleans,
// date-times, the public records (generated from their field lists), the promotion record and
// objects. A value that has no JSON form of the kind asked for is a request error.
#pragma once

#include <functional>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>

#include "quorlane/host.h"
#include "quorlane/records.h"
#include "quorlane/variant.h"

namespace quorlane::automation {

// Keys keep the order in which they are written, so answers read "ok" first.
using Json = nlohmann::ordered_json;

// A request that cannot be carried out: what is wrong, in the user's words.
class RequestError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The value kinds a member or an operation takes.
enum class ValueKind { Text, Number, Int16, Boolean, Date, Encabezado, Detalle, Promocion, Any };

// "YYYY-MM-DD" at midnight, else "YYYY-MM-DDTHH:MM:SS".
std::string date_json_text(Date d);
// A date string (either form) or a serial day count; `what` names the value in the error.
Date date_from_json(const Json& j, const std::string& what);

// A JSON value as a Variant of the given kind. `what` names the value in the error.
// Any: a string is text, a number a 64-bit float, true/false a Boolean, null Null.
Variant variant_from_json(ValueKind kind, const Json& j, const std::string& what);

// How an object in a value is written; by default {"object":null} for every object.
using ObjectWriter = std::function<Json(IDispatch* object)>;

// A Variant as JSON: Empty and Null are null, dates as above, records as objects keyed by
// field name, objects through `write_object`.
Json variant_to_json(const Variant& v, const ObjectWriter& write_object = {});

// Records: keys are the field names, nested records nested objects; a missing (or null) field
// is empty, 0 or date 0; an unknown key is a request error naming it. UserDef is a JSON string
// kept verbatim.
template <class R>
Json record_to_json(const R& record);
template <class R>
R record_from_json(const Json& j);

}  // namespace quorlane::automation
