// The quote document: one quote as a JSON object, the input of `quorlane quote` and
// `quorlane import`.
//
//   {"shape": "record" | "object",         optional, "record" when left out
//    "header": {...},                       tCtEncabezado (record) or cCtEncabezado (object)
//    "lines": [{...}, ...],                 tCtDetalle (record) or cCtDetalle (object), one or more
//    "promociones": true | false,           optional: add promotion lines (Agregar_Promociones)
//    "finalizar": true | false}             optional: finalise the quote once its lines are in
//
// A document is checked against its shape before anything is built from it: every unknown
// field, value of the wrong type and missing required field is reported with its path
// ("lines[2].Ct_Cantidad_1: expected a number"). The field lists come from the same X-lists as
// the records and the property classes, and so does the JSON Schema of the document.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "automation/json_values.h"
#include "quorlane/interfaces.h"

namespace quorlane::automation {

enum class FieldKind { Text, Number, Int16, Date, UserDef, Record };

struct RecordFields;

struct DocumentField {
  std::string name;
  FieldKind kind;
  const RecordFields* record = nullptr;  // the nested record's fields, for FieldKind::Record
  bool required = false;                 // the document must give it
  // A text that the component writes into its statement bare (Ct_Partida): it must read as a
  // number, or the database refuses the line.
  bool numeral = false;
};

// The fields of a record or of a property class, in their declared order.
struct RecordFields {
  std::string name;  // "tCtEncabezado", "cCtDetalle", ...
  std::vector<DocumentField> fields;
  const DocumentField* find(std::string_view field) const;
};

// The field lists the document uses.
const RecordFields& encabezado_record_fields();  // tCtEncabezado and its nested records
const RecordFields& detalle_record_fields();     // tCtDetalle and its nested records
const RecordFields& encabezado_object_fields();  // cCtEncabezado
const RecordFields& detalle_object_fields();     // cCtDetalle
// Every record and property class the document may hold, nested records included.
std::vector<const RecordFields*> document_records();

enum class DocumentShape { Record, Object };

struct QuoteDocument {
  DocumentShape shape = DocumentShape::Record;
  Json header;              // checked against the shape's header fields
  std::vector<Json> lines;  // each checked against the shape's line fields
  bool promociones = false;
  bool finalizar = false;
};

// One problem of a document: where ("lines[2].Ct_Cantidad_1", "document" for the whole) and
// what ("expected a number").
struct DocumentProblem {
  std::string path;
  std::string problem;
  std::string text() const { return path + ": " + problem; }
};

class InvalidDocument : public std::runtime_error {
 public:
  explicit InvalidDocument(std::vector<DocumentProblem> problems);
  const std::vector<DocumentProblem>& problems() const { return problems_; }

 private:
  std::vector<DocumentProblem> problems_;
};

// Every problem of the document, in document order; none when it is valid.
std::vector<DocumentProblem> check_quote_document(const Json& document);
// The checked document; InvalidDocument with every problem otherwise.
QuoteDocument read_quote_document(const Json& document);

// A checked header or line of the record shape as its record.
tCtEncabezado header_record(const Json& header);
tCtDetalle line_record(const Json& line);
// Sets, through the object's property setters, each property that a checked header or line of
// the object shape gives; the others keep their values.
void set_properties(_cCtEncabezado& header, const Json& values);
void set_properties(_cCtDetalle& line, const Json& values);

// The JSON Schema (draft 2020-12) of the quote document.
Json quote_document_schema();

}  // namespace quorlane::automation
