// What the model tests share: headers and lines with a value of their own in every field, so
// that comparing a whole record, or all the properties of an object, shows any field a member
// wrote or failed to write.
#pragma once

#include <map>
#include <string>

#include "quorlane/interfaces.h"
#include "support/failure_text.h"
#include "support/host_test.h"

namespace quorlane::test {

// A fresh quote on the fake host, with the calls of its creation already taken.
class QuoteTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    quote = create_Cotizacion();
    take_calls();
  }
  Ref<_Cotizacion> quote;
};

// Texts are the field's path and the tag ("Sucursal.Sc_Cve_Sucursal_1"); numbers and dates
// count up from the tag, so that no two fields of one filling, nor of two tags, are equal.
struct Filler {
  int tag;
  int n = 0;
};
inline void fill(std::string& v, const std::string& path, Filler& f) {
  v = path + "_" + std::to_string(f.tag);
}
inline void fill(double& v, const std::string&, Filler& f) { v = f.tag * 100 + ++f.n + 0.5; }
inline void fill(int16_t& v, const std::string&, Filler& f) {
  v = static_cast<int16_t>(f.tag * 100 + ++f.n);
}
inline void fill(Date& v, const std::string&, Filler& f) { v = Date{f.tag * 1000.0 + ++f.n}; }
inline void fill(UserDef& v, const std::string& path, Filler& f) { fill(v.data, path, f); }

#define QL_FILL_DECLARE(type, LIST) inline void fill(type& r, const std::string& path, Filler& f);
#define QL_FILL_FIELD(name, kind, type) fill(r.name, path.empty() ? #name : path + "." #name, f);
#define QL_FILL_DEFINE(type, LIST) \
  inline void fill(type& r, const std::string& path, Filler& f) { LIST(QL_FILL_FIELD) }
QL_RECORDS(QL_FILL_DECLARE)
QL_RECORDS(QL_FILL_DEFINE)
#undef QL_FILL_DEFINE
#undef QL_FILL_FIELD
#undef QL_FILL_DECLARE

template <class Record>
Record filled(int tag) {
  Record r;
  Filler f{tag};
  fill(r, "", f);
  return r;
}

// A header object with every property filled the same way.
inline void fill(_cCtEncabezado& o, int tag) {
  Filler f{tag};
#define QL_PUT(name, kind, type) \
  {                              \
    type v;                      \
    fill(v, #name, f);           \
    o.put_##name(v);             \
  }
  QL_CCTENCABEZADO_PROPERTIES(QL_PUT)
#undef QL_PUT
}
inline Ref<_cCtEncabezado> filled_header_object(int tag) {
  Ref<_cCtEncabezado> o = create_cCtEncabezado();
  fill(*o, tag);
  return o;
}

// All the properties of a header or line object, by name.
using Properties = std::map<std::string, Variant>;
#define QL_GET(name, kind, type) out[#name] = Variant(o.get_##name());
inline Properties properties(_cCtEncabezado& o) {
  Properties out;
  QL_CCTENCABEZADO_PROPERTIES(QL_GET)
  return out;
}
inline Properties properties(_cCtDetalle& o) {
  Properties out;
  QL_CCTDETALLE_PROPERTIES(QL_GET)
  return out;
}
#undef QL_GET

}  // namespace quorlane::test
