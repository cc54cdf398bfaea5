#include "automation/quote_document.h"

#include <strings.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

#include "automation/json_input.h"

namespace quorlane::automation {

namespace {

// ---------------------------------------------------------------- the field lists

// The fields a document must give, per record or property class: the keys that line admission
// looks up (branch, warehouse, customer, seller, currency, exchange rate) and, for a line, the
// product, quantity and unit. Everything else may be left out and is then empty, 0 or date 0.
const std::map<std::string, std::vector<const char*>>& required_fields() {
  static const std::map<std::string, std::vector<const char*>> kRequired = {
      {"tCtEncabezado",
       {"Mn_Cve_Moneda", "Ct_Tipo_Cambio", "Sucursal", "Almacen", "Cliente", "Vendedor"}},
      {"tCtSucursal", {"Sc_Cve_Sucursal"}},
      {"tCtAlmacen", {"Al_Cve_Almacen"}},
      {"tCtCliente", {"Cl_Cve_Cliente"}},
      {"tCtVendedor", {"Vn_Cve_Vendedor"}},
      {"tCtDetalle", {"Producto", "Ct_Cantidad_1", "Ct_Unidad_1"}},
      {"tCtProducto", {"Pr_Cve_Producto"}},
      {"cCtEncabezado",
       {"Mn_Cve_Moneda", "Ct_Tipo_Cambio", "Sc_Cve_Sucursal", "Al_Cve_Almacen", "Cl_Cve_Cliente",
        "Vn_Cve_Vendedor"}},
      {"cCtDetalle", {"Pr_Cve_Producto", "Ct_Cantidad_1", "Ct_Unidad_1"}},
  };
  return kRequired;
}

// The texts that line rows hold as numbers: the component writes them into the statement as they
// stand, without apostrophes.
const std::map<std::string, std::vector<const char*>>& numeral_fields() {
  static const std::map<std::string, std::vector<const char*>> kNumerals = {
      {"tCtDetalle", {"Ct_Partida"}},
      {"cCtDetalle", {"Ct_Partida"}},
  };
  return kNumerals;
}

void mark(RecordFields& record, const std::map<std::string, std::vector<const char*>>& marks,
          bool DocumentField::*flag) {
  auto found = marks.find(record.name);
  if (found == marks.end()) return;
  for (const char* field : found->second) {
    auto it = std::find_if(record.fields.begin(), record.fields.end(),
                           [&](const DocumentField& f) { return f.name == field; });
    if (it == record.fields.end())
      throw std::logic_error(std::string(field) + " is no field of " + record.name);
    (*it).*flag = true;
  }
}

RecordFields make_record_fields(const char* name, std::vector<DocumentField> fields) {
  RecordFields record{name, std::move(fields)};
  mark(record, required_fields(), &DocumentField::required);
  mark(record, numeral_fields(), &DocumentField::numeral);
  return record;
}

template <class T>
const RecordFields& fields_of();

constexpr FieldKind kKind_TEXT = FieldKind::Text;
constexpr FieldKind kKind_NUM = FieldKind::Number;
constexpr FieldKind kKind_INT = FieldKind::Int16;
constexpr FieldKind kKind_DATE = FieldKind::Date;
constexpr FieldKind kKind_USERDEF = FieldKind::UserDef;
constexpr FieldKind kKind_REC = FieldKind::Record;

template <class T>
DocumentField field(const char* name, FieldKind kind) {
  DocumentField f{name, kind};
  if constexpr (requires { T::kTypeName; }) f.record = &fields_of<T>();
  return f;
}

#define QL_DOCUMENT_FIELD(name, kind, type) field<type>(#name, kKind_##kind),
#define QL_RECORD_FIELDS(type, LIST)                                                         \
  template <>                                                                                \
  const RecordFields& fields_of<type>() {                                                    \
    static const RecordFields record = make_record_fields(#type, {LIST(QL_DOCUMENT_FIELD)}); \
    return record;                                                                           \
  }
// Nested records first: each record's list refers to the lists of the records it holds.
QL_RECORD_FIELDS(tCtZona, QL_TCTZONA_FIELDS)
QL_RECORD_FIELDS(tCtSucursal, QL_TCTSUCURSAL_FIELDS)
QL_RECORD_FIELDS(tCtAlmacen, QL_TCTALMACEN_FIELDS)
QL_RECORD_FIELDS(tCtVendedor, QL_TCTVENDEDOR_FIELDS)
QL_RECORD_FIELDS(tCtSegmento, QL_TCTSEGMENTO_FIELDS)
QL_RECORD_FIELDS(tCtRuta, QL_TCTRUTA_FIELDS)
QL_RECORD_FIELDS(tCtGrupo_Comercial, QL_TCTGRUPO_COMERCIAL_FIELDS)
QL_RECORD_FIELDS(tCtCadena_Comercial, QL_TCTCADENA_COMERCIAL_FIELDS)
QL_RECORD_FIELDS(tCtCliente, QL_TCTCLIENTE_FIELDS)
QL_RECORD_FIELDS(tCtProveedor, QL_TCTPROVEEDOR_FIELDS)
QL_RECORD_FIELDS(tCtProducto, QL_TCTPRODUCTO_FIELDS)
QL_RECORD_FIELDS(tCtEncabezado, QL_TCTENCABEZADO_FIELDS)
QL_RECORD_FIELDS(tCtDetalle, QL_TCTDETALLE_FIELDS)
#undef QL_RECORD_FIELDS

// ---------------------------------------------------------------- checking

constexpr const char* kShapeKey = "shape";
constexpr const char* kHeaderKey = "header";
constexpr const char* kLinesKey = "lines";
constexpr const char* kPromocionesKey = "promociones";
constexpr const char* kFinalizarKey = "finalizar";
constexpr const char* kRecordShape = "record";
constexpr const char* kObjectShape = "object";
constexpr const char* kDocumentPath = "document";
constexpr const char* kMissing = "missing: a required field";
// The patterns begin by refusing a line break anywhere: some validators let "$" match before a
// final line break, which the program would not accept.
constexpr const char* kNumeralPattern = "^(?!.*\\n)-?[0-9]+([.][0-9]+)?$";
// A date that exists (a leap year's 29 February included), optionally with a time of day:
// "YYYY-MM-DD", "YYYY-MM-DDTHH:MM" or "YYYY-MM-DDTHH:MM:SS" ("T" or a blank between), nothing
// around it and no fraction of a second, exactly what strict_date_text() accepts.
constexpr const char* kDatePattern =
    "^(?!.*\\n)(?:[0-9]{4}-(?:(?:0[13578]|1[02])-(?:0[1-9]|[12][0-9]|3[01])|"
    "(?:0[469]|11)-(?:0[1-9]|[12][0-9]|30)|02-(?:0[1-9]|1[0-9]|2[0-8]))|"
    "(?:[0-9]{2}(?:0[48]|[2468][048]|[13579][26])|(?:[02468][048]|[13579][26])00)-02-29)"
    "(?:[T ](?:[01][0-9]|2[0-3]):[0-5][0-9](?::[0-5][0-9])?)?$";
constexpr const char* kDateDescription =
    "a date that exists, or a date and time of day, with nothing around it and no fraction of a "
    "second; a number is a serial day count";

using Problems = std::vector<DocumentProblem>;

// What the field's value must be, as the problem states it.
std::string expected(const DocumentField& f) {
  switch (f.kind) {
    case FieldKind::Text:
      return f.numeral ? "expected a number written as a string, such as \"1\""
                       : "expected a string";
    case FieldKind::Number:
      return "expected a number";
    case FieldKind::Int16:
      return "expected a whole number from -32768 to 32767";
    case FieldKind::Date:
      return "expected a date: \"YYYY-MM-DD\" or \"YYYY-MM-DDTHH:MM:SS\"";
    case FieldKind::UserDef:
      return "expected a string (the UserDef record, kept as given)";
    case FieldKind::Record:
      return "expected an object (a " + f.record->name + " record)";
  }
  return "expected a value";
}

// Digits with an optional minus sign and decimals, as kNumeralPattern says.
bool numeral(const std::string& s) {
  size_t i = s.size() > 0 && s[0] == '-' ? 1 : 0;
  size_t digits = 0, point = std::string::npos;
  for (; i < s.size(); ++i) {
    if (s[i] >= '0' && s[i] <= '9') {
      ++digits;
    } else if (s[i] == '.' && point == std::string::npos && digits > 0) {
      point = i;
    } else {
      return false;
    }
  }
  return digits > 0 && point != s.size() - 1;
}

// A date as kDatePattern writes it. The host reads more forms (blanks around the date, a fraction
// of a second, dropped); a document gives only this one, so that the schema and the program
// accept the same documents.
bool strict_date_text(const std::string& s) {
  auto digit = [](char c) { return c >= '0' && c <= '9'; };
  Date ignored;
  return !s.empty() && digit(s.front()) && digit(s.back()) && s.find('.') == std::string::npos &&
         parse_date(s, ignored);
}

bool value_fits(const DocumentField& f, const Json& v) {
  switch (f.kind) {
    case FieldKind::Text:
      return v.is_string() && (!f.numeral || numeral(v.get<std::string>()));
    case FieldKind::UserDef:
      return v.is_string();
    case FieldKind::Number:
      return v.is_number();
    case FieldKind::Int16: {
      if (!v.is_number()) return false;
      double d = v.get<double>();
      return d == std::floor(d) && d >= std::numeric_limits<int16_t>::min() &&
             d <= std::numeric_limits<int16_t>::max();
    }
    case FieldKind::Date:
      return v.is_number() || (v.is_string() && strict_date_text(v.get<std::string>()));
    case FieldKind::Record:
      return v.is_object();
  }
  return false;
}

// An unknown field, with a hint when the name is close to one the record has: the same name in
// other letter case, or a field of one of its nested records (a record-shape line that gives
// Pr_Cve_Producto where the record has Producto.Pr_Cve_Producto).
std::string unknown_field(const RecordFields& record, const std::string& name) {
  for (const DocumentField& f : record.fields)
    if (strcasecmp(f.name.c_str(), name.c_str()) == 0)
      return "unknown field (did you mean " + f.name + "?)";
  for (const DocumentField& f : record.fields)
    if (f.record != nullptr && f.record->find(name) != nullptr)
      return "unknown field of " + record.name + " (did you mean " + f.name + "." + name + "?)";
  return "unknown field of " + record.name;
}

void check_record(const RecordFields& record, const Json& j, const std::string& path,
                  Problems& out) {
  for (auto it = j.begin(); it != j.end(); ++it) {
    const std::string where = member_path(path, it.key());
    const DocumentField* f = record.find(it.key());
    if (f == nullptr) {
      out.push_back({where, unknown_field(record, it.key())});
    } else if (!value_fits(*f, *it)) {
      out.push_back({where, expected(*f)});
    } else if (f->kind == FieldKind::Record) {
      check_record(*f->record, *it, where, out);
    }
  }
  for (const DocumentField& f : record.fields)
    if (f.required && !j.contains(f.name)) out.push_back({member_path(path, f.name), kMissing});
}

void check_boolean(const Json& document, const char* key, Problems& out) {
  auto it = document.find(key);
  if (it != document.end() && !it->is_boolean()) out.push_back({key, "expected true or false"});
}

// ---------------------------------------------------------------- setting properties

template <class T>
T property_value(const Json& j, const char* name);
template <>
std::string property_value<std::string>(const Json& j, const char*) {
  return j.get<std::string>();
}
template <>
double property_value<double>(const Json& j, const char*) {
  return j.get<double>();
}
template <>
Date property_value<Date>(const Json& j, const char* name) {
  return date_from_json(j, name);
}

// ---------------------------------------------------------------- the schema

Json field_schema(const DocumentField& f) {
  switch (f.kind) {
    case FieldKind::Text:
      if (f.numeral) return Json{{"type", "string"}, {"pattern", kNumeralPattern}};
      return Json{{"type", "string"}};
    case FieldKind::Number:
      return Json{{"type", "number"}};
    case FieldKind::Int16:
      return Json{{"type", "integer"}, {"minimum", -32768}, {"maximum", 32767}};
    case FieldKind::Date:
      return Json{{"type", Json::array({"string", "number"})},
                  {"pattern", kDatePattern},
                  {"description", kDateDescription}};
    case FieldKind::UserDef:
      return Json{{"type", "string"}, {"description", "the opaque UserDef record, kept as given"}};
    case FieldKind::Record:
      return Json{{"$ref", "#/$defs/" + f.record->name}};
  }
  return Json::object();
}

Json record_schema(const RecordFields& record) {
  Json properties = Json::object();
  Json required = Json::array();
  for (const DocumentField& f : record.fields) {
    properties[f.name] = field_schema(f);
    if (f.required) required.push_back(f.name);
  }
  Json schema{{"type", "object"}, {"additionalProperties", false}, {"properties", properties}};
  if (!required.empty()) schema["required"] = required;
  return schema;
}

Json shape_branch(const RecordFields& header, const RecordFields& line) {
  return Json{{"properties",
               {{kHeaderKey, {{"$ref", "#/$defs/" + header.name}}},
                {kLinesKey, {{"items", {{"$ref", "#/$defs/" + line.name}}}}}}}};
}

void collect_records(const RecordFields& record, std::vector<const RecordFields*>& out) {
  for (const RecordFields* known : out)
    if (known == &record) return;
  out.push_back(&record);
  for (const DocumentField& f : record.fields)
    if (f.record != nullptr) collect_records(*f.record, out);
}

}  // namespace

const DocumentField* RecordFields::find(std::string_view field) const {
  for (const DocumentField& f : fields)
    if (f.name == field) return &f;
  return nullptr;
}

const RecordFields& encabezado_record_fields() { return fields_of<tCtEncabezado>(); }
const RecordFields& detalle_record_fields() { return fields_of<tCtDetalle>(); }

#define QL_PROPERTY_FIELD(name, kind, type) DocumentField{#name, kKind_##kind},
const RecordFields& encabezado_object_fields() {
  static const RecordFields record =
      make_record_fields("cCtEncabezado", {QL_CCTENCABEZADO_PROPERTIES(QL_PROPERTY_FIELD)});
  return record;
}
const RecordFields& detalle_object_fields() {
  static const RecordFields record =
      make_record_fields("cCtDetalle", {QL_CCTDETALLE_PROPERTIES(QL_PROPERTY_FIELD)});
  return record;
}
#undef QL_PROPERTY_FIELD

std::vector<const RecordFields*> document_records() {
  std::vector<const RecordFields*> out;
  for (const RecordFields* top : {&encabezado_record_fields(), &detalle_record_fields(),
                                  &encabezado_object_fields(), &detalle_object_fields()})
    collect_records(*top, out);
  return out;
}

InvalidDocument::InvalidDocument(std::vector<DocumentProblem> problems)
    : std::runtime_error(problems.empty() ? std::string("invalid quote document")
                                          : problems.front().text()),
      problems_(std::move(problems)) {}

std::vector<DocumentProblem> check_quote_document(const Json& document) {
  Problems out;
  if (!document.is_object()) {
    out.push_back({kDocumentPath, "expected a JSON object (a quote document)"});
    return out;
  }
  const RecordFields* header = &encabezado_record_fields();
  const RecordFields* line = &detalle_record_fields();
  bool shape_known = true;
  if (auto it = document.find(kShapeKey); it != document.end()) {
    if (*it == kObjectShape) {
      header = &encabezado_object_fields();
      line = &detalle_object_fields();
    } else if (*it != kRecordShape) {
      out.push_back({kShapeKey, "expected \"record\" or \"object\""});
      shape_known = false;
    }
  }
  for (auto it = document.begin(); it != document.end(); ++it) {
    const std::string& key = it.key();
    if (key == kShapeKey || key == kPromocionesKey || key == kFinalizarKey) continue;
    if (key == kHeaderKey) {
      if (!it->is_object())
        out.push_back({kHeaderKey, "expected an object (a " + header->name + ")"});
      else if (shape_known)
        check_record(*header, *it, kHeaderKey, out);
    } else if (key == kLinesKey) {
      if (!it->is_array()) {
        out.push_back({kLinesKey, "expected an array of lines"});
      } else if (it->empty()) {
        out.push_back({kLinesKey, "expected at least one line"});
      } else {
        for (size_t i = 0; i < it->size(); ++i) {
          const std::string where = std::string(kLinesKey) + "[" + std::to_string(i) + "]";
          const Json& item = (*it)[i];
          if (!item.is_object())
            out.push_back({where, "expected an object (a " + line->name + ")"});
          else if (shape_known)
            check_record(*line, item, where, out);
        }
      }
    } else {
      out.push_back({member_path("", key),
                     "unknown field of the quote document (shape, header, lines, promociones, "
                     "finalizar)"});
    }
  }
  check_boolean(document, kPromocionesKey, out);
  check_boolean(document, kFinalizarKey, out);
  if (!document.contains(kHeaderKey)) out.push_back({kHeaderKey, kMissing});
  if (!document.contains(kLinesKey)) out.push_back({kLinesKey, kMissing});
  return out;
}

QuoteDocument read_quote_document(const Json& document) {
  std::vector<DocumentProblem> problems = check_quote_document(document);
  if (!problems.empty()) throw InvalidDocument(std::move(problems));
  QuoteDocument out;
  out.shape = document.value(kShapeKey, std::string(kRecordShape)) == kObjectShape
                  ? DocumentShape::Object
                  : DocumentShape::Record;
  out.header = document[kHeaderKey];
  for (const Json& line : document[kLinesKey]) out.lines.push_back(line);
  out.promociones = document.value(kPromocionesKey, false);
  out.finalizar = document.value(kFinalizarKey, false);
  return out;
}

tCtEncabezado header_record(const Json& header) { return record_from_json<tCtEncabezado>(header); }
tCtDetalle line_record(const Json& line) { return record_from_json<tCtDetalle>(line); }

#define QL_SET_PROPERTY(name, kind, type)               \
  if (auto it = values.find(#name); it != values.end()) \
    target.put_##name(property_value<type>(*it, #name));
void set_properties(_cCtEncabezado& target, const Json& values) {
  QL_CCTENCABEZADO_PROPERTIES(QL_SET_PROPERTY)
}
void set_properties(_cCtDetalle& target,
                    const Json& values){QL_CCTDETALLE_PROPERTIES(QL_SET_PROPERTY)}
#undef QL_SET_PROPERTY

Json quote_document_schema() {
  Json defs = Json::object();
  for (const RecordFields* record : document_records()) defs[record->name] = record_schema(*record);
  Json properties{
      {kShapeKey,
       {{"enum", {kRecordShape, kObjectShape}},
        {"default", kRecordShape},
        {"description",
         "record: header and lines as the records tCtEncabezado and tCtDetalle; object: as the "
         "property classes cCtEncabezado and cCtDetalle"}}},
      {kHeaderKey, {{"type", "object"}, {"description", "the quote's header"}}},
      {kLinesKey,
       {{"type", "array"}, {"minItems", 1}, {"description", "the quote's lines, in order"}}},
      {kPromocionesKey,
       {{"type", "boolean"},
        {"default", false},
        {"description", "add the promotion lines that the lines earn"}}},
      {kFinalizarKey,
       {{"type", "boolean"},
        {"default", false},
        {"description", "finalise the quote (totals, follow-up history) once its lines are in"}}},
  };
  return Json{
      {"$schema", "https://json-schema.org/draft/2020-12/schema"},
      {"title", "Quorlane quote document"},
      {"description",
       "One sales quote for `quorlane quote` and `quorlane import`: a header, its lines, whether "
       "to add promotion lines and whether to finalise it."},
      {"type", "object"},
      {"additionalProperties", false},
      {"required", {kHeaderKey, kLinesKey}},
      {"properties", properties},
      {"if", {{"required", {kShapeKey}}, {"properties", {{kShapeKey, {{"const", kObjectShape}}}}}}},
      {"then", shape_branch(encabezado_object_fields(), detalle_object_fields())},
      {"else", shape_branch(encabezado_record_fields(), detalle_record_fields())},
      {"$defs", defs},
  };
}

}  // namespace quorlane::automation
