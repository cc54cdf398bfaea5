// What every backend checks before a text reaches its engine.
#include "db/database.h"

namespace quorlane::db {

namespace {
// C interfaces of the engines end a text at its first NUL, so that what ran would not be what
// was written: such a text is refused whole.
constexpr const char* kNulInText =
    "El texto para la base de datos contiene un carácter nulo (NUL) y no se ejecuta";
}  // namespace

void refuse_nul(std::string_view text) {
  if (text.find('\0') != std::string_view::npos) throw Failure(kNulInText);
}

}  // namespace quorlane::db
