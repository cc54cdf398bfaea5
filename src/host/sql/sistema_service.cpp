// cSistema over the standard host: the connection, the operator, the parameters table and the
// message log.
#include <strings.h>

#include <cstdio>
#include <mutex>

#include "db/database.h"
#include "host/sql/rules.h"
#include "host/sql/service_support.h"

namespace quorlane {

namespace {

// Texts of the standard host's own failures and "no" answers.
constexpr const char* kInvalidParameterType = "Tipo de parámetro no válido: ";

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

// A text a message line can show: never fails, whatever the kind.
std::string message_part(const Variant& value) {
  try {
    return value.is_null() ? "Null" : value.to_text();
  } catch (const Failure&) {
    return debug_text(value);
  }
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

}  // namespace

std::shared_ptr<cSistema> make_sql_sistema(std::shared_ptr<StandardHost> host) {
  return std::make_shared<SqlSistema>(std::move(host));
}

}  // namespace quorlane
