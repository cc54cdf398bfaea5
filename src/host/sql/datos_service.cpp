// cDatos over the standard host: fields, folios, existence checks, unit conversions, rounding,
// SQL date texts, amounts and the registration of documents and their history.
#include <strings.h>

#include <ctime>

#include "db/database.h"
#include "host/sql/engine_sql.h"
#include "host/sql/rules.h"
#include "host/sql/schema.h"
#include "host/sql/service_support.h"

namespace quorlane {

namespace {

// Texts of the standard host's own failures and "no" answers.
constexpr const char* kInvalidName = "Nombre de tabla o columna no válido: ";
constexpr const char* kNoConversion = "No existe conversión de la unidad: ";
constexpr const char* kNoFolioSeries = "No hay serie de folios para la sucursal: ";

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

}  // namespace

std::shared_ptr<cDatos> make_sql_datos(std::shared_ptr<StandardHost> host) {
  return std::make_shared<SqlDatos>(std::move(host));
}

}  // namespace quorlane
