#include <strings.h>

#include "quorlane/host.h"

namespace quorlane {

MemoryRecordset::MemoryRecordset(std::vector<std::string> columns,
                                 std::vector<std::vector<Variant>> rows)
    : columns_(std::move(columns)), rows_(std::move(rows)) {
  fields_.resize(columns_.size());
  for (size_t i = 0; i < fields_.size(); ++i) {
    fields_[i].owner = this;
    fields_[i].index = i;
  }
}

bool MemoryRecordset::Eof() { return closed_ || row_ >= rows_.size(); }

Fields& MemoryRecordset::GetFields() { return *this; }

void MemoryRecordset::MoveNext() {
  if (row_ < rows_.size()) ++row_;
}

void MemoryRecordset::Close() { closed_ = true; }

Field& MemoryRecordset::Item(const std::string& name) {
  for (size_t i = 0; i < columns_.size(); ++i)
    if (strcasecmp(columns_[i].c_str(), name.c_str()) == 0) return fields_[i];
  throw Failure("No se encontró el elemento en la colección: " + name);
}

Variant MemoryRecordset::Column::Value() {
  if (owner->Eof()) throw Failure("No hay un registro actual");
  const auto& row = owner->rows_[owner->row_];
  return index < row.size() ? row[index] : Variant::null();
}

}  // namespace quorlane
