#include "automation/json_values.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace quorlane::automation {

namespace {

// The promotion record has no published field list; its JSON form names its members.
#define QL_TPROMOCION_FIELDS(X)         \
  X(Pr_Cve_Producto, TEXT, std::string) \
  X(Tl_Cve_Talla, TEXT, std::string)    \
  X(Cl_Cve_Color, TEXT, std::string)    \
  X(Cantidad, NUM, double)              \
  X(Un_Cve_Unidad, TEXT, std::string)   \
  X(Pm_Folio, TEXT, std::string)        \
  X(Pm_Descripcion, TEXT, std::string)  \
  X(Pm_Texto_1, TEXT, std::string)      \
  X(Pm_Texto_2, TEXT, std::string)

// Every record with a JSON form: (type, field list).
#define QL_JSON_RECORDS(X) \
  QL_RECORDS(X)            \
  X(tPromocion, QL_TPROMOCION_FIELDS)

// visit_fields(record, visit) calls visit(name, field) for each field in declared order.
#define QL_VISIT_FIELD(name, kind, type) visit(#name, r.name);
#define QL_DEFINE_VISITOR(type, LIST)           \
  template <class V>                            \
  void visit_fields(type& r, V&& visit) {       \
    LIST(QL_VISIT_FIELD)                        \
  }                                             \
  template <class V>                            \
  void visit_fields(const type& r, V&& visit) { \
    LIST(QL_VISIT_FIELD)                        \
  }
QL_JSON_RECORDS(QL_DEFINE_VISITOR)
#undef QL_DEFINE_VISITOR
#undef QL_VISIT_FIELD

template <class T>
concept Record = requires {
  T::kTypeName;
};

// Whole numbers are written without a fraction, so that 2 reads 2 and not 2.0.
Json number_json(double v) {
  if (std::isfinite(v) && v == std::floor(v) && std::fabs(v) < 9007199254740992.0)
    return Json(static_cast<int64_t>(v));
  return Json(v);
}

std::string field_path(const std::string& prefix, const char* name) {
  return prefix.empty() ? std::string(name) : prefix + "." + name;
}

std::string quoted(const std::string& s) { return "\"" + s + "\""; }

[[noreturn]] void wrong_kind(const std::string& what, const char* expected) {
  throw RequestError(what + " must be " + expected);
}

double number_from_json(const Json& j, const std::string& what) {
  if (!j.is_number()) wrong_kind(what, "a number");
  return j.get<double>();
}

int16_t int16_from_json(const Json& j, const std::string& what) {
  if (!j.is_number()) wrong_kind(what, "a whole number");
  double v = j.get<double>();
  if (v != std::floor(v) || v < std::numeric_limits<int16_t>::min() ||
      v > std::numeric_limits<int16_t>::max())
    wrong_kind(what, "a whole number from -32768 to 32767");
  return static_cast<int16_t>(v);
}

std::string text_from_json(const Json& j, const std::string& what) {
  if (!j.is_string()) wrong_kind(what, "a string");
  return j.get<std::string>();
}

struct FieldWriter {
  Json& out;
  void operator()(const char* n, const std::string& v) { out[n] = v; }
  void operator()(const char* n, double v) { out[n] = number_json(v); }
  void operator()(const char* n, int16_t v) { out[n] = v; }
  void operator()(const char* n, const Date& v) { out[n] = date_json_text(v); }
  void operator()(const char* n, const UserDef& v) { out[n] = v.data; }
  template <Record R>
  void operator()(const char* n, const R& v) {
    out[n] = record_to_json(v);
  }
};

// `top` is the record the request gave, named in errors about its nested fields.
template <class R>
void read_record(const Json& j, R& record, const std::string& path, const char* top);

// Fills the fields present in `in`; absent and null fields keep their empty value.
struct FieldReader {
  const Json& in;
  const std::string& path;
  const char* top;
  const Json* find(const char* n) {
    auto it = in.find(n);
    return it == in.end() || it->is_null() ? nullptr : &*it;
  }
  std::string what(const char* n) { return "field " + quoted(field_path(path, n)); }
  void operator()(const char* n, std::string& v) {
    if (const Json* j = find(n)) v = text_from_json(*j, what(n));
  }
  void operator()(const char* n, double& v) {
    if (const Json* j = find(n)) v = number_from_json(*j, what(n));
  }
  void operator()(const char* n, int16_t& v) {
    if (const Json* j = find(n)) v = int16_from_json(*j, what(n));
  }
  void operator()(const char* n, Date& v) {
    if (const Json* j = find(n)) v = date_from_json(*j, what(n));
  }
  void operator()(const char* n, UserDef& v) {
    if (const Json* j = find(n)) v.data = text_from_json(*j, what(n) + " (UserDef, kept verbatim)");
  }
  template <Record R>
  void operator()(const char* n, R& v) {
    if (const Json* j = find(n)) read_record(*j, v, field_path(path, n), top);
  }
};

template <class R>
void read_record(const Json& j, R& record, const std::string& path, const char* top) {
  if (!j.is_object())
    throw RequestError((path.empty() ? std::string(R::kTypeName) : "field " + quoted(path)) +
                       " must be a JSON object (a " + R::kTypeName + " record)");
  std::vector<const char*> names;
  visit_fields(record, [&](const char* n, const auto&) { names.push_back(n); });
  for (auto it = j.begin(); it != j.end(); ++it) {
    bool known = false;
    for (const char* n : names) known = known || it.key() == n;
    if (!known)
      throw RequestError("unknown field " + quoted(field_path(path, it.key().c_str())) + " in " +
                         top);
  }
  visit_fields(record, FieldReader{j, path, top});
}

}  // namespace

std::string date_json_text(Date d) {
  std::string text = date_text(d);
  if (text.size() > 10) text[10] = 'T';
  return text;
}

Date date_from_json(const Json& j, const std::string& what) {
  if (j.is_number()) return Date{j.get<double>()};
  Date d;
  if (j.is_string() && parse_date(j.get<std::string>(), d)) return d;
  wrong_kind(what, "a date: \"YYYY-MM-DD\", \"YYYY-MM-DDTHH:MM:SS\" or a serial day number");
}

template <class R>
Json record_to_json(const R& record) {
  Json out = Json::object();
  visit_fields(record, FieldWriter{out});
  return out;
}

template <class R>
R record_from_json(const Json& j) {
  R record{};
  read_record(j, record, "", R::kTypeName);
  return record;
}

#define QL_INSTANTIATE(type, LIST)                        \
  template Json record_to_json<type>(const type& record); \
  template type record_from_json<type>(const Json& j);
QL_JSON_RECORDS(QL_INSTANTIATE)
#undef QL_INSTANTIATE

Variant variant_from_json(ValueKind kind, const Json& j, const std::string& what) {
  switch (kind) {
    case ValueKind::Text:
      return Variant(text_from_json(j, what));
    case ValueKind::Number:
      return Variant(number_from_json(j, what));
    case ValueKind::Int16:
      return Variant(int16_from_json(j, what));
    case ValueKind::Boolean:
      if (!j.is_boolean()) wrong_kind(what, "true or false");
      return Variant(j.get<bool>());
    case ValueKind::Date:
      return Variant(date_from_json(j, what));
    case ValueKind::Encabezado:
      return Variant::record(record_from_json<tCtEncabezado>(j));
    case ValueKind::Detalle:
      return Variant::record(record_from_json<tCtDetalle>(j));
    case ValueKind::Promocion:
      return Variant::record(record_from_json<tPromocion>(j));
    case ValueKind::Any:
      if (j.is_string()) return Variant(j.get<std::string>());
      if (j.is_boolean()) return Variant(j.get<bool>());
      if (j.is_number()) return Variant(j.get<double>());
      if (j.is_null()) return Variant::null();
      wrong_kind(what, "a string, a number, true, false or null");
  }
  wrong_kind(what, "a value");
}

Json variant_to_json(const Variant& v, const ObjectWriter& write_object) {
  switch (v.kind()) {
    case Variant::Kind::Empty:
    case Variant::Kind::Null:
      return Json();
    case Variant::Kind::Boolean:
      return Json(v.raw_bool());
    case Variant::Kind::Int16:
    case Variant::Kind::Int32:
      return Json(v.raw_int());
    case Variant::Kind::Double:
      return number_json(v.raw_double());
    case Variant::Kind::Date:
      return Json(date_json_text(Date{v.raw_double()}));
    case Variant::Kind::Text:
      return Json(v.raw_text());
    case Variant::Kind::Object:
      if (write_object) return write_object(v.object());
      return Json{{"object", nullptr}};
    case Variant::Kind::Record:
#define QL_RECORD_JSON(type, LIST) \
  if (const type* r = v.record_as<type>()) return record_to_json(*r);
      QL_JSON_RECORDS(QL_RECORD_JSON)
#undef QL_RECORD_JSON
      return Json{{"record", v.record_value()->type_name()}};
  }
  return Json();
}

}  // namespace quorlane::automation
