// The in-process server's entry points, used as a client uses them: through dlopen and dlsym.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "quorlane/interfaces.h"
#include "support/host_test.h"
#include "support/temp_dir.h"

namespace quorlane::test {
namespace {

namespace fs = std::filesystem;

using GetClassObjectFn = HRESULT (*)(const GUID&, const GUID&, void**);
using NoArgumentFn = HRESULT (*)();

// The library loaded as a client loads it, with its four entry points.
struct LoadedLibrary {
  template <class F>
  F entry(const char* name) {
    return handle ? reinterpret_cast<F>(dlsym(handle, name)) : nullptr;
  }
  ~LoadedLibrary() {
    if (handle) dlclose(handle);
  }
  bool complete() const {
    return get_class_object && can_unload_now && register_server && unregister_server;
  }
  void* handle = dlopen(QUORLANE_LIBRARY_PATH, RTLD_NOW);
  GetClassObjectFn get_class_object = entry<GetClassObjectFn>("DllGetClassObject");
  NoArgumentFn can_unload_now = entry<NoArgumentFn>("DllCanUnloadNow");
  NoArgumentFn register_server = entry<NoArgumentFn>("DllRegisterServer");
  NoArgumentFn unregister_server = entry<NoArgumentFn>("DllUnregisterServer");
};

class Server : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    ASSERT_TRUE(lib.complete()) << dlerror();
    ASSERT_EQ(lib.can_unload_now(), S_OK) << "objects left alive by an earlier test";
  }
  IClassFactory* factory_of(const GUID& clsid) {
    void* p = nullptr;
    EXPECT_EQ(lib.get_class_object(clsid, IID_IClassFactory, &p), S_OK);
    return static_cast<IClassFactory*>(p);
  }
  LoadedLibrary lib;
};

// Sets a text property by name through IDispatch and reads it back by name through the dual
// interface the same object gives.
std::string let_and_read_back(IDispatch& object, const GUID& iid, const std::string& member) {
  void* typed = nullptr;
  int32_t id = 0;
  std::vector<Variant> args{Variant("CT-000123")}, none;
  Variant value;
  std::string error;
  if (object.QueryInterface(iid, &typed) != S_OK || object.GetIDsOfNames(member, &id) != S_OK ||
      object.Invoke(id, InvokeKind::PropertyPut, args, nullptr, &error) != S_OK)
    return "(refused) " + error;
  IDispatch* dual = static_cast<IDispatch*>(typed);
  dual->Invoke(id, InvokeKind::PropertyGet, none, &value, &error);
  dual->Release();
  return value.to_text();
}

TEST_F(Server, EachFactoryCreatesItsClassRefusesWhatItCannotGiveAndLocksTheLibrary) {
  const std::tuple<const GUID*, const GUID*, const char*> classes[] = {
      {&CLSID_Cotizacion, &IID__Cotizacion, "Folio"},
      {&CLSID_cCtEncabezado, &IID__cCtEncabezado, "Ct_Folio"},
      {&CLSID_cCtDetalle, &IID__cCtDetalle, "Ct_ID"}};
  for (const auto& [clsid, iid, member] : classes) {
    SCOPED_TRACE(guid_text(*clsid));
    IClassFactory* factory = factory_of(*clsid);
    ASSERT_NE(factory, nullptr);
    void* p = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, &p), S_OK);
    EXPECT_EQ(lib.can_unload_now(), S_FALSE);
    EXPECT_EQ(let_and_read_back(*static_cast<IDispatch*>(p), *iid, member), "CT-000123");
    static_cast<IUnknown*>(p)->Release();
    EXPECT_EQ(lib.can_unload_now(), S_OK);

    // Another class's interface is refused and nothing stays alive.
    const GUID& wrong = *iid == IID__cCtDetalle ? IID__Cotizacion : IID__cCtDetalle;
    p = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(nullptr, wrong, &p), E_NOINTERFACE);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(factory->CreateInstance(factory, *iid, &p), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(factory->LockServer(true), S_OK);
    EXPECT_EQ(lib.can_unload_now(), S_FALSE);
    EXPECT_EQ(factory->LockServer(false), S_OK);
    factory->Release();
    EXPECT_EQ(lib.can_unload_now(), S_OK);
  }
  void* p = nullptr;
  EXPECT_EQ(lib.get_class_object(IID__Cotizacion, IID_IClassFactory, &p),
            CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(lib.get_class_object(CLSID_Cotizacion, IID_IDispatch, &p), E_NOINTERFACE);
  EXPECT_EQ(p, nullptr);
}

TEST_F(Server, AFailingStartUpGivesAnErrorResultNotAnException) {
  boundary->fail("cSistema", "Servidor_Actual", 1, "Servidor no disponible");
  IClassFactory* factory = factory_of(CLSID_Cotizacion);
  ASSERT_NE(factory, nullptr);
  void* p = reinterpret_cast<void*>(1);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, &p), E_FAIL);
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(lib.can_unload_now(), S_OK);
  // Start-up runs again on the next creation, which now succeeds.
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, &p), S_OK);
  static_cast<IUnknown*>(p)->Release();
  factory->Release();
}

// ---------------------------------------------------------------- registration

// Reads a registry text file: key -> value name ("@" for the default) -> value.
std::map<std::string, std::map<std::string, std::string>> parse_registry(const std::string& text) {
  std::map<std::string, std::map<std::string, std::string>> keys;
  const std::regex key_line(R"(^\[(.*)\]$)"), value_line(R"re(^"?([^"]*?)"?="(.*)"$)re");
  std::istringstream in(text);
  std::smatch m;
  std::string key;
  for (std::string line; std::getline(in, line);) {
    if (std::regex_match(line, m, key_line))
      keys[key = m[1]];
    else if (std::regex_match(line, m, value_line))
      keys[key][m[1]] = m[2];
  }
  return keys;
}

std::string read_text(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

const char* const kForeign =
    "; Registro de otros componentes\n"
    "[HKEY_CLASSES_ROOT\\CLSID\\{0A0A0A0A-0000-0000-0000-000000000001}]\n"
    "@=\"Otro.Componente\"\n"
    "\n"
    "[HKEY_CLASSES_ROOT\\CLSID\\{0A0A0A0A-0000-0000-0000-000000000001}\\InprocServer32]\n"
    "@=\"/opt/otro/libotro.so\"\n"
    "\"ThreadingModel\"=\"Both\"\n"
    "\n"
    "[HKEY_CLASSES_ROOT\\TypeLib\\{5C1E0A41-7B2D-4E8A-9F3C-216D804B1A01}\\1.1]\n"
    "@=\"Quorlane\"\n"
    "\n";

class Registration : public Server {
 protected:
  void TearDown() override {
    set_registry_path("");
    Server::TearDown();
  }
  TempDir temp;
  fs::path dir = fs::path(temp.file("x")).parent_path();
  fs::path file = dir / "config" / "quorlane" / "registry";
};

TEST_F(Registration, WritesTheClassesTypeLibraryAndInterfacesAndKeepsForeignKeys) {
  set_registry_path(file.string());
  // Without a file unregistering writes nothing; registering makes the file and its folders.
  ASSERT_EQ(lib.unregister_server(), S_OK);
  EXPECT_FALSE(fs::exists(file));
  ASSERT_EQ(lib.register_server(), S_OK);
  EXPECT_EQ(parse_registry(read_text(file)).size(),
            34u);  // 7 a class, 4 the library, 3 an interface
  ASSERT_EQ(lib.unregister_server(), S_OK);
  EXPECT_EQ(read_text(file), "");

  std::ofstream(file, std::ios::binary) << kForeign;

  ASSERT_EQ(lib.register_server(), S_OK);
  const std::string registered = read_text(file);
  auto keys = parse_registry(registered);
  const std::string root = "HKEY_CLASSES_ROOT\\";
  const std::string libid = "{5C1E0A41-7B2D-4E8A-9F3C-216D804B1A01}";
  const struct {
    const char* clsid;
    const char* prog_id;
    const char* iid;
    const char* interface_name;
  } classes[] = {
      {"{5C1E0A42-7B2D-4E8A-9F3C-216D804B1A02}", "Quorlane.Cotizacion",
       "{5C1E0A52-7B2D-4E8A-9F3C-216D804B1A12}", "_Cotizacion"},
      {"{5C1E0A43-7B2D-4E8A-9F3C-216D804B1A03}", "Quorlane.cCtEncabezado",
       "{5C1E0A53-7B2D-4E8A-9F3C-216D804B1A13}", "_cCtEncabezado"},
      {"{5C1E0A44-7B2D-4E8A-9F3C-216D804B1A04}", "Quorlane.cCtDetalle",
       "{5C1E0A54-7B2D-4E8A-9F3C-216D804B1A14}", "_cCtDetalle"},
  };
  for (const auto& c : classes) {
    SCOPED_TRACE(c.prog_id);
    const std::string clsid_key = root + "CLSID\\" + c.clsid;
    EXPECT_EQ(keys[clsid_key]["@"], c.prog_id);
    EXPECT_EQ(keys[clsid_key + "\\ProgID"]["@"], c.prog_id);
    EXPECT_EQ(keys[clsid_key + "\\TypeLib"]["@"], libid);
    const std::string server = keys[clsid_key + "\\InprocServer32"]["@"];
    EXPECT_TRUE(fs::path(server).is_absolute()) << server;
    EXPECT_TRUE(fs::exists(server) && fs::equivalent(server, QUORLANE_LIBRARY_PATH)) << server;
    EXPECT_EQ(keys[clsid_key + "\\InprocServer32"]["ThreadingModel"], "Apartment");
    EXPECT_EQ(keys[root + c.prog_id + "\\CLSID"]["@"], c.clsid);
    const std::string interface_key = root + "Interface\\" + c.iid;
    EXPECT_EQ(keys[interface_key]["@"], c.interface_name);
    EXPECT_EQ(keys[interface_key + "\\TypeLib"]["@"], libid);
    EXPECT_EQ(keys[interface_key + "\\TypeLib"]["Version"], "1.2");
  }
  const std::string typelib = root + "TypeLib\\" + libid + "\\1.2";
  EXPECT_EQ(keys[typelib]["@"], "Quorlane");
  EXPECT_TRUE(fs::equivalent(keys[typelib + "\\0\\linux"]["@"], QUORLANE_LIBRARY_PATH));
  // The foreign keys, and the older type library version, are still there as they were.
  EXPECT_EQ(registered.substr(0, std::string(kForeign).size()), kForeign);

  // Registering again replaces the component's keys instead of adding them twice.
  ASSERT_EQ(lib.register_server(), S_OK);
  EXPECT_EQ(read_text(file), registered);

  ASSERT_EQ(lib.unregister_server(), S_OK);
  EXPECT_EQ(read_text(file), kForeign);
  ASSERT_EQ(lib.unregister_server(), S_OK);
  EXPECT_EQ(read_text(file), kForeign);

  // A folder in the file's place is an error of both.
  fs::remove(file);
  fs::create_directories(file);
  EXPECT_EQ(lib.register_server(), SELFREG_E_CLASS);
  EXPECT_EQ(lib.unregister_server(), SELFREG_E_CLASS);
}

TEST_F(Registration, LocationIsTheProgramsPathElseTheEnvironmentElseTheUsersConfig) {
  const char* old_env = getenv("QUORLANE_REGISTRY");
  const std::string saved_env = old_env ? old_env : "";
  const char* old_home = getenv("HOME");
  const std::string saved_home = old_home ? old_home : "";

  unsetenv("QUORLANE_REGISTRY");
  setenv("HOME", dir.c_str(), 1);
  EXPECT_EQ(registry_path(), (dir / ".config/quorlane/registry").string());
  setenv("QUORLANE_REGISTRY", (dir / "env_registry").c_str(), 1);
  EXPECT_EQ(registry_path(), (dir / "env_registry").string());
  set_registry_path((dir / "program_registry").string());
  EXPECT_EQ(registry_path(), (dir / "program_registry").string());
  set_registry_path("");
  EXPECT_EQ(registry_path(), (dir / "env_registry").string());
  ASSERT_EQ(lib.register_server(), S_OK);
  EXPECT_TRUE(fs::exists(dir / "env_registry"));

  if (old_env)
    setenv("QUORLANE_REGISTRY", saved_env.c_str(), 1);
  else
    unsetenv("QUORLANE_REGISTRY");
  if (old_home) setenv("HOME", saved_home.c_str(), 1);
}

}  // namespace
}  // namespace quorlane::test
