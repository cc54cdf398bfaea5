// The in-process object server: creation of the three classes, their class factories, and the
// four entry points through which a client that loads the library finds, creates and registers
// them.
//
// The registry is a text file in the layout of the platform's registry exports: a key in
// brackets, then its values, `@` naming the default value:
//
//   [HKEY_CLASSES_ROOT\CLSID\{5C1E0A42-7B2D-4E8A-9F3C-216D804B1A02}\InprocServer32]
//   @="/usr/lib/libquorlane.so.1"
//   "ThreadingModel"="Apartment"
//
// Registration replaces the component's own keys and leaves every other key of the file, and
// every line outside the component's keys, as it found them.
#include <dlfcn.h>
#include <pwd.h>
#include <strings.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "model/cotizacion.h"
#include "model/properties.h"
#include "quorlane/interfaces.h"

namespace quorlane {

Ref<_Cotizacion> create_Cotizacion() { return Cotizacion::create(); }
Ref<_cCtEncabezado> create_cCtEncabezado() { return cCtEncabezado::create(); }
Ref<_cCtDetalle> create_cCtDetalle() { return cCtDetalle::create(); }

namespace {

// ---------------------------------------------------------------- class factories

std::atomic<long> g_server_locks{0};

// The factories live as long as the library; like the objects of the platform's own class
// factories, they hold no lock on it (a client that wants the library kept calls LockServer).
class ClassFactory final : public IClassFactory {
 public:
  using Create = Ref<IUnknown> (*)();
  explicit ClassFactory(Create create) : create_(create) {}

  HRESULT QueryInterface(const GUID& iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
      *out = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  uint32_t AddRef() override { return 2; }
  uint32_t Release() override { return 1; }

  // A failure of start-up or of the creation becomes E_FAIL; nothing is thrown to the client.
  HRESULT CreateInstance(IUnknown* outer, const GUID& iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    try {
      Ref<IUnknown> object = create_();
      return object->QueryInterface(iid, out);
    } catch (...) {
      return E_FAIL;
    }
  }

  HRESULT LockServer(bool lock) override {
    if (lock) {
      ++g_server_locks;
    } else {
      long held = g_server_locks.load();
      while (held > 0 && !g_server_locks.compare_exchange_weak(held, held - 1)) {
      }
    }
    return S_OK;
  }

 private:
  Create create_;
};

template <class I, Ref<I> (*Create)()>
Ref<IUnknown> create_as_unknown() {
  return Ref<IUnknown>(Create());
}

ClassFactory g_cotizacion_factory(&create_as_unknown<_Cotizacion, &create_Cotizacion>);
ClassFactory g_encabezado_factory(&create_as_unknown<_cCtEncabezado, &create_cCtEncabezado>);
ClassFactory g_detalle_factory(&create_as_unknown<_cCtDetalle, &create_cCtDetalle>);

// What the server knows of each class: for the factories and for the registry.
struct ClassEntry {
  const GUID* clsid;
  const char* prog_id;
  const GUID* iid;
  const char* interface_name;
  ClassFactory* factory;
};

const ClassEntry kClasses[] = {
    {&CLSID_Cotizacion, "Quorlane.Cotizacion", &IID__Cotizacion, "_Cotizacion",
     &g_cotizacion_factory},
    {&CLSID_cCtEncabezado, "Quorlane.cCtEncabezado", &IID__cCtEncabezado, "_cCtEncabezado",
     &g_encabezado_factory},
    {&CLSID_cCtDetalle, "Quorlane.cCtDetalle", &IID__cCtDetalle, "_cCtDetalle", &g_detalle_factory},
};

// ---------------------------------------------------------------- registry file

constexpr const char* kRoot = "HKEY_CLASSES_ROOT\\";
constexpr const char* kTypeLibraryName = "Quorlane";
constexpr const char* kThreadingModel = "Apartment";
// The marshaler of dual interfaces described by a type library.
constexpr const char* kDualProxyStub = "{00020424-0000-0000-C000-000000000046}";

std::mutex g_registry_mutex;
std::string g_registry_path;  // set by the program; empty when not set

struct RegistryKey {
  std::string path;
  std::vector<std::pair<std::string, std::string>> values;  // "@" is the default value
};

std::string version_text() {
  return std::to_string(kTypeLibraryMajor) + "." + std::to_string(kTypeLibraryMinor);
}

// The keys that registration writes, in the order it writes them.
std::vector<RegistryKey> component_keys(const std::string& library_path) {
  const std::string libid = guid_text(LIBID_Quorlane);
  const std::string version = version_text();
  std::vector<RegistryKey> keys;
  for (const ClassEntry& c : kClasses) {
    const std::string clsid = guid_text(*c.clsid);
    const std::string key = std::string(kRoot) + "CLSID\\" + clsid;
    keys.push_back({key, {{"@", c.prog_id}}});
    keys.push_back(
        {key + "\\InprocServer32", {{"@", library_path}, {"ThreadingModel", kThreadingModel}}});
    keys.push_back({key + "\\ProgID", {{"@", c.prog_id}}});
    keys.push_back({key + "\\TypeLib", {{"@", libid}}});
    keys.push_back({key + "\\VERSION", {{"@", version}}});
    keys.push_back({std::string(kRoot) + c.prog_id, {{"@", c.prog_id}}});
    keys.push_back({std::string(kRoot) + c.prog_id + "\\CLSID", {{"@", clsid}}});
  }
  const std::string typelib = std::string(kRoot) + "TypeLib\\" + libid + "\\" + version;
  keys.push_back({typelib, {{"@", kTypeLibraryName}}});
  keys.push_back({typelib + "\\0\\linux", {{"@", library_path}}});
  keys.push_back({typelib + "\\FLAGS", {{"@", "0"}}});
  keys.push_back(
      {typelib + "\\HELPDIR", {{"@", std::filesystem::path(library_path).parent_path().string()}}});
  for (const ClassEntry& c : kClasses) {
    const std::string key = std::string(kRoot) + "Interface\\" + guid_text(*c.iid);
    keys.push_back({key, {{"@", c.interface_name}}});
    keys.push_back({key + "\\ProxyStubClsid32", {{"@", kDualProxyStub}}});
    keys.push_back({key + "\\TypeLib", {{"@", libid}, {"Version", version}}});
  }
  return keys;
}

std::string quoted_value(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string key_text(const RegistryKey& key) {
  std::string text = "[" + key.path + "]\n";
  for (const auto& [name, value] : key.values)
    text +=
        (name == "@" ? std::string("@") : quoted_value(name)) + "=" + quoted_value(value) + "\n";
  return text + "\n";
}

// The file as the text before its first key and one block per key (its bracketed line and
// every line up to the next key), each kept verbatim.
struct RegistryFile {
  std::string preamble;
  std::vector<std::pair<std::string, std::string>> blocks;  // key path, block text
};

bool key_line(const std::string& line, std::string& path) {
  size_t first = line.find_first_not_of(" \t");
  size_t last = line.find_last_not_of(" \t\r");
  if (first == std::string::npos || line[first] != '[' || line[last] != ']') return false;
  path = line.substr(first + 1, last - first - 1);
  return true;
}

RegistryFile read_registry(const std::filesystem::path& file) {
  RegistryFile registry;
  if (!std::filesystem::exists(file)) return registry;
  std::ifstream in(file, std::ios::binary);
  if (!std::filesystem::is_regular_file(file) || !in)
    throw Failure("No se pudo leer el registro " + file.string());
  std::string line;
  while (std::getline(in, line)) {
    bool complete = !in.eof();
    std::string text = line + (complete ? "\n" : "");
    std::string path;
    if (key_line(line, path))
      registry.blocks.emplace_back(path, text);
    else if (registry.blocks.empty())
      registry.preamble += text;
    else
      registry.blocks.back().second += text;
  }
  return registry;
}

void write_registry(const std::filesystem::path& file, const std::string& text) {
  if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path());
  std::filesystem::path temporary = file;
  temporary += ".tmp" + std::to_string(getpid());
  bool written;
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    written = !out.fail();
  }
  std::error_code failed;
  if (written) std::filesystem::rename(temporary, file, failed);
  if (!written || failed) {
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    throw Failure("No se pudo escribir el registro " + file.string());
  }
}

// Registry keys are named without regard to letter case.
bool is_component_key(const std::string& path, const std::vector<RegistryKey>& ours) {
  for (const RegistryKey& k : ours)
    if (strcasecmp(k.path.c_str(), path.c_str()) == 0) return true;
  return false;
}

// Rewrites the registry without the component's keys, then with `added` appended.
void rewrite_registry(const std::vector<RegistryKey>& ours, const std::vector<RegistryKey>& added) {
  const std::filesystem::path file = registry_path();
  std::lock_guard<std::mutex> lock(g_registry_mutex);
  RegistryFile registry = read_registry(file);
  std::string text = registry.preamble;
  for (const auto& [path, block] : registry.blocks)
    if (!is_component_key(path, ours)) text += block;
  if (!added.empty() && !text.empty()) {
    if (text.back() != '\n') text += '\n';
    if (text.size() >= 2 && text[text.size() - 2] != '\n') text += '\n';
  }
  for (const RegistryKey& key : added) text += key_text(key);
  if (!std::filesystem::exists(file) && text.empty()) return;
  write_registry(file, text);
}

// The path of the library that holds this code, as the loader found it.
std::string library_path() {
  Dl_info info{};
  if (!dladdr(reinterpret_cast<void*>(&DllRegisterServer), &info) || !info.dli_fname)
    throw Failure("No se encontró la ruta de la biblioteca");
  return std::filesystem::absolute(info.dli_fname).lexically_normal().string();
}

std::string home_directory() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return ".";
}

}  // namespace

void set_registry_path(const std::string& path) {
  std::lock_guard<std::mutex> lock(g_registry_mutex);
  g_registry_path = path;
}

std::string registry_path() {
  {
    std::lock_guard<std::mutex> lock(g_registry_mutex);
    if (!g_registry_path.empty()) return g_registry_path;
  }
  if (const char* env = std::getenv("QUORLANE_REGISTRY"); env && *env) return env;
  return home_directory() + "/.config/quorlane/registry";
}

}  // namespace quorlane

// ---------------------------------------------------------------- entry points

using quorlane::HRESULT;

extern "C" {

HRESULT DllGetClassObject(const quorlane::GUID& clsid, const quorlane::GUID& iid, void** out) {
  if (!out) return quorlane::E_POINTER;
  *out = nullptr;
  try {
    for (const quorlane::ClassEntry& c : quorlane::kClasses)
      if (*c.clsid == clsid) return c.factory->QueryInterface(iid, out);
    return quorlane::CLASS_E_CLASSNOTAVAILABLE;
  } catch (...) {
    return quorlane::E_FAIL;
  }
}

HRESULT DllCanUnloadNow() {
  return quorlane::live_object_count() == 0 && quorlane::g_server_locks.load() == 0
             ? quorlane::S_OK
             : quorlane::S_FALSE;
}

HRESULT DllRegisterServer() {
  try {
    std::vector<quorlane::RegistryKey> keys = quorlane::component_keys(quorlane::library_path());
    quorlane::rewrite_registry(keys, keys);
    return quorlane::S_OK;
  } catch (...) {
    return quorlane::SELFREG_E_CLASS;
  }
}

HRESULT DllUnregisterServer() {
  try {
    // Only the names of the keys matter here, not the path written into them.
    quorlane::rewrite_registry(quorlane::component_keys(""), {});
    return quorlane::S_OK;
  } catch (...) {
    return quorlane::SELFREG_E_CLASS;
  }
}

}  // extern "C"
