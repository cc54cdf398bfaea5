// A scripted host for unit tests: every operation answers a default (below) unless the test
// installs a handler for it; statements go to an execute handler. Wrap it with a Boundary to
// record calls and inject failures (HostTest does both).
//
// Defaults: Obtener_Campo "", Fecha_Servidor 2026-12-05 10:30:00, Obtener_Folio "",
// Existe_* yes, Factor_Conversion 1, Unidad_Permite_Fracciones yes, Redondear half away from
// zero, Fecha_Documento_SQL "YYYY-MM-DD", Fecha_SQL "YYYY-MM-DD HH:MM:SS", Calcular_Importes*
// leave the amounts, Ultimo_Error "", Registrar_* yes, Maneja_* no, Obtener_Costo 0,
// Factor_Impuesto 0, Obtener_Promocion none, Operador_Actual "OPER", Es_Servidor_Remoto no,
// Obtener_Parametro its default text, Servidor_Actual "", Mostrar_Mensaje 0, Execute no rows.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "quorlane/host.h"

namespace quorlane::test {

class FakeHost : public std::enable_shared_from_this<FakeHost> {
 public:
  // A handler gets the arguments in the order the component passed them and returns the
  // result. For Calcular_Importes(_Cuota) it may change args[0..12]: they are written back.
  // For Obtener_Promocion it returns Variant::record(tPromocion{...}).
  using Handler = std::function<Variant(std::vector<Variant>& args)>;
  using ExecuteHandler = std::function<std::shared_ptr<Recordset>(const std::string& sql)>;

  void on(const std::string& service, const std::string& operation, Handler handler);
  // Shorthand: always answer `value`.
  void set(const std::string& service, const std::string& operation, Variant value);
  void on_execute(ExecuteHandler handler) { execute_ = std::move(handler); }
  // A factory whose creations can be made to fail: "cSistema", "cDatos", ... "cPromociones".
  void fail_creation(const std::string& service, const std::string& description);

  std::shared_ptr<HostFactory> factory();
  int created(const std::string& service) const;

  Variant dispatch(const std::string& service, const std::string& operation,
                   std::vector<Variant>& args, Variant default_value);
  std::shared_ptr<Recordset> execute(const std::string& sql);
  void check_creation(const std::string& service);

 private:
  std::map<std::string, Handler> handlers_;
  std::map<std::string, std::string> failing_creations_;
  std::map<std::string, int> created_;
  ExecuteHandler execute_;
};

// Rows for an execute handler: MemoryRecordset with the given columns.
std::shared_ptr<Recordset> rows(std::vector<std::string> columns,
                                std::vector<std::vector<Variant>> values);

}  // namespace quorlane::test
