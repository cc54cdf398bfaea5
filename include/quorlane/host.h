// The host's service components and database access objects, as the component sees them.
// Every operation the component needs, with its arguments in the order the component passes
// them. An operation that fails throws Failure with its description; yes/no answers and empty
// results are the operation's own answer, not a failure. A sales system plugs its own services
// in behind these interfaces through a HostFactory.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "quorlane/variant.h"

namespace quorlane {

// ---------------------------------------------------------------- database access objects

class Field {
 public:
  virtual ~Field() = default;
  // The value of the current row: Null for SQL NULL, a number for numeric columns, else text.
  virtual Variant Value() = 0;
};

class Fields {
 public:
  virtual ~Fields() = default;
  // The column of that name, found without regard to letter case; fails for an unknown name.
  virtual Field& Item(const std::string& name) = 0;
};

class Recordset {
 public:
  virtual ~Recordset() = default;
  // True when there is no (further) row. (Named Eof: EOF is a macro of the C library.)
  virtual bool Eof() = 0;
  virtual Fields& GetFields() = 0;
  virtual void MoveNext() = 0;
  virtual void Close() = 0;
};

class Connection {
 public:
  virtual ~Connection() = default;
  // Runs one statement. For a query the result holds its rows; otherwise it is at EOF.
  // `options` is passed as the component passes it (-1, unspecified).
  virtual std::shared_ptr<Recordset> Execute(const std::string& sql, int32_t options = -1) = 0;
};

// A recordset held in memory: the rows of a query already read.
class MemoryRecordset final : public Recordset, private Fields {
 public:
  MemoryRecordset() = default;
  MemoryRecordset(std::vector<std::string> columns, std::vector<std::vector<Variant>> rows);
  bool Eof() override;
  Fields& GetFields() override;
  void MoveNext() override;
  void Close() override;
  const std::vector<std::string>& columns() const { return columns_; }
  const std::vector<std::vector<Variant>>& rows() const { return rows_; }

 private:
  class Column final : public Field {
   public:
    Variant Value() override;
    MemoryRecordset* owner = nullptr;
    size_t index = 0;
  };
  Field& Item(const std::string& name) override;
  std::vector<std::string> columns_;
  std::vector<std::vector<Variant>> rows_;
  std::vector<Column> fields_;
  size_t row_ = 0;
  bool closed_ = false;
};

// ---------------------------------------------------------------- service components

// The promotion that applies to a line; an empty Pr_Cve_Producto means none applies.
struct tPromocion {
  static constexpr const char* kTypeName = "tPromocion";
  std::string Pr_Cve_Producto;
  std::string Tl_Cve_Talla;
  std::string Cl_Cve_Color;
  double Cantidad = 0;
  std::string Un_Cve_Unidad;
  std::string Pm_Folio;
  std::string Pm_Descripcion;
  std::string Pm_Texto_1;
  std::string Pm_Texto_2;
};

// The thirteen amounts of a line that the amounts calculation reads and overwrites in place,
// in the order in which they are passed.
struct tImportes {
  double Ct_Cantidad_1 = 0;
  double Ct_Precio_Lista = 0;
  double Ct_Precio_Lista_Importe = 0;
  double Ct_Descuento_Factor = 0;
  double Ct_Descuento_Importe = 0;
  double Ct_Precio_Descontado = 0;
  double Ct_Precio_Descontado_Importe = 0;
  double Ct_Descuento_Global_Factor = 0;
  double Ct_Descuento_Global_Importe = 0;
  double Ct_Impuesto_Factor = 0;
  double Ct_Impuesto_Importe = 0;
  double Ct_Precio_Neto = 0;
  double Ct_Precio_Neto_Importe = 0;
};

// Host environment and configuration.
class cSistema {
 public:
  virtual ~cSistema() = default;
  // The open database connection of this thread.
  virtual std::shared_ptr<Connection> Conexion() = 0;
  // The operator signed in to the host.
  virtual std::string Operador_Actual() = 0;
  // Yes when this process does not run on the central server.
  virtual bool Es_Servidor_Remoto() = 0;
  // The stored value of a parameter, or `default_value` when none is stored. `type` is "N"
  // (number), "T" (text) or "B" (yes/no). A stored null gives Null.
  virtual Variant Obtener_Parametro(const std::string& key, int32_t zero, const std::string& type,
                                    const std::string& default_value) = 0;
  // Id of the server on which this process runs.
  virtual std::string Servidor_Actual() = 0;
  // Shows or records a message. `omitted` stands for the optional fourth argument, which the
  // component always leaves out (Empty). The result is not used.
  virtual int32_t Mostrar_Mensaje(const Variant& message, int32_t& style, const Variant& source,
                                  const Variant& omitted, const Variant& application,
                                  const Variant& error_id) = 0;
};

// Database services.
class cDatos {
 public:
  virtual ~cDatos() = default;
  // The column's value, as text, of the row whose key column(s) equal the key value(s); empty
  // when there is none, or the row's status is `excluded_status`. The last three may be empty.
  virtual std::string Obtener_Campo(const std::string& table, const std::string& key_column,
                                    const std::string& key_value, const std::string& column,
                                    int32_t zero, const std::string& key2_column,
                                    const std::string& key2_value,
                                    const std::string& excluded_status) = 0;
  virtual Date Fecha_Servidor() = 0;
  // A new folio, given to no other document; an empty text when none can be given.
  virtual Variant Obtener_Folio(const std::string& branch, const std::string& document_type,
                                int32_t width, int32_t minus_one) = 0;
  virtual bool Existe_Producto_Talla(const std::string& product, const std::string& size) = 0;
  virtual bool Existe_Producto_Color(const std::string& product, const std::string& colour) = 0;
  virtual bool Existe_Producto_Talla_Color(const std::string& product, const std::string& size,
                                           const std::string& colour) = 0;
  // Quantity in `to` = factor x quantity in `from`.
  virtual double Factor_Conversion(const std::string& product, const std::string& from,
                                   const std::string& to) = 0;
  virtual bool Unidad_Permite_Fracciones(const std::string& unit) = 0;
  virtual Variant Redondear(const Variant& amount, int32_t decimals) = 0;
  // Texts the database accepts between apostrophes as a date / a date-time.
  virtual std::string Fecha_Documento_SQL(Date date) = 0;
  virtual std::string Fecha_SQL(Date date_time) = 0;
  // Fill the line's amounts in place; the result is not used.
  virtual Variant Calcular_Importes(tImportes& amounts, int16_t calculation_type) = 0;
  virtual Variant Calcular_Importes_Cuota(tImportes& amounts, int16_t calculation_type,
                                          double fee) = 0;
  // The message of the last cDatos operation that failed or answered no.
  virtual std::string Ultimo_Error() = 0;
  virtual bool Registrar_Documento(const std::string& tag, const std::string& folio,
                                   const std::string& line_id) = 0;
  virtual bool Registrar_Seguimiento(const std::string& module, const std::string& document_type,
                                     const std::string& folio, const std::string& entity_type,
                                     const std::string& entity, Date date,
                                     const std::string& description) = 0;
};

// Inventory rules.
class cInventario {
 public:
  virtual ~cInventario() = default;
  virtual bool Maneja_Tallas(const std::string& branch, const std::string& warehouse) = 0;
  virtual bool Maneja_Colores(const std::string& branch, const std::string& warehouse) = 0;
  // The unit cost for that quantity in the cost unit. `empty` is always an empty text.
  virtual double Obtener_Costo(const std::string& branch, const std::string& warehouse,
                               const std::string& product, const std::string& size,
                               const std::string& colour, double quantity,
                               const std::string& empty) = 0;
};

// Taxes.
class cImpuestos {
 public:
  virtual ~cImpuestos() = default;
  virtual double Factor_Impuesto(const std::string& branch, const std::string& customer,
                                 const std::string& product) = 0;
};

// Promotions.
class cPromociones {
 public:
  virtual ~cPromociones() = default;
  virtual tPromocion Obtener_Promocion(Date date, const std::string& branch,
                                       const std::string& customer, const std::string& product,
                                       const std::string& size, const std::string& colour,
                                       double quantity, const std::string& unit) = 0;
};

// Creates the service objects: the component calls it for the thread's cSistema, cDatos and
// cInventario at start-up, for one cImpuestos per quote and one cPromociones per promotion
// request. A creation that fails throws Failure.
class HostFactory {
 public:
  virtual ~HostFactory() = default;
  virtual std::shared_ptr<cSistema> create_sistema() = 0;
  virtual std::shared_ptr<cDatos> create_datos() = 0;
  virtual std::shared_ptr<cInventario> create_inventario() = 0;
  virtual std::shared_ptr<cImpuestos> create_impuestos() = 0;
  virtual std::shared_ptr<cPromociones> create_promociones() = 0;
};

// The factory that objects created from now on use: for every thread (process-wide), or for
// the calling thread only (which wins over the process-wide one). nullptr goes back to the
// standard host over SQL, configured from the environment.
void install_host_factory(std::shared_ptr<HostFactory> factory);
void install_thread_host_factory(std::shared_ptr<HostFactory> factory);
std::shared_ptr<HostFactory> current_host_factory();

}  // namespace quorlane
