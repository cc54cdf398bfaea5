// The five service components over the standard host's database. Each call reads the host's
// settings afresh and runs the host's own queries with bound parameters on this thread's
// connection.
#include "host/sql/services.h"

#include <pwd.h>
#include <strings.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <ctime>
#include <mutex>

#include "db/database.h"
#include "host/routine_call.h"
#include "host/sql/engine_sql.h"
#include "host/sql/rules.h"
#include "host/sql/schema.h"

namespace quorlane {

namespace {

// Texts of the standard host's own failures and "no" answers.
constexpr const char* kInvalidName = "Nombre de tabla o columna no válido: ";
constexpr const char* kInvalidParameterType = "Tipo de parámetro no válido: ";
constexpr const char* kNoConversion = "No existe conversión de la unidad: ";
constexpr const char* kNoFolioSeries = "No hay serie de folios para la sucursal: ";

std::string login_name() {
  static const std::string name = [] {
    std::vector<char> buffer(4096);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found)
      return std::string(found->pw_name);
    const char* user = std::getenv("USER");
    return std::string(user != nullptr ? user : "");
  }();
  return name;
}

// Whether `name` is a plain identifier: a letter or underscore, then letters, digits and
// underscores. Table and column names enter the query text, so nothing else may.
bool is_plain_identifier(const std::string& name) {
  if (name.empty()) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(name[i]);
    bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
    if (!letter && !(i > 0 && c >= '0' && c <= '9')) return false;
  }
  return true;
}

// The tables the component only reads: the host may answer their queries from memory
// (Database::run_catalogue). The component's own tables and the host's registers are read anew.
bool is_catalogue(const std::string& table) {
  for (const std::string& catalogue : catalogue_tables())
    if (strcasecmp(table.c_str(), catalogue.c_str()) == 0) return true;
  return false;
}

// A catalogue query of the component's routine call now running, on this thread's connection.
db::Rows catalogue(db::Database& database, const std::string& sql,
                   const std::vector<Variant>& params,
                   std::initializer_list<std::string_view> tables) {
  return database.run_catalogue(sql, params, tables, current_routine_call());
}

// The first column of the first row as a field's text; empty when there is no row.
std::string first_field(const db::Rows& rows) {
  if (rows.empty()) return std::string();
  return field_text(rows.first(), rows.kinds.front());
}

// The position of `column` among the row's columns, whatever case the server gave them.
std::optional<size_t> column_index(const db::Rows& rows, const std::string& column) {
  for (size_t i = 0; i < rows.columns.size(); ++i)
    if (strcasecmp(rows.columns[i].c_str(), column.c_str()) == 0) return i;
  return std::nullopt;
}

void require_identifier(const std::string& name) {
  if (!is_plain_identifier(name)) throw Failure(kInvalidName + name);
}

bool is_yes(const Variant& value) { return !value.is_null() && value.to_text() == "SI"; }

double number_or_zero(const Variant& value) { return value.is_null() ? 0 : value.to_double(); }

std::string text_or_empty(const Variant& value) {
  return value.is_null() ? std::string() : field_text(value, db::ColumnKind::Other);
}

// A text a message line can show: never fails, whatever the kind.
std::string message_part(const Variant& value) {
  try {
    return value.is_null() ? "Null" : value.to_text();
  } catch (const Failure&) {
    return debug_text(value);
  }
}

// A parameter's stored text read as its type: "N" a number, "T" a text, "B" yes/no.
Variant typed_parameter(const std::string& value, const std::string& type) {
  if (type == "T") return Variant(value);
  if (type == "N") {
    double number;
    if (!parse_number(value, number)) throw Failure(kTypeMismatch);
    return Variant(number);
  }
  if (type == "B") {
    std::string v = value;
    while (!v.empty() && v.back() == ' ') v.pop_back();
    while (!v.empty() && v.front() == ' ') v.erase(v.begin());
    for (const char* yes : {"1", "SI", "True"})
      if (strcasecmp(v.c_str(), yes) == 0) return Variant(true);
    for (const char* no : {"0", "NO", "False"})
      if (strcasecmp(v.c_str(), no) == 0) return Variant(false);
    throw Failure(kTypeMismatch);
  }
  throw Failure(kInvalidParameterType + type);
}

std::mutex g_message_log_mutex;

// Tabs and line breaks inside a part would break the one-line format: they are written escaped.
std::string one_line(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else {
      out += c;
    }
  }
  return out;
}

// The database's current local date-time, unless the clock is fixed.
Date current_date_time(StandardHost& host) {
  if (std::optional<Date> clock = host.settings().clock) return *clock;
  std::shared_ptr<db::Database> database = host.database();
  // A server's clock: read once per connection, then carried forward.
  if (database->engine() != db::Engine::SQLite)
    return database->server_date_time(current_date_time_query(database->engine()));
  // The embedded database runs in this process: its clock is this machine's, read without a
  // statement.
  time_t now = std::time(nullptr);
  tm local{};
  if (localtime_r(&now, &local) == nullptr) throw Failure(kTypeMismatch);
  return make_date(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                   local.tm_min, local.tm_sec);
}

// ---------------------------------------------------------------- cSistema

class SqlSistema final : public cSistema {
 public:
  explicit SqlSistema(std::shared_ptr<StandardHost> host) : host_(std::move(host)) {}

  std::shared_ptr<Connection> Conexion() override { return host_->connection(); }

  std::string Operador_Actual() override {
    std::string name = host_->settings().operator_name;
    return name.empty() ? login_name() : name;
  }

  bool Es_Servidor_Remoto() override { return host_->settings().remote; }

  Variant Obtener_Parametro(const std::string& key, int32_t, const std::string& type,
                            const std::string& default_value) override {
    db::Rows rows =
        catalogue(*host_->database(), "SELECT Pa_Valor FROM Parametro WHERE Pa_Cve_Parametro = ?",
                  {Variant(key)}, {"Parametro"});
    if (rows.empty()) return typed_parameter(default_value, type);
    Variant stored = rows.first();
    if (stored.is_null()) return Variant::null();
    return typed_parameter(field_text(stored, db::ColumnKind::Other), type);
  }

  std::string Servidor_Actual() override { return host_->settings().server_id; }

  int32_t Mostrar_Mensaje(const Variant& message, int32_t& style, const Variant& source,
                          const Variant&, const Variant&, const Variant& error_id) override {
    std::string line = one_line(message_part(error_id)) + "\t" + one_line(message_part(source)) +
                       "\t" + std::to_string(style) + "\t" + one_line(message_part(message)) + "\n";
    std::string log = host_->settings().message_log;
    std::lock_guard<std::mutex> lock(g_message_log_mutex);
    if (log.empty()) {
      std::fputs(line.c_str(), stderr);
      std::fflush(stderr);
    } else if (log != "none") {
      if (std::FILE* file = std::fopen(log.c_str(), "a")) {
        std::fputs(line.c_str(), file);
        std::fclose(file);
      }
    }
    return 0;
  }

 private:
  std::shared_ptr<StandardHost> host_;
};

// ---------------------------------------------------------------- cDatos

class SqlDatos final : public cDatos {
 public:
  explicit SqlDatos(std::shared_ptr<StandardHost> host) : host_(std::move(host)) {}

  std::string Obtener_Campo(const std::string& table, const std::string& key_column,
                            const std::string& key_value, const std::string& column, int32_t,
                            const std::string& key2_column, const std::string& key2_value,
                            const std::string& excluded_status) override {
    return noted([&] {
      require_identifier(table);
      require_identifier(key_column);
      require_identifier(column);
      std::string sql = " FROM " + table + " WHERE " + key_column + " = ?";
      std::vector<Variant> params{Variant(key_value)};
      if (!key2_column.empty()) {
        require_identifier(key2_column);
        sql += " AND " + key2_column + " = ?";
        params.emplace_back(key2_value);
      }
      if (!excluded_status.empty()) {
        sql += " AND (Es_Cve_Estado IS NULL OR Es_Cve_Estado <> ?)";
        params.emplace_back(excluded_status);
      }
      std::shared_ptr<db::Database> database = host_->database();
      const db::Engine engine = database->engine();
      const std::string query = first_row_query(engine, "SELECT " + column + sql);
      if (!is_catalogue(table)) return first_field(database->run(query, params));
      // SQLite remembers each column's answer across calls already; copying whole rows out of
      // its memory would cost more than the lookups it saves.
      if (engine == db::Engine::SQLite)
        return first_field(catalogue(*database, query, params, {table}));
      // On a server, the whole row, so that one read answers every column the call asks of it.
      db::Rows row =
          catalogue(*database, first_row_query(engine, "SELECT *" + sql), params, {table});
      if (std::optional<size_t> index = column_index(row, column))
        return row.empty() ? std::string()
                           : field_text(row.values.front()[*index], row.kinds[*index]);
      // No such column: the query of that column alone fails with the database's message.
      return first_field(database->run(query, params));
    });
  }

  Date Fecha_Servidor() override {
    return noted([&] { return current_date_time(*host_); });
  }

  Variant Obtener_Folio(const std::string& branch, const std::string& document_type, int32_t width,
                        int32_t) override {
    return noted([&] {
      // One statement raises the counter and reads it back, so no two callers of any thread
      // or process see the same number.
      std::shared_ptr<db::Database> database = host_->database();
      db::Rows rows = database->run(folio_update(database->engine()),
                                    {Variant(branch), Variant(document_type)});
      if (rows.empty()) {
        last_error_ = kNoFolioSeries + branch + ", documento: " + document_type;
        return Variant(std::string());
      }
      std::string number = field_text(rows.values.front()[1], db::ColumnKind::Other);
      if (width > 0 && number.size() < static_cast<size_t>(width))
        number.insert(0, static_cast<size_t>(width) - number.size(), '0');
      return Variant(text_or_empty(rows.values.front()[0]) + number);
    });
  }

  bool Existe_Producto_Talla(const std::string& product, const std::string& size) override {
    return exists("Producto_Talla",
                  "SELECT 1 FROM Producto_Talla WHERE Pr_Cve_Producto = ? AND Tl_Cve_Talla = ?",
                  {Variant(product), Variant(size)},
                  "No existe la talla: " + size + ", del producto: " + product);
  }

  bool Existe_Producto_Color(const std::string& product, const std::string& colour) override {
    return exists("Producto_Color",
                  "SELECT 1 FROM Producto_Color WHERE Pr_Cve_Producto = ? AND Cl_Cve_Color = ?",
                  {Variant(product), Variant(colour)},
                  "No existe el color: " + colour + ", del producto: " + product);
  }

  bool Existe_Producto_Talla_Color(const std::string& product, const std::string& size,
                                   const std::string& colour) override {
    return exists(
        "Producto_Talla_Color",
        "SELECT 1 FROM Producto_Talla_Color "
        "WHERE Pr_Cve_Producto = ? AND Tl_Cve_Talla = ? AND Cl_Cve_Color = ?",
        {Variant(product), Variant(size), Variant(colour)},
        "No existe la talla: " + size + ", con el color: " + colour + ", del producto: " + product);
  }

  double Factor_Conversion(const std::string& product, const std::string& from,
                           const std::string& to) override {
    return noted([&] {
      if (from == to) return 1.0;
      // In order: the product's row from->to (case 0), the general one (1), then the reverse
      // rows, product's (2) and general (3), whose factor is inverted. The server says which
      // case a row is, comparing the keys as it did to find the row (a server that ignores
      // letter case or trailing blanks finds 'caj' for CAJ). A row without a usable factor
      // counts as none.
      db::Rows rows = catalogue(
          *host_->database(),
          "SELECT Uc_Factor, CASE WHEN Un_Cve_Unidad_Origen = ? AND Un_Cve_Unidad_Destino = ? "
          "THEN 0 ELSE 2 END + CASE WHEN Pr_Cve_Producto = ? THEN 0 ELSE 1 END AS Uc_Caso "
          "FROM Unidad_Conversion "
          "WHERE Pr_Cve_Producto IN (?, '') AND ((Un_Cve_Unidad_Origen = ? AND "
          "Un_Cve_Unidad_Destino = ?) OR (Un_Cve_Unidad_Origen = ? AND Un_Cve_Unidad_Destino = ?)) "
          "ORDER BY Uc_Caso",
          {Variant(from), Variant(to), Variant(product), Variant(product), Variant(from),
           Variant(to), Variant(to), Variant(from)},
          {"Unidad_Conversion"});
      for (const auto& row : rows.values) {
        double factor = number_or_zero(row[0]);
        if (factor == 0) continue;
        return row[1].to_double() < 2 ? factor : 1 / factor;
      }
      throw Failure(kNoConversion + from + ", a la unidad: " + to +
                    ", para el producto: " + product);
    });
  }

  bool Unidad_Permite_Fracciones(const std::string& unit) override {
    return noted([&] {
      Variant value = catalogue(*host_->database(),
                                "SELECT Un_Permite_Fracciones FROM Unidad WHERE Un_Cve_Unidad = ?",
                                {Variant(unit)}, {"Unidad"})
                          .first();
      if (is_yes(value)) return true;
      last_error_ = "La unidad: " + unit + ", no permite fracciones";
      return false;
    });
  }

  Variant Redondear(const Variant& amount, int32_t decimals) override {
    return noted([&] {
      if (amount.is_null()) return Variant::null();
      return Variant(round_half_away(amount.to_double(), decimals));
    });
  }

  std::string Fecha_Documento_SQL(Date date) override {
    return noted([&] { return sql_date_text(engine(), date); });
  }

  std::string Fecha_SQL(Date date_time) override {
    return noted([&] { return sql_date_time_text(engine(), date_time); });
  }

  Variant Calcular_Importes(tImportes& amounts, int16_t calculation_type) override {
    return noted([&] {
      calculate_amounts(amounts, calculation_type, 0);
      return Variant(true);
    });
  }

  Variant Calcular_Importes_Cuota(tImportes& amounts, int16_t calculation_type,
                                  double fee) override {
    return noted([&] {
      calculate_amounts(amounts, calculation_type, fee);
      return Variant(true);
    });
  }

  std::string Ultimo_Error() override { return last_error_; }

  bool Registrar_Documento(const std::string& tag, const std::string& folio,
                           const std::string& line_id) override {
    return written([&] {
      host_->database()->run(
          "INSERT INTO Documento_Registro (Dr_Tabla, Dr_Documento, Dr_ID, Oper_Alta, Fecha_Alta) "
          "VALUES (?, ?, ?, ?, ?)",
          {Variant(tag), Variant(folio), Variant(line_id), Variant(operator_name()), now()});
    });
  }

  bool Registrar_Seguimiento(const std::string& module, const std::string& document_type,
                             const std::string& folio, const std::string& entity_type,
                             const std::string& entity, Date date,
                             const std::string& description) override {
    return written([&] {
      host_->database()->run(
          "INSERT INTO Historial_Seguimiento (Hs_Modulo, Hs_Tipo_Documento, Hs_Documento, "
          "Hs_Tipo_Entidad, Hs_Entidad, Hs_Fecha, Hs_Descripcion, Oper_Alta, Fecha_Alta) "
          "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)",
          {Variant(module), Variant(document_type), Variant(folio), Variant(entity_type),
           Variant(entity), date_parameter(engine(), date, false), Variant(description),
           Variant(operator_name()), now()});
    });
  }

 private:
  // Runs an operation; a failure leaves its description for Ultimo_Error on its way out.
  template <class F>
  auto noted(F&& operation) -> decltype(operation()) {
    try {
      return operation();
    } catch (const Failure& failure) {
      last_error_ = failure.what();
      throw;
    }
  }

  // A registration answers no, instead of failing, when the row cannot be written.
  template <class F>
  bool written(F&& insert) {
    try {
      insert();
      return true;
    } catch (const Failure& failure) {
      last_error_ = failure.what();
      return false;
    }
  }

  bool exists(const char* table, const std::string& sql, const std::vector<Variant>& params,
              const std::string& missing) {
    return noted([&] {
      std::shared_ptr<db::Database> database = host_->database();
      if (!catalogue(*database, first_row_query(database->engine(), sql), params, {table}).empty())
        return true;
      last_error_ = missing;
      return false;
    });
  }

  db::Engine engine() { return host_->database()->engine(); }

  std::string operator_name() {
    std::string name = host_->settings().operator_name;
    return name.empty() ? login_name() : name;
  }

  Variant now() { return date_parameter(engine(), current_date_time(*host_), true); }

  std::shared_ptr<StandardHost> host_;
  std::string last_error_;
};

// ---------------------------------------------------------------- cInventario

class SqlInventario final : public cInventario {
 public:
  explicit SqlInventario(std::shared_ptr<StandardHost> host) : host_(std::move(host)) {}

  bool Maneja_Tallas(const std::string& branch, const std::string& warehouse) override {
    return warehouse_flag(
        "SELECT Al_Maneja_Tallas FROM Almacen "
        "WHERE Sc_Cve_Sucursal = ? AND Al_Cve_Almacen = ?",
        branch, warehouse);
  }

  bool Maneja_Colores(const std::string& branch, const std::string& warehouse) override {
    return warehouse_flag(
        "SELECT Al_Maneja_Colores FROM Almacen "
        "WHERE Sc_Cve_Sucursal = ? AND Al_Cve_Almacen = ?",
        branch, warehouse);
  }

  // The cost of the exact size and colour, else the product's cost without size and colour:
  // both rows asked for at once, the exact one first.
  double Obtener_Costo(const std::string& branch, const std::string& warehouse,
                       const std::string& product, const std::string& size,
                       const std::string& colour, double, const std::string&) override {
    std::shared_ptr<db::Database> database = host_->database();
    db::Rows rows = catalogue(
        *database,
        first_row_query(
            database->engine(),
            "SELECT Co_Costo FROM Costo WHERE Sc_Cve_Sucursal = ? AND Al_Cve_Almacen = ? AND "
            "Pr_Cve_Producto = ? AND ((Tl_Cve_Talla = ? AND Cl_Cve_Color = ?) OR "
            "(Tl_Cve_Talla = '' AND Cl_Cve_Color = '')) "
            "ORDER BY CASE WHEN Tl_Cve_Talla = ? AND Cl_Cve_Color = ? THEN 0 ELSE 1 END"),
        {Variant(branch), Variant(warehouse), Variant(product), Variant(size), Variant(colour),
         Variant(size), Variant(colour)},
        {"Costo"});
    return number_or_zero(rows.first());
  }

 private:
  bool warehouse_flag(const char* sql, const std::string& branch, const std::string& warehouse) {
    return is_yes(
        catalogue(*host_->database(), sql, {Variant(branch), Variant(warehouse)}, {"Almacen"})
            .first());
  }

  std::shared_ptr<StandardHost> host_;
};

// ---------------------------------------------------------------- cImpuestos

class SqlImpuestos final : public cImpuestos {
 public:
  explicit SqlImpuestos(std::shared_ptr<StandardHost> host) : host_(std::move(host)) {}

  double Factor_Impuesto(const std::string&, const std::string& customer,
                         const std::string& product) override {
    // The customer's exemption and the product's factor in one statement.
    db::Rows rows =
        catalogue(*host_->database(),
                  "SELECT (SELECT Cl_Exento_Impuesto FROM Cliente WHERE Cl_Cve_Cliente = ?), "
                  "(SELECT Pr_Impuesto_Factor FROM Producto WHERE Pr_Cve_Producto = ?)",
                  {Variant(customer), Variant(product)}, {"Cliente", "Producto"});
    if (is_yes(rows.first(0))) return 0;
    return number_or_zero(rows.first(1));
  }

 private:
  std::shared_ptr<StandardHost> host_;
};

// ---------------------------------------------------------------- cPromociones

class SqlPromociones final : public cPromociones {
 public:
  explicit SqlPromociones(std::shared_ptr<StandardHost> host) : host_(std::move(host)) {}

  // The first promotion by folio, not withdrawn, of every branch or the line's, for the line's
  // product and unit, in force on the date, whose minimum the quantity reaches.
  tPromocion Obtener_Promocion(Date date, const std::string& branch, const std::string&,
                               const std::string& product, const std::string&, const std::string&,
                               double quantity, const std::string& unit) override {
    std::shared_ptr<db::Database> database = host_->database();
    const Variant day = date_parameter(database->engine(), date, false);
    db::Rows rows = catalogue(
        *database,
        first_row_query(
            database->engine(),
            "SELECT Pm_Folio, Pm_Descripcion, Pm_Cantidad_Minima, Pm_Producto_Regalo, "
            "Pm_Talla_Regalo, Pm_Color_Regalo, Pm_Cantidad_Regalo, Pm_Unidad_Regalo FROM Promocion "
            "WHERE (Es_Cve_Estado IS NULL OR Es_Cve_Estado <> 'BA') "
            "AND (Sc_Cve_Sucursal IS NULL OR Sc_Cve_Sucursal = '' OR Sc_Cve_Sucursal = ?) "
            "AND Pr_Cve_Producto = ? AND Un_Cve_Unidad = ? "
            "AND Pm_Fecha_Inicio <= ? AND Pm_Fecha_Fin >= ? AND Pm_Cantidad_Minima <= ? "
            "ORDER BY Pm_Folio"),
        {Variant(branch), Variant(product), Variant(unit), day, day, Variant(quantity)},
        {"Promocion"});
    tPromocion promotion;
    if (rows.empty()) return promotion;
    const std::vector<Variant>& row = rows.values.front();
    const double minimum = number_or_zero(row[2]);
    // A minimum of zero gives the gift once.
    const double times = minimum > 0 ? std::floor(quantity / minimum) : 1;
    promotion.Pr_Cve_Producto = text_or_empty(row[3]);
    promotion.Tl_Cve_Talla = text_or_empty(row[4]);
    promotion.Cl_Cve_Color = text_or_empty(row[5]);
    promotion.Cantidad = times * number_or_zero(row[6]);
    promotion.Un_Cve_Unidad = text_or_empty(row[7]);
    promotion.Pm_Folio = text_or_empty(row[0]);
    promotion.Pm_Descripcion = text_or_empty(row[1]);
    return promotion;
  }

 private:
  std::shared_ptr<StandardHost> host_;
};

// ---------------------------------------------------------------- factory

class SqlServices final : public HostFactory {
 public:
  explicit SqlServices(std::shared_ptr<StandardHost> host) : host_(std::move(host)) {}
  std::shared_ptr<cSistema> create_sistema() override {
    return std::make_shared<SqlSistema>(host_);
  }
  std::shared_ptr<cDatos> create_datos() override { return std::make_shared<SqlDatos>(host_); }
  std::shared_ptr<cInventario> create_inventario() override {
    return std::make_shared<SqlInventario>(host_);
  }
  std::shared_ptr<cImpuestos> create_impuestos() override {
    return std::make_shared<SqlImpuestos>(host_);
  }
  std::shared_ptr<cPromociones> create_promociones() override {
    return std::make_shared<SqlPromociones>(host_);
  }

 private:
  std::shared_ptr<StandardHost> host_;
};

}  // namespace

std::shared_ptr<HostFactory> make_sql_services(std::shared_ptr<StandardHost> host) {
  return std::make_shared<SqlServices>(std::move(host));
}

}  // namespace quorlane
