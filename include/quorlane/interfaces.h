// The dual interfaces of the component's three classes, their members in binding order, and
// the fixed identifiers of the type library, the classes and the interfaces.
//
// Early-bound members report a failure that reaches the client by throwing quorlane::Failure;
// late-bound calls (IDispatch::Invoke) report it as DISP_E_EXCEPTION with the description.
#pragma once

#include <string>

#include "quorlane/com.h"
#include "quorlane/records.h"

namespace quorlane {

// Identifiers. Early-bound clients depend on them: they never change.
extern const GUID LIBID_Quorlane;  // type library "Quorlane", version 1.2
extern const GUID CLSID_Cotizacion;
extern const GUID CLSID_cCtEncabezado;
extern const GUID CLSID_cCtDetalle;
extern const GUID IID__Cotizacion;
extern const GUID IID__cCtEncabezado;
extern const GUID IID__cCtDetalle;
extern const GUID IID_IUnknown;
extern const GUID IID_IDispatch;
extern const GUID IID_IClassFactory;
inline constexpr int kTypeLibraryMajor = 1;
inline constexpr int kTypeLibraryMinor = 2;

// Property kinds of the property classes: TEXT std::string, NUM double, DATE Date.
#define QL_CCTENCABEZADO_PROPERTIES(X)                      \
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
  X(Zn_Cve_Zona, TEXT, std::string)                         \
  X(Sc_Cve_Sucursal, TEXT, std::string)                     \
  X(Al_Cve_Almacen, TEXT, std::string)                      \
  X(Cl_Cve_Cliente, TEXT, std::string)                      \
  X(Vn_Cve_Vendedor, TEXT, std::string)

#define QL_CCTDETALLE_PROPERTIES(X)            \
  X(Ct_ID, TEXT, std::string)                  \
  X(Ct_Partida, TEXT, std::string)             \
  X(Ct_Partida_Descripcion, TEXT, std::string) \
  X(Pr_Cve_Producto, TEXT, std::string)        \
  X(Pr_Tipo_Producto, TEXT, std::string)       \
  X(Pr_Tipo_Costeo, TEXT, std::string)         \
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
  X(Ct_Almacen_Inventario, TEXT, std::string)  \
  X(Ct_Sucursal_Inventario, TEXT, std::string) \
  X(Ct_Cuota, NUM, double)

// Each property: setter, then getter.
#define QL_DECLARE_PROPERTY(name, kind, type)     \
  virtual void put_##name(const type& value) = 0; \
  virtual type get_##name() = 0;

class _cCtEncabezado : public IDispatch {
 public:
  QL_CCTENCABEZADO_PROPERTIES(QL_DECLARE_PROPERTY)
};

class _cCtDetalle : public IDispatch {
 public:
  QL_CCTDETALLE_PROPERTIES(QL_DECLARE_PROPERTY)
};

// The members of _Cotizacion in binding order, for the late-bound dispatch table and its check:
// PUT/GET/PUTREF(name, value kind) and CALL(name, result kind, number of folio arguments).
#define QL_COTIZACION_MEMBERS(PUT, GET, PUTREF, CALL) \
  PUT(Agregar_Promociones, BOOL)                      \
  GET(Agregar_Promociones, BOOL)                      \
  PUT(Folio, TEXT)                                    \
  GET(Folio, TEXT)                                    \
  GET(Error, TEXT)                                    \
  GET(Encabezado, ENCABEZADO)                         \
  PUT(Encabezado, ENCABEZADO)                         \
  GET(Detalle, DETALLE)                               \
  PUT(Detalle, DETALLE)                               \
  CALL(Nuevo, VOID, 0)                                \
  CALL(Add_Cotizacion_Detalle, BOOL, 0)               \
  CALL(Eliminar_Cotizacion, BOOL, 1)                  \
  CALL(Cancelar_Cotizacion, BOOL, 1)                  \
  CALL(Autorizar_Cotizacion, BOOL, 1)                 \
  CALL(Rechazar_Cotizacion, BOOL, 1)                  \
  CALL(Finalizar_Cotizacion, BOOL, 1)                 \
  PUT(Folio2, TEXT)                                   \
  GET(Folio2, TEXT)                                   \
  GET(Encabezado2, OBJ_ENCABEZADO)                    \
  PUTREF(Encabezado2, OBJ_ENCABEZADO)                 \
  GET(Detalle2, OBJ_DETALLE)                          \
  PUTREF(Detalle2, OBJ_DETALLE)                       \
  CALL(Add_Cotizacion_Detalle2, BOOL, 0)

class _Cotizacion : public IDispatch {
 public:
  virtual void put_Agregar_Promociones(bool value) = 0;
  virtual bool get_Agregar_Promociones() = 0;
  virtual void put_Folio(const std::string& value) = 0;
  virtual std::string get_Folio() = 0;
  virtual std::string get_Error() = 0;
  virtual tCtEncabezado get_Encabezado() = 0;
  virtual void put_Encabezado(const tCtEncabezado& value) = 0;
  virtual tCtDetalle get_Detalle() = 0;
  virtual void put_Detalle(const tCtDetalle& value) = 0;
  virtual void Nuevo() = 0;
  virtual bool Add_Cotizacion_Detalle() = 0;
  virtual bool Eliminar_Cotizacion(std::string& Ct_Folio) = 0;
  virtual bool Cancelar_Cotizacion(std::string& Ct_Folio) = 0;
  virtual bool Autorizar_Cotizacion(std::string& Ct_Folio) = 0;
  virtual bool Rechazar_Cotizacion(std::string& Ct_Folio) = 0;
  virtual bool Finalizar_Cotizacion(std::string& Ct_Folio) = 0;
  virtual void put_Folio2(const std::string& value) = 0;
  virtual std::string get_Folio2() = 0;
  virtual Ref<_cCtEncabezado> get_Encabezado2() = 0;
  virtual void putref_Encabezado2(_cCtEncabezado* value) = 0;
  virtual Ref<_cCtDetalle> get_Detalle2() = 0;
  virtual void putref_Detalle2(_cCtDetalle* value) = 0;
  virtual bool Add_Cotizacion_Detalle2() = 0;
};

// Creates an object of the component on the calling thread (running the thread's start-up on
// its first object). Failures of start-up or creation throw Failure.
Ref<_Cotizacion> create_Cotizacion();
Ref<_cCtEncabezado> create_cCtEncabezado();
Ref<_cCtDetalle> create_cCtDetalle();

}  // namespace quorlane

// The entry points of the in-process object server.
extern "C" {
quorlane::HRESULT DllGetClassObject(const quorlane::GUID& clsid, const quorlane::GUID& iid,
                                    void** out);
quorlane::HRESULT DllCanUnloadNow();
quorlane::HRESULT DllRegisterServer();
quorlane::HRESULT DllUnregisterServer();
}
