// The host's operations, listed once. The interfaces of quorlane/host.h declare them for a host
// to implement; everything that stands between the component and a host derives its code from
// these lists: the recording boundary's wrappers, the script runner's table of operations and
// the tests' fake host. Overriding every operation, each of those fails to compile when a list
// and the interfaces part.
//
// X(service, result, operation, (parameters), (arguments), how) for each operation, service by
// service, in the order of the interfaces. The parameters bear the names of the interfaces. `how`
// is Plain when a wrapper passes the call on as it is, Own when it has code of its own: the
// connection, wrapped in turn; the statement, whose options are not recorded; the amounts
// calculations, whose thirteen amounts travel in place.
//
// Private to the component's sources: these macros appear in no public header.
#pragma once

#include <memory>
#include <string>

#include "quorlane/host.h"

// clang-format off
#define QL_CSISTEMA_OPERATIONS(X)                                                               \
  X(cSistema, std::shared_ptr<Connection>, Conexion, (), (), Own)                               \
  X(cSistema, std::string, Operador_Actual, (), (), Plain)                                      \
  X(cSistema, bool, Es_Servidor_Remoto, (), (), Plain)                                          \
  X(cSistema, Variant, Obtener_Parametro,                                                       \
    (const std::string& key, int32_t zero, const std::string& type,                             \
     const std::string& default_value),                                                         \
    (key, zero, type, default_value), Plain)                                                    \
  X(cSistema, std::string, Servidor_Actual, (), (), Plain)                                      \
  X(cSistema, int32_t, Mostrar_Mensaje,                                                         \
    (const Variant& message, int32_t& style, const Variant& source, const Variant& omitted,     \
     const Variant& application, const Variant& error_id),                                      \
    (message, style, source, omitted, application, error_id), Plain)

#define QL_CDATOS_OPERATIONS(X)                                                                 \
  X(cDatos, std::string, Obtener_Campo,                                                         \
    (const std::string& table, const std::string& key_column, const std::string& key_value,     \
     const std::string& column, int32_t zero, const std::string& key2_column,                   \
     const std::string& key2_value, const std::string& excluded_status),                        \
    (table, key_column, key_value, column, zero, key2_column, key2_value, excluded_status),     \
    Plain)                                                                                      \
  X(cDatos, Date, Fecha_Servidor, (), (), Plain)                                                \
  X(cDatos, Variant, Obtener_Folio,                                                             \
    (const std::string& branch, const std::string& document_type, int32_t width,               \
     int32_t minus_one),                                                                        \
    (branch, document_type, width, minus_one), Plain)                                           \
  X(cDatos, bool, Existe_Producto_Talla, (const std::string& product, const std::string& size), \
    (product, size), Plain)                                                                     \
  X(cDatos, bool, Existe_Producto_Color,                                                        \
    (const std::string& product, const std::string& colour), (product, colour), Plain)          \
  X(cDatos, bool, Existe_Producto_Talla_Color,                                                  \
    (const std::string& product, const std::string& size, const std::string& colour),          \
    (product, size, colour), Plain)                                                             \
  X(cDatos, double, Factor_Conversion,                                                          \
    (const std::string& product, const std::string& from, const std::string& to),              \
    (product, from, to), Plain)                                                                 \
  X(cDatos, bool, Unidad_Permite_Fracciones, (const std::string& unit), (unit), Plain)          \
  X(cDatos, Variant, Redondear, (const Variant& amount, int32_t decimals), (amount, decimals),  \
    Plain)                                                                                      \
  X(cDatos, std::string, Fecha_Documento_SQL, (Date date), (date), Plain)                       \
  X(cDatos, std::string, Fecha_SQL, (Date date_time), (date_time), Plain)                       \
  X(cDatos, Variant, Calcular_Importes, (tImportes& amounts, int16_t calculation_type),         \
    (amounts, calculation_type), Own)                                                           \
  X(cDatos, Variant, Calcular_Importes_Cuota,                                                   \
    (tImportes& amounts, int16_t calculation_type, double fee),                                 \
    (amounts, calculation_type, fee), Own)                                                      \
  X(cDatos, std::string, Ultimo_Error, (), (), Plain)                                           \
  X(cDatos, bool, Registrar_Documento,                                                          \
    (const std::string& tag, const std::string& folio, const std::string& line_id),            \
    (tag, folio, line_id), Plain)                                                               \
  X(cDatos, bool, Registrar_Seguimiento,                                                        \
    (const std::string& module, const std::string& document_type, const std::string& folio,    \
     const std::string& entity_type, const std::string& entity, Date date,                      \
     const std::string& description),                                                          \
    (module, document_type, folio, entity_type, entity, date, description), Plain)

#define QL_CINVENTARIO_OPERATIONS(X)                                                            \
  X(cInventario, bool, Maneja_Tallas, (const std::string& branch, const std::string& warehouse), \
    (branch, warehouse), Plain)                                                                 \
  X(cInventario, bool, Maneja_Colores,                                                          \
    (const std::string& branch, const std::string& warehouse), (branch, warehouse), Plain)      \
  X(cInventario, double, Obtener_Costo,                                                         \
    (const std::string& branch, const std::string& warehouse, const std::string& product,      \
     const std::string& size, const std::string& colour, double quantity,                       \
     const std::string& empty),                                                                 \
    (branch, warehouse, product, size, colour, quantity, empty), Plain)

#define QL_CIMPUESTOS_OPERATIONS(X)                                                             \
  X(cImpuestos, double, Factor_Impuesto,                                                        \
    (const std::string& branch, const std::string& customer, const std::string& product),      \
    (branch, customer, product), Plain)

#define QL_CPROMOCIONES_OPERATIONS(X)                                                           \
  X(cPromociones, tPromocion, Obtener_Promocion,                                                \
    (Date date, const std::string& branch, const std::string& customer,                         \
     const std::string& product, const std::string& size, const std::string& colour,           \
     double quantity, const std::string& unit),                                                 \
    (date, branch, customer, product, size, colour, quantity, unit), Plain)

#define QL_CONNECTION_OPERATIONS(X)                                                             \
  X(Connection, std::shared_ptr<Recordset>, Execute, (const std::string& sql, int32_t options), \
    (sql, options), Own)

// The operations of the five service components, then the statement.
#define QL_SERVICE_OPERATIONS(X)                                                                \
  QL_CSISTEMA_OPERATIONS(X) QL_CDATOS_OPERATIONS(X) QL_CINVENTARIO_OPERATIONS(X)                \
  QL_CIMPUESTOS_OPERATIONS(X) QL_CPROMOCIONES_OPERATIONS(X)
#define QL_HOST_OPERATIONS(X) QL_SERVICE_OPERATIONS(X) QL_CONNECTION_OPERATIONS(X)

// (a, b, c) -> a, b, c: an argument list spelt out inside braces or another call.
#define QL_UNPAREN(...) __VA_ARGS__
// clang-format on
