#include "lines/statement.h"

#include "frame/publico.h"
#include "lines/sql_values.h"

namespace quorlane {

namespace {
constexpr const char* kObjectNotSet = "Variable de objeto o bloque With no establecida";
}

void append_quoted_item(std::string& sql, std::string_view text) {
  sql += '\'';
  append_quoted_value(sql, text);
  sql += "', ";
}

void append_last_quoted_item(std::string& sql, std::string_view text) {
  sql += '\'';
  append_quoted_value(sql, text);
  sql += "') ";
}

void append_number_item(std::string& sql, double value) {
  append_plain_number(sql, value);
  sql += ", ";
}

void append_bare_item(std::string& sql, std::string_view text) {
  append_bare_value(sql, text);
  sql += ", ";
}

void append_integer_item(std::string& sql, long long value) {
  append_integer(sql, value);
  sql += ", ";
}

std::shared_ptr<Recordset> execute_statement(const std::string& sql) {
  std::shared_ptr<Connection> connection = publico().gSistema->Conexion();
  if (!connection) throw Failure(kObjectNotSet);
  return connection->Execute(sql, -1);
}

}  // namespace quorlane
