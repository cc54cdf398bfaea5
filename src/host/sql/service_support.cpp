#include "host/sql/service_support.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "host/routine_call.h"
#include "host/sql/rules.h"

namespace quorlane {

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

db::Rows catalogue(db::Database& database, const std::string& sql,
                   const std::vector<Variant>& params,
                   std::initializer_list<std::string_view> tables) {
  return database.run_catalogue(sql, params, tables, current_routine_call());
}

bool is_yes(const Variant& value) { return !value.is_null() && value.to_text() == "SI"; }

double number_or_zero(const Variant& value) { return value.is_null() ? 0 : value.to_double(); }

std::string text_or_empty(const Variant& value) {
  return value.is_null() ? std::string() : field_text(value, db::ColumnKind::Other);
}

}  // namespace quorlane
