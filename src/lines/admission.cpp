// Line admission: the client commits the line it has just assigned. The first line of a new
// quote checks the server rules and the header's catalogue references, takes the folio and
// writes the header row; every line then has its size and colour, unit, quantities and cost
// checked, gets the next line id, is written as a row, earns its promotion lines and is
// registered with the data component.
#include <cmath>
#include <cstdio>
#include <limits>
#include <stdexcept>

#include "frame/publico.h"
#include "model/cotizacion.h"
#include "model/shape.h"

namespace quorlane {

namespace {

constexpr const char* kDocumentType = "COTIZACION";
constexpr const char* kLineDocumentTag = "DETALLE_COTIZACION";
constexpr const char* kStatusWithdrawn = "BA";
constexpr const char* kBlockedCustomerParameter = "COT_VALIDAR_CLIENTE_BLOQUEADO";
constexpr const char* kBlocked = "SI";

constexpr const char* kCentralServerOnly =
    "Esta operación solo puede realizarse en el servidor central";
constexpr const char* kNoFolio = "Error al intentar obtener el folio de la cotización!";
constexpr const char* kNegativeQuantities = "las cantidades deben ser positivas!";

std::string branch_server_message(const std::string& branch_server, const std::string& current) {
  return "Esta operación solo puede realizarse en el servidor con id: " + branch_server + kCrLf +
         "el id del servidor actual es: " + current;
}

// A catalogue look-up passes when it reads a value; "BA" makes a withdrawn row count as missing.
bool found(const std::string& table, const std::string& key_column, const std::string& key,
           const std::string& column, const std::string& key2_column = "",
           const std::string& key2 = "") {
  return !publico()
              .gDatos
              ->Obtener_Campo(table, key_column, key, column, 0, key2_column, key2,
                              kStatusWithdrawn)
              .empty();
}

// The line id: the line number with leading zeros to four digits.
std::string line_id(int16_t number) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d", static_cast<int>(number));
  return buf;
}

}  // namespace

bool Cotizacion::Add_Cotizacion_Detalle() {
  RecordShape shape(m_Encabezado, m_Detalle);
  return admit_line(shape);
}

bool Cotizacion::Add_Cotizacion_Detalle2() {
  ObjectShape shape(m_Encabezado2, m_Detalle2);
  return admit_line(shape);
}

bool Cotizacion::run_twin_routine(Routine routine) {
  switch (routine) {
    case Routine::Add_Cotizacion_Detalle:
      return Add_Cotizacion_Detalle();
    case Routine::Add_Cotizacion_Detalle2:
      return Add_Cotizacion_Detalle2();
    case Routine::Inserta_Cotizacion:
      return Inserta_Cotizacion();
    case Routine::Inserta_Cotizacion2:
      return Inserta_Cotizacion2();
    case Routine::Inserta_Cotizacion_Encabezado:
      return Inserta_Cotizacion_Encabezado();
    case Routine::Inserta_Cotizacion_Encabezado2:
      return Inserta_Cotizacion_Encabezado2();
    case Routine::Inserta_Promocion:
      return Inserta_Promocion();
    case Routine::Inserta_Promocion2:
      return Inserta_Promocion2();
    default:
      throw std::logic_error("rutina sin gemela");
  }
}

bool Cotizacion::admit_line(QuoteShape& s) {
  return with_error_exit(s.twin.admission, m_Error, [&] {
    Publico& p = publico();
    auto refuse = [&](std::string message) {
      m_Error = std::move(message);
      return false;
    };

    // The timestamp of every row this call writes.
    m_Fecha_Texto = p.gDatos->Fecha_SQL(p.gDatos->Fecha_Servidor());

    if (s.text(H::Ct_Folio).empty()) {
      // A new quote: where it may be created, its catalogue references, its folio and its row.
      bool remote = p.gSistema->Es_Servidor_Remoto();
      if (m_Servidor_Sucursal.empty() && remote) return refuse(kCentralServerOnly);
      if (!m_Servidor_Sucursal.empty() && m_Servidor_Sucursal != p.gServidor_Actual)
        return refuse(branch_server_message(m_Servidor_Sucursal, p.gServidor_Actual));

      std::string currency = s.text(H::Mn_Cve_Moneda);
      if (!found("Moneda", "Mn_Cve_Moneda", currency, "Mn_Descripcion"))
        return refuse("La moneda: " + currency + ", no existe o está dada de baja");
      double rate = s.number(H::Ct_Tipo_Cambio);
      if (!(rate > 0)) return refuse("El tipo de cambio: " + number_text(rate) + ", no es válido");
      std::string warehouse = s.text(H::Al_Cve_Almacen);
      std::string branch = s.text(H::Sc_Cve_Sucursal);
      if (!found("Almacen", "Al_Cve_Almacen", warehouse, "Al_Descripcion", "Sc_Cve_Sucursal",
                 branch))
        return refuse("El almacén: " + warehouse + ", de la sucursal: " + branch +
                      ", no existe o esta dado de baja");
      std::string seller = s.text(H::Vn_Cve_Vendedor);
      if (!found("Vendedor", "Vn_Cve_Vendedor", seller, "Vn_Descripcion"))
        return refuse("El vendedor: " + seller + ", no existe o está dada de baja");
      std::string customer = s.text(H::Cl_Cve_Cliente);
      if (!found("Cliente", "Cl_Cve_Cliente", customer, "Cl_Descripcion"))
        return refuse("El cliente: " + customer + ", no existe o está dada de baja");

      Variant check_blocked = p.gSistema->Obtener_Parametro(kBlockedCustomerParameter, 0, "B", "1");
      if (!check_blocked.is_null() && check_blocked.to_bool()) {
        if (p.gDatos->Obtener_Campo("Cliente", "Cl_Cve_Cliente", customer, "Cl_Bloqueado", 0, "",
                                    "", "") == kBlocked)
          return refuse("El cliente: " + customer +
                        ", está bloqueado, no es posible realizar esta operación");
      }

      std::string condition = s.text(H::Ct_Condicion_Venta);
      if (!condition.empty() &&
          !found("Condicion_Venta", "Cv_Cve_Condicion_Venta", condition, "Cv_Descripcion"))
        return refuse("La condición de venta: " + condition + ", no existe o tiene estado baja");

      std::string folio =
          p.gDatos->Obtener_Folio(s.text(H::Sc_Cve_Sucursal), kDocumentType, 10, -1).to_text();
      s.set_text(H::Ct_Folio, folio);
      if (folio.empty()) return refuse(kNoFolio);
      m_Partida = 0;
      if (!run_twin_routine(s.twin.header_insert)) return false;
    }

    // The inventory warehouse of an object line, checked for every line.
    if (s.twin.object_shape) {
      std::string warehouse = s.text(D::Ct_Almacen_Inventario);
      std::string branch = s.text(D::Ct_Sucursal_Inventario);
      if (!found("Almacen", "Al_Cve_Almacen", warehouse, "Al_Descripcion", "Sc_Cve_Sucursal",
                 branch))
        return refuse("El almacén: " + warehouse + ", de la sucursal: " + branch +
                      " de inventario, no existe o está dado de baja");
    }

    std::string product = s.text(D::Pr_Cve_Producto);
    if (m_Maneja_Tallas && m_Maneja_Colores) {
      std::string size = s.text(D::Tl_Cve_Talla);
      std::string colour = s.text(D::Cl_Cve_Color);
      if (!p.gDatos->Existe_Producto_Talla_Color(product, size, colour))
        return refuse("No se encuentra la relación producto/talla/color: " + product + "/" + size +
                      "/" + colour);
    } else if (m_Maneja_Tallas) {
      std::string size = s.text(D::Tl_Cve_Talla);
      if (!p.gDatos->Existe_Producto_Talla(product, size))
        return refuse("No se encuentra la relación producto/talla: " + product + "/" + size);
    } else if (m_Maneja_Colores) {
      std::string colour = s.text(D::Cl_Cve_Color);
      if (!p.gDatos->Existe_Producto_Color(product, colour))
        return refuse("No se encuentra la relación producto/color: " + product + "/" + colour);
    }

    std::string unit = s.text(D::Ct_Unidad_1);
    if (!found("Unidad", "Un_Cve_Unidad", unit, "Un_Descripcion"))
      return refuse("La unidad: " + unit + ", no existe o está dada de baja");

    double quantity = s.number(D::Ct_Cantidad_1);
    double control_1 = s.number(D::Ct_Cantidad_Control_1);
    double control_2 = s.number(D::Ct_Cantidad_Control_2);
    double cost_quantity = s.number(D::Ct_Cantidad_Costo);
    if (control_1 == 0 && control_2 == 0)
      return refuse(std::string("La cantidad no puede ser cero: ") + kCrLf +
                    "Cantidad-1: " + number_text(quantity) + kCrLf +
                    "Cantidad-Control-1: " + number_text(control_1) + kCrLf +
                    "Cantidad-Control-2: " + number_text(control_2) + kCrLf +
                    "CANTIDAD-COSTO: " + number_text(cost_quantity));

    struct Whole {
      D unit;
      double quantity;
      const char* label;
    };
    const Whole wholes[] = {{D::Ct_Unidad_1, quantity, "Cantidad-1: "},
                            {D::Ct_Unidad_Control_1, control_1, "Cantidad-Control-1: "},
                            {D::Ct_Unidad_Control_2, control_2, "Cantidad-Control-2: "}};
    for (const Whole& w : wholes) {
      std::string whole_unit = s.text(w.unit);
      if (!p.gDatos->Unidad_Permite_Fracciones(whole_unit) && w.quantity != std::trunc(w.quantity))
        return refuse("La unidad de control: " + whole_unit + ", no permite el uso de fracciones" +
                      kCrLf + w.label + number_text(w.quantity));
    }

    if (quantity < 0 || control_1 < 0 || control_2 < 0 || cost_quantity < 0)
      return refuse(kNegativeQuantities);
    double cost = s.number(D::Ct_Costo);
    if (cost < 0)
      return refuse(std::string("El costo no puede ser negativo: ") + kCrLf +
                    "Costo: " + number_text(cost));

    // The line counter is a 16-bit integer: the line after 32767 overflows.
    if (m_Partida == std::numeric_limits<int16_t>::max()) throw Failure(kOverflow);
    ++m_Partida;
    const std::string id = line_id(m_Partida);
    s.set_text(D::Ct_ID, id);

    if (!run_twin_routine(s.twin.row_insert)) return false;
    if (m_Agregar_Promociones && !run_twin_routine(s.twin.promotion)) return false;

    if (!p.gDatos->Registrar_Documento(kLineDocumentTag, s.text(H::Ct_Folio), id))
      return refuse(routine_info(s.twin.admission).source + std::string(kCrLf) +
                    p.gDatos->Ultimo_Error());
    return true;
  });
}

}  // namespace quorlane
