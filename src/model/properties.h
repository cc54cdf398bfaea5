// The property classes cCtEncabezado and cCtDetalle: flat bags of properties with no behaviour
// of their own. Every setter stores, every getter returns; nothing is checked or converted.
#pragma once

#include "frame/object.h"
#include "quorlane/interfaces.h"

namespace quorlane {

#define QL_PROPERTY_STORAGE(name, kind, type) type m_##name{};
#define QL_PROPERTY_ACCESSORS(name, kind, type)                     \
  void put_##name(const type& value) override { m_##name = value; } \
  type get_##name() override { return m_##name; }

class cCtEncabezado final : public ComObject<cCtEncabezado, _cCtEncabezado> {
 public:
  static Ref<cCtEncabezado> create();
  static const DispatchTable& dispatch_table();
  static const GUID& interface_id() { return IID__cCtEncabezado; }
  QL_CCTENCABEZADO_PROPERTIES(QL_PROPERTY_ACCESSORS)

 private:
  cCtEncabezado() = default;
  QL_CCTENCABEZADO_PROPERTIES(QL_PROPERTY_STORAGE)
};

class cCtDetalle final : public ComObject<cCtDetalle, _cCtDetalle> {
 public:
  static Ref<cCtDetalle> create();
  static const DispatchTable& dispatch_table();
  static const GUID& interface_id() { return IID__cCtDetalle; }
  QL_CCTDETALLE_PROPERTIES(QL_PROPERTY_ACCESSORS)

 private:
  cCtDetalle() = default;
  QL_CCTDETALLE_PROPERTIES(QL_PROPERTY_STORAGE)
};

#undef QL_PROPERTY_STORAGE
#undef QL_PROPERTY_ACCESSORS

}  // namespace quorlane
