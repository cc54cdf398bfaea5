// Late binding of the three classes: their dispatch tables, generated from the same member lists
// as the typed interfaces. Every entry calls the typed member through the interface, so a list
// that disagreed with the interface would not compile.
#include <string>
#include <type_traits>
#include <utility>

#include "model/cotizacion.h"
#include "model/properties.h"

namespace quorlane {

namespace {

[[noreturn]] void wrong_argument(const char* member, const char* expected, const Variant& v) {
  throw ArgumentError(std::string("El argumento de ") + member + " debe ser " + expected +
                      "; se recibió " + debug_text(v));
}

// Converts a scalar argument with the Variant's own rule; a value that rule refuses is an
// argument of the wrong kind, not a failure of the member.
template <class Convert>
auto convert_argument(const char* member, const char* expected, const Variant& v,
                      Convert&& convert) {
  if (v.kind() == Variant::Kind::Object || v.kind() == Variant::Kind::Record)
    wrong_argument(member, expected, v);
  try {
    return convert(v);
  } catch (const Failure&) {
    wrong_argument(member, expected, v);
  }
}

template <class I>
Ref<I> object_argument(const char* member, const char* expected, const GUID& iid,
                       const Variant& v) {
  IDispatch* object = v.object();
  void* found = nullptr;
  if (!object || object->QueryInterface(iid, &found) != S_OK || !found)
    wrong_argument(member, expected, v);
  return Ref<I>::adopt(static_cast<I*>(found));
}

// The value kinds of the member lists: how an argument becomes the typed value (`from`) and how
// a typed result becomes a Variant (`to`).
struct Kind_TEXT {
  using type = std::string;
  static std::string from(const Variant& v, const char* member) {
    return convert_argument(member, "un texto", v, [](const Variant& x) { return x.to_text(); });
  }
  static Variant to(const std::string& value) { return Variant(value); }
};

struct Kind_NUM {
  using type = double;
  static double from(const Variant& v, const char* member) {
    return convert_argument(member, "un número", v, [](const Variant& x) { return x.to_double(); });
  }
  static Variant to(double value) { return Variant(value); }
};

struct Kind_BOOL {
  using type = bool;
  static bool from(const Variant& v, const char* member) {
    return convert_argument(member, "un valor lógico", v,
                            [](const Variant& x) { return x.to_bool(); });
  }
  static Variant to(bool value) { return Variant(value); }
};

struct Kind_DATE {
  using type = Date;
  static Date from(const Variant& v, const char* member) {
    return convert_argument(member, "una fecha", v, [](const Variant& x) { return x.to_date(); });
  }
  static Variant to(Date value) { return Variant(value); }
};

template <class Record>
struct RecordKind {
  using type = Record;
  static const Record& from(const Variant& v, const char* member) {
    const Record* r = v.record_as<Record>();
    if (!r) wrong_argument(member, (std::string("un registro ") + Record::kTypeName).c_str(), v);
    return *r;
  }
  static Variant to(Record value) { return Variant::record(std::move(value)); }
};
struct Kind_ENCABEZADO : RecordKind<tCtEncabezado> {};
struct Kind_DETALLE : RecordKind<tCtDetalle> {};

template <class I>
struct ObjectKind {
  using type = Ref<I>;
  using pointer = I*;  // what the typed setter takes
  static Variant to(const Ref<I>& value) { return Variant(static_cast<IDispatch*>(value.get())); }
};
struct Kind_OBJ_ENCABEZADO : ObjectKind<_cCtEncabezado> {
  static Ref<_cCtEncabezado> from(const Variant& v, const char* member) {
    return object_argument<_cCtEncabezado>(member, "un objeto cCtEncabezado", IID__cCtEncabezado,
                                           v);
  }
};
struct Kind_OBJ_DETALLE : ObjectKind<_cCtDetalle> {
  static Ref<_cCtDetalle> from(const Variant& v, const char* member) {
    return object_argument<_cCtDetalle>(member, "un objeto cCtDetalle", IID__cCtDetalle, v);
  }
};

struct Kind_VOID {
  using type = void;
};

// A method: its folio arguments (text, by reference) are converted, passed to the member and
// written back into `args`; its result converted by its kind.
template <class ResultKind, int FolioCount, class Member>
Variant call_method(const char* member, std::vector<Variant>& args, Member&& call) {
  static_assert(FolioCount == 0 || FolioCount == 1);
  auto run = [&](auto&... folio) -> Variant {
    if constexpr (std::is_void_v<typename ResultKind::type>) {
      call(folio...);
      return Variant();
    } else {
      return ResultKind::to(call(folio...));
    }
  };
  if constexpr (FolioCount == 0) {
    return run();
  } else {
    std::string folio = Kind_TEXT::from(args[0], member);
    Variant result = run(folio);
    args[0] = Variant(folio);
    return result;
  }
}

// ---------------------------------------------------------------- _Cotizacion

_Cotizacion& quote(IDispatch& self) { return static_cast<_Cotizacion&>(self); }

// Whether a typed setter takes exactly the value of its listed kind (no silent conversion).
template <class K, class C, class A>
constexpr bool setter_takes(void (C::*)(A)) {
  if constexpr (requires { typename K::pointer; })
    return std::is_same_v<A, typename K::pointer>;
  else
    return std::is_same_v<std::remove_cvref_t<A>, typename K::type>;
}

#define QL_CHECK_PUT(name, K)                                     \
  static_assert(setter_takes<Kind_##K>(&_Cotizacion::put_##name), \
                "the setter of " #name " does not take its listed kind");
#define QL_CHECK_PUTREF(name, K)                                     \
  static_assert(setter_takes<Kind_##K>(&_Cotizacion::putref_##name), \
                "the setter of " #name " does not take its listed kind");
#define QL_CHECK_GET(name, K)                                                              \
  static_assert(                                                                           \
      std::is_same_v<decltype(std::declval<_Cotizacion&>().get_##name()), Kind_##K::type>, \
      "the getter of " #name " does not return its listed kind");
#define QL_CHECK_CALL(name, R, folios)
QL_COTIZACION_MEMBERS(QL_CHECK_PUT, QL_CHECK_GET, QL_CHECK_PUTREF, QL_CHECK_CALL)
#undef QL_CHECK_PUT
#undef QL_CHECK_PUTREF
#undef QL_CHECK_GET
#undef QL_CHECK_CALL

#define QL_QUOTE_PUT(name, K)                                                           \
  {#name, InvokeKind::PropertyPut, 1, [](IDispatch& self, std::vector<Variant>& args) { \
     quote(self).put_##name(Kind_##K::from(args[0], #name));                            \
     return Variant();                                                                  \
   }},
#define QL_QUOTE_PUTREF(name, K)                                                           \
  {#name, InvokeKind::PropertyPutRef, 1, [](IDispatch& self, std::vector<Variant>& args) { \
     quote(self).putref_##name(Kind_##K::from(args[0], #name).get());                      \
     return Variant();                                                                     \
   }},
#define QL_QUOTE_GET(name, K)         \
  {#name, InvokeKind::PropertyGet, 0, \
   [](IDispatch& self, std::vector<Variant>&) { return Kind_##K::to(quote(self).get_##name()); }},
#define QL_QUOTE_CALL(name, R, folios)                                                  \
  {#name, InvokeKind::Method, folios, [](IDispatch& self, std::vector<Variant>& args) { \
     return call_method<Kind_##R, folios>(                                              \
         #name, args, [&](auto&... folio) { return quote(self).name(folio...); });      \
   }},

// ---------------------------------------------------------------- property classes

#define QL_PROPERTY_ENTRIES(Interface, name, K)                                        \
  {#name, InvokeKind::PropertyPut, 1,                                                  \
   [](IDispatch& self, std::vector<Variant>& args) {                                   \
     static_cast<Interface&>(self).put_##name(Kind_##K::from(args[0], #name));         \
     return Variant();                                                                 \
   }},                                                                                 \
      {#name, InvokeKind::PropertyGet, 0, [](IDispatch& self, std::vector<Variant>&) { \
         return Kind_##K::to(static_cast<Interface&>(self).get_##name());              \
       }},
#define QL_ENCABEZADO_ENTRIES(name, K, T) QL_PROPERTY_ENTRIES(_cCtEncabezado, name, K)
#define QL_DETALLE_ENTRIES(name, K, T) QL_PROPERTY_ENTRIES(_cCtDetalle, name, K)

#define QL_CHECK_PROPERTY(name, K, T)                                     \
  static_assert(std::is_same_v<Kind_##K::type, T>, "the kind of " #name   \
                                                   " disagrees with its " \
                                                   "type");
QL_CCTENCABEZADO_PROPERTIES(QL_CHECK_PROPERTY)
QL_CCTDETALLE_PROPERTIES(QL_CHECK_PROPERTY)
#undef QL_CHECK_PROPERTY

}  // namespace

const DispatchTable& Cotizacion::dispatch_table() {
  static const DispatchTable table = {
      QL_COTIZACION_MEMBERS(QL_QUOTE_PUT, QL_QUOTE_GET, QL_QUOTE_PUTREF, QL_QUOTE_CALL)};
  return table;
}

const DispatchTable& cCtEncabezado::dispatch_table() {
  static const DispatchTable table = {QL_CCTENCABEZADO_PROPERTIES(QL_ENCABEZADO_ENTRIES)};
  return table;
}

const DispatchTable& cCtDetalle::dispatch_table() {
  static const DispatchTable table = {QL_CCTDETALLE_PROPERTIES(QL_DETALLE_ENTRIES)};
  return table;
}

}  // namespace quorlane
