// The public records of the quote: the header, the line and their nested records. Each record
// has an X-list of its fields in their declared order (name, kind, type); the late-bound and JSON
// forms of the records are generated from these lists, so they never disagree with the structs.
#pragma once

#include <cstdint>
#include <string>

#include "quorlane/variant.h"

namespace quorlane {

// Opaque extension record of the shared library "Selvane": copied with the record that holds it,
// never read or written inside. Its content is kept verbatim.
struct UserDef {
  std::string data;
  friend bool operator==(const UserDef&, const UserDef&) = default;
};

// Field kinds of the X-lists: TEXT std::string, NUM double, INT int16_t, DATE Date,
// USERDEF UserDef, REC a nested record.
#define QL_DECLARE_FIELD(name, kind, type) type name{};

#define QL_TCTZONA_FIELDS(X)               \
  X(Zn_Cve_Zona, TEXT, std::string)        \
  X(Zn_Centro_Costo, TEXT, std::string)    \
  X(Zn_Cuenta_Contable, TEXT, std::string) \
  X(UserDef, USERDEF, ::quorlane::UserDef)

#define QL_TCTSUCURSAL_FIELDS(X)           \
  X(Sc_Cve_Sucursal, TEXT, std::string)    \
  X(Sc_Centro_Costo, TEXT, std::string)    \
  X(Sc_Cuenta_Contable, TEXT, std::string) \
  X(UserDef, USERDEF, ::quorlane::UserDef)

#define QL_TCTALMACEN_FIELDS(X)            \
  X(Sc_Cve_Sucursal, TEXT, std::string)    \
  X(Al_Cve_Almacen, TEXT, std::string)     \
  X(Al_Centro_Costo, TEXT, std::string)    \
  X(Al_Cuenta_Contable, TEXT, std::string) \
  X(UserDef, USERDEF, ::quorlane::UserDef)

#define QL_TCTVENDEDOR_FIELDS(X)        \
  X(Vn_Cve_Vendedor, TEXT, std::string) \
  X(Vn_Centro_Costo, TEXT, std::string) \
  X(Vn_Cuenta_Contable, TEXT, std::string)

#define QL_TCTSEGMENTO_FIELDS(X)           \
  X(Sg_Cve_Segmento, TEXT, std::string)    \
  X(Sg_Centro_Costo, TEXT, std::string)    \
  X(Sg_Cuenta_Contable, TEXT, std::string) \
  X(UserDef, USERDEF, ::quorlane::UserDef)

#define QL_TCTRUTA_FIELDS(X)               \
  X(Rt_Cve_Ruta, TEXT, std::string)        \
  X(Rt_Centro_Costo, TEXT, std::string)    \
  X(Rt_Cuenta_Contable, TEXT, std::string) \
  X(UserDef, USERDEF, ::quorlane::UserDef)

#define QL_TCTGRUPO_COMERCIAL_FIELDS(X)        \
  X(Gc_Cve_Grupo_Comercial, TEXT, std::string) \
  X(Gc_Centro_Costo, TEXT, std::string)        \
  X(Gc_Cuenta_Contable, TEXT, std::string)     \
  X(Gc_Limite_Credito, NUM, double)            \
  X(Gc_Dias_Credito, INT, int16_t)             \
  X(Gc_Dias_Bloqueo, INT, int16_t)             \
  X(UserDef, USERDEF, ::quorlane::UserDef)

// The key field ends in "Comercia", as the published record has it.
#define QL_TCTCADENA_COMERCIAL_FIELDS(X)       \
  X(Cc_Cve_Cadena_Comercia, TEXT, std::string) \
  X(Cc_Centro_Costo, TEXT, std::string)        \
  X(Cc_Cuenta_Contable, TEXT, std::string)     \
  X(Cc_Limite_Credito, NUM, double)            \
  X(Cc_Dias_Credito, INT, int16_t)             \
  X(Cc_Dias_Bloqueo, INT, int16_t)             \
  X(UserDef, USERDEF, ::quorlane::UserDef)

#define QL_TCTCLIENTE_FIELDS(X)                             \
  X(Cl_Cve_Cliente, TEXT, std::string)                      \
  X(Cl_Cve_Maestro, TEXT, std::string)                      \
  X(Cl_Centro_Costo, TEXT, std::string)                     \
  X(Cl_Cuenta_Contable, TEXT, std::string)                  \
  X(Tc_Cve_Cliente_Tipo, TEXT, std::string)                 \
  X(Cl_Limite_Credito, NUM, double)                         \
  X(Cl_Dias_Credito, INT, int16_t)                          \
  X(Cl_Dias_Bloqueo, INT, int16_t)                          \
  X(Segmento, REC, ::quorlane::tCtSegmento)                 \
  X(Ruta, REC, ::quorlane::tCtRuta)                         \
  X(Grupo_Comercial, REC, ::quorlane::tCtGrupo_Comercial)   \
  X(Cadena_Comercial, REC, ::quorlane::tCtCadena_Comercial) \
  X(UserDef, USERDEF, ::quorlane::UserDef)

#define QL_TCTPROVEEDOR_FIELDS(X)          \
  X(Pv_Cve_Proveedor, TEXT, std::string)   \
  X(Pv_Cuenta_Contable, TEXT, std::string) \
  X(UserDef, USERDEF, ::quorlane::UserDef)

#define QL_TCTPRODUCTO_FIELDS(X)              \
  X(Pr_Cve_Producto, TEXT, std::string)       \
  X(Pr_Cuenta_Contable, TEXT, std::string)    \
  X(Pr_Unidad_Control_1, TEXT, std::string)   \
  X(Pr_Unidad_Control_2, TEXT, std::string)   \
  X(Pr_Unidad_Costo, TEXT, std::string)       \
  X(Pr_Porcentaje_Variacion, NUM, double)     \
  X(Pr_Tipo_Producto, TEXT, std::string)      \
  X(Pr_Tipo_Costeo, TEXT, std::string)        \
  X(Ct_Cve_Categoria, TEXT, std::string)      \
  X(Dp_Cve_Departamento, TEXT, std::string)   \
  X(Mr_Cve_Marca, TEXT, std::string)          \
  X(Ln_Cve_Linea, TEXT, std::string)          \
  X(Fm_Cve_Familia, TEXT, std::string)        \
  X(Sf_Cve_SubFamilia, TEXT, std::string)     \
  X(Cm_Cve_Comprador, TEXT, std::string)      \
  X(Proveedor, REC, ::quorlane::tCtProveedor) \
  X(UserDef, USERDEF, ::quorlane::UserDef)

#define QL_TCTENCABEZADO_FIELDS(X)                          \
  X(Ct_Folio, TEXT, std::string)                            \
  X(Ct_Fecha, DATE, ::quorlane::Date)                       \
  X(Ct_Tabla, TEXT, std::string)                            \
  X(Ct_Documento, TEXT, std::string)                        \
  X(Ct_Referencia, TEXT, std::string)                       \
  X(Ct_Atencion, TEXT, std::string)                         \
  X(Ct_Comentario, TEXT, std::string)                       \
  X(Ct_Condicion_Venta, TEXT, std::string)                  \
  X(Mn_Cve_Moneda, TEXT, std::string)                       \
  X(Ct_Tipo_Cambio, NUM, double)                            \
  X(Ct_Descuento_Global_Cuenta_Contable, TEXT, std::string) \
  X(Ct_Descuento_Global_Factor, NUM, double)                \
  X(Ct_Descuento_Global_Importe, NUM, double)               \
  X(Zona, REC, ::quorlane::tCtZona)                         \
  X(Sucursal, REC, ::quorlane::tCtSucursal)                 \
  X(Almacen, REC, ::quorlane::tCtAlmacen)                   \
  X(Cliente, REC, ::quorlane::tCtCliente)                   \
  X(Vendedor, REC, ::quorlane::tCtVendedor)

#define QL_TCTDETALLE_FIELDS(X)                \
  X(Ct_ID, TEXT, std::string)                  \
  X(Ct_Partida, TEXT, std::string)             \
  X(Ct_Partida_Descripcion, TEXT, std::string) \
  X(Producto, REC, ::quorlane::tCtProducto)    \
  X(Tl_Cve_Talla, TEXT, std::string)           \
  X(Cl_Cve_Color, TEXT, std::string)           \
  X(Ct_Cantidad_1, NUM, double)                \
  X(Ct_Unidad_1, TEXT, std::string)            \
  X(Ct_Cantidad_Control_1, NUM, double)        \
  X(Ct_Unidad_Control_1, TEXT, std::string)    \
  X(Ct_Cantidad_Control_2, NUM, double)        \
  X(Ct_Unidad_Control_2, TEXT, std::string)    \
  X(Ct_Cantidad_Costo, NUM, double)            \
  X(Ct_Unidad_Costo, TEXT, std::string)        \
  X(Ct_Costo, NUM, double)                     \
  X(Ct_Costo_Importe, NUM, double)             \
  X(Pr_Folio, TEXT, std::string)               \
  X(Ct_Precio_Lista, NUM, double)              \
  X(Ct_Precio_Lista_Importe, NUM, double)      \
  X(Ct_Descuento_Factor, NUM, double)          \
  X(Ct_Descuento_Importe, NUM, double)         \
  X(Ct_Precio_Descontado, NUM, double)         \
  X(Ct_Precio_Descontado_Importe, NUM, double) \
  X(Ct_Impuesto_Factor, NUM, double)           \
  X(Ct_Impuesto_Importe, NUM, double)          \
  X(Ct_Precio_Neto, NUM, double)               \
  X(Ct_Precio_Neto_Importe, NUM, double)       \
  X(Ct_Concepto, TEXT, std::string)            \
  X(Ct_UserDef, USERDEF, ::quorlane::UserDef)

#define QL_TCTIMPUESTO_FIELDS(X)            \
  X(Vi_ID, TEXT, std::string)               \
  X(Im_Cve_Impuesto, TEXT, std::string)     \
  X(Im_Forma_Aplicacion, TEXT, std::string) \
  X(Vi_Tasa, NUM, double)                   \
  X(Vi_Importe, NUM, double)                \
  X(Im_Cuenta_Contable, TEXT, std::string)

#define QL_TCTDESCUENTO_FIELDS(X)     \
  X(Vd_ID, TEXT, std::string)         \
  X(Ds_Folio, TEXT, std::string)      \
  X(Ds_Tipo_Descuento, NUM, double)   \
  X(Ds_Forma_Aplicacion, NUM, double) \
  X(Ds_Descuento, NUM, double)        \
  X(Ds_Referencia, TEXT, std::string) \
  X(Ds_Importe, NUM, double)          \
  X(Ds_Cuenta_Contable, TEXT, std::string)

#define QL_DEFINE_RECORD(type, LIST)                            \
  struct type {                                                 \
    static constexpr const char* kTypeName = #type;             \
    LIST(QL_DECLARE_FIELD)                                      \
    friend bool operator==(const type&, const type&) = default; \
  };

// Every record: (type, field list).
#define QL_RECORDS(X)                                   \
  X(tCtZona, QL_TCTZONA_FIELDS)                         \
  X(tCtSucursal, QL_TCTSUCURSAL_FIELDS)                 \
  X(tCtAlmacen, QL_TCTALMACEN_FIELDS)                   \
  X(tCtVendedor, QL_TCTVENDEDOR_FIELDS)                 \
  X(tCtSegmento, QL_TCTSEGMENTO_FIELDS)                 \
  X(tCtRuta, QL_TCTRUTA_FIELDS)                         \
  X(tCtGrupo_Comercial, QL_TCTGRUPO_COMERCIAL_FIELDS)   \
  X(tCtCadena_Comercial, QL_TCTCADENA_COMERCIAL_FIELDS) \
  X(tCtCliente, QL_TCTCLIENTE_FIELDS)                   \
  X(tCtProveedor, QL_TCTPROVEEDOR_FIELDS)               \
  X(tCtProducto, QL_TCTPRODUCTO_FIELDS)                 \
  X(tCtEncabezado, QL_TCTENCABEZADO_FIELDS)             \
  X(tCtDetalle, QL_TCTDETALLE_FIELDS)                   \
  X(tCtImpuesto, QL_TCTIMPUESTO_FIELDS)                 \
  X(tCtDescuento, QL_TCTDESCUENTO_FIELDS)

QL_RECORDS(QL_DEFINE_RECORD)

}  // namespace quorlane
