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

Date Database::server_date_time(const std::string& query) {
  const auto now = std::chrono::steady_clock::now();
  if (!clock_read_ || now - clock_read_at_ >= kClockReread) {
    Date read;
    if (!parse_date(run(query, {}).first().to_text(), read)) throw Failure(kTypeMismatch);
    clock_read_ = read;
    clock_read_at_ = now;
  }
  // Whole seconds since the read, as the server's own answer counts them.
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(now - clock_read_at_);
  return Date{clock_read_->serial + static_cast<double>(seconds.count()) / 86400.0};
}

bool append_answer_key(std::string& key, const Variant& value) {
  key += '\0';
  key += static_cast<char>(value.kind());
  switch (value.kind()) {
    case Variant::Kind::Empty:
    case Variant::Kind::Null:
      return true;
    case Variant::Kind::Boolean:
      key += value.raw_bool() ? '1' : '0';
      return true;
    case Variant::Kind::Int16:
    case Variant::Kind::Int32: {
      int32_t i = value.raw_int();
      key.append(reinterpret_cast<const char*>(&i), sizeof i);
      return true;
    }
    case Variant::Kind::Double:
    case Variant::Kind::Date: {
      double d = value.raw_double();
      key.append(reinterpret_cast<const char*>(&d), sizeof d);
      return true;
    }
    case Variant::Kind::Text: {
      const std::string& text = value.raw_text();
      uint64_t size = text.size();
      key.append(reinterpret_cast<const char*>(&size), sizeof size);
      key += text;
      return true;
    }
    default:
      return false;
  }
}

}  // namespace quorlane::db
