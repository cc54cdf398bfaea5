#include <strings.h>

#include <atomic>
#include <cstdio>
#include <cstring>

#include "frame/object.h"
#include "quorlane/interfaces.h"

namespace quorlane {

// The identifiers of the type library, the classes and the interfaces. Fixed for good.
const GUID LIBID_Quorlane = {
    0x5C1E0A41, 0x7B2D, 0x4E8A, {0x9F, 0x3C, 0x21, 0x6D, 0x80, 0x4B, 0x1A, 0x01}};
const GUID CLSID_Cotizacion = {
    0x5C1E0A42, 0x7B2D, 0x4E8A, {0x9F, 0x3C, 0x21, 0x6D, 0x80, 0x4B, 0x1A, 0x02}};
const GUID CLSID_cCtEncabezado = {
    0x5C1E0A43, 0x7B2D, 0x4E8A, {0x9F, 0x3C, 0x21, 0x6D, 0x80, 0x4B, 0x1A, 0x03}};
const GUID CLSID_cCtDetalle = {
    0x5C1E0A44, 0x7B2D, 0x4E8A, {0x9F, 0x3C, 0x21, 0x6D, 0x80, 0x4B, 0x1A, 0x04}};
const GUID IID__Cotizacion = {
    0x5C1E0A52, 0x7B2D, 0x4E8A, {0x9F, 0x3C, 0x21, 0x6D, 0x80, 0x4B, 0x1A, 0x12}};
const GUID IID__cCtEncabezado = {
    0x5C1E0A53, 0x7B2D, 0x4E8A, {0x9F, 0x3C, 0x21, 0x6D, 0x80, 0x4B, 0x1A, 0x13}};
const GUID IID__cCtDetalle = {
    0x5C1E0A54, 0x7B2D, 0x4E8A, {0x9F, 0x3C, 0x21, 0x6D, 0x80, 0x4B, 0x1A, 0x14}};
// The object runtime's own, with their well-known values.
const GUID IID_IUnknown = {
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const GUID IID_IDispatch = {
    0x00020400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const GUID IID_IClassFactory = {
    0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

const GUID& iid_dispatch_ref() { return IID_IDispatch; }
const GUID& iid_unknown_ref() { return IID_IUnknown; }

bool operator==(const GUID& a, const GUID& b) {
  if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
  for (int i = 0; i < 8; ++i)
    if (a.Data4[i] != b.Data4[i]) return false;
  return true;
}

std::string guid_text(const GUID& g) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1,
                g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4],
                g.Data4[5], g.Data4[6], g.Data4[7]);
  return buf;
}

namespace {
std::atomic<long> g_live_objects{0};
}

long live_object_count() { return g_live_objects.load(); }
void object_created() { ++g_live_objects; }
void object_destroyed() { --g_live_objects; }

// ---------------------------------------------------------------- late binding

namespace {
// The distinct member names in table order; a name's id is its place in this list, from 1.
std::vector<const char*> member_names(const DispatchTable& table) {
  std::vector<const char*> names;
  for (const DispatchMember& m : table) {
    bool known = false;
    for (const char* n : names) known = known || strcmp(n, m.name) == 0;
    if (!known) names.push_back(m.name);
  }
  return names;
}

const char* name_of(const DispatchTable& table, int32_t dispid) {
  std::vector<const char*> names = member_names(table);
  if (dispid < 1 || static_cast<size_t>(dispid) > names.size()) return nullptr;
  return names[static_cast<size_t>(dispid - 1)];
}
}  // namespace

HRESULT dispatch_ids_of_names(const DispatchTable& table, const std::string& name,
                              int32_t* dispid) {
  if (!dispid) return E_POINTER;
  std::vector<const char*> names = member_names(table);
  for (size_t i = 0; i < names.size(); ++i) {
    if (strcasecmp(names[i], name.c_str()) == 0) {
      *dispid = static_cast<int32_t>(i + 1);
      return S_OK;
    }
  }
  *dispid = -1;
  return DISP_E_UNKNOWNNAME;
}

HRESULT dispatch_invoke(const DispatchTable& table, IDispatch& self, int32_t dispid,
                        InvokeKind kind, std::vector<Variant>& args, Variant* result,
                        std::string* error) {
  const char* name = name_of(table, dispid);
  auto say = [&](const std::string& what) {
    if (error) *error = what;
  };
  if (!name) {
    say("No existe el miembro con id " + std::to_string(dispid));
    return DISP_E_MEMBERNOTFOUND;
  }
  // A method call of a property getter, and a property get of a method without arguments, are
  // the same call to a late-bound client.
  const DispatchMember* found = nullptr;
  for (const DispatchMember& m : table) {
    if (strcmp(m.name, name) != 0) continue;
    bool same = m.kind == kind ||
                (kind == InvokeKind::Method && m.kind == InvokeKind::PropertyGet) ||
                (kind == InvokeKind::PropertyGet && m.kind == InvokeKind::Method);
    if (same) {
      found = &m;
      break;
    }
  }
  if (!found) {
    say(std::string("El miembro ") + name + " no admite esa forma de llamada");
    return DISP_E_MEMBERNOTFOUND;
  }
  if (static_cast<int>(args.size()) != found->arg_count) {
    say(std::string("El miembro ") + name + " espera " + std::to_string(found->arg_count) +
        " argumento(s) y recibió " + std::to_string(args.size()));
    return DISP_E_BADPARAMCOUNT;
  }
  try {
    Variant r = found->call(self, args);
    if (result) *result = std::move(r);
    return S_OK;
  } catch (const ArgumentError& e) {
    say(e.what());
    return DISP_E_TYPEMISMATCH;
  } catch (const std::exception& e) {
    say(e.what());
    return DISP_E_EXCEPTION;
  } catch (...) {
    say("Error desconocido");
    return DISP_E_EXCEPTION;
  }
}

}  // namespace quorlane
