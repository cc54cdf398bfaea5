// The customer follow-up history entry of a stored quote.
#include "frame/error_convention.h"
#include "frame/publico.h"
#include "lifecycle/lifecycle.h"
#include "model/cotizacion.h"

namespace quorlane {

namespace {
constexpr const char* kModule = "CRM";
constexpr const char* kDocumentType = "COTIZACION";
constexpr const char* kEntityType = "CLIENTE";
}  // namespace

// The quote's customer and date come from its stored line rows (every row carries the same),
// so the entry is dated with the quote's own date, not with the moment of the call.
bool Cotizacion::Crm_Historial_Seguimiento(const std::string& Ct_Folio,
                                           const std::string& Descripcion) {
  return with_error_exit(Routine::Crm_Historial_Seguimiento, m_Error, [&] {
    cDatos& datos = *publico().gDatos;
    // An empty text (no row with the folio) does not convert and ends in the error exit.
    Date fecha =
        Variant(datos.Obtener_Campo("Cotizacion", "Ct_Folio", Ct_Folio, "Ct_Fecha", 0, "", "", ""))
            .to_date();
    std::string cliente =
        datos.Obtener_Campo("Cotizacion", "Ct_Folio", Ct_Folio, "Cl_Cve_Cliente", 0, "", "", "");
    if (!datos.Registrar_Seguimiento(kModule, kDocumentType, Ct_Folio, kEntityType, cliente, fecha,
                                     Descripcion)) {
      m_Error = with_source_line(Routine::Crm_Historial_Seguimiento, datos.Ultimo_Error());
      return false;
    }
    return true;
  });
}

}  // namespace quorlane
