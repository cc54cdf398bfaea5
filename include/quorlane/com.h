// The object runtime: identifiers, reference-counted interfaces, late binding and class
// factories, in the shape of an in-process object server.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "quorlane/variant.h"

namespace quorlane {

using HRESULT = int32_t;
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
inline constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
inline constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110u);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = static_cast<HRESULT>(0x80040111u);
inline constexpr HRESULT DISP_E_MEMBERNOTFOUND = static_cast<HRESULT>(0x80020003u);
inline constexpr HRESULT DISP_E_UNKNOWNNAME = static_cast<HRESULT>(0x80020006u);
inline constexpr HRESULT DISP_E_TYPEMISMATCH = static_cast<HRESULT>(0x80020005u);
inline constexpr HRESULT DISP_E_BADPARAMCOUNT = static_cast<HRESULT>(0x8002000Eu);
inline constexpr HRESULT DISP_E_EXCEPTION = static_cast<HRESULT>(0x80020009u);
inline constexpr HRESULT SELFREG_E_CLASS = static_cast<HRESULT>(0x80040201u);

struct GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
  friend bool operator==(const GUID& a, const GUID& b);
};
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper-case hex.
std::string guid_text(const GUID& g);

// The base of every interface: identity and lifetime.
class IUnknown {
 public:
  virtual HRESULT QueryInterface(const GUID& iid, void** out) = 0;
  virtual uint32_t AddRef() = 0;
  virtual uint32_t Release() = 0;

 protected:
  virtual ~IUnknown() = default;
};

// How a late-bound member is invoked; the values of the dispatch flags.
enum class InvokeKind : uint16_t {
  Method = 1,
  PropertyGet = 2,
  PropertyPut = 4,
  PropertyPutRef = 8
};

// Late binding: every member is callable by name with Variant arguments.
class IDispatch : public IUnknown {
 public:
  // The member id of a name (compared without regard to letter case), or DISP_E_UNKNOWNNAME.
  virtual HRESULT GetIDsOfNames(const std::string& name, int32_t* dispid) = 0;
  // Calls a member. Arguments by position; a property put takes its value as the last one.
  // Arguments passed by reference are written back into `args`. A failure of the member gives
  // DISP_E_EXCEPTION with its description in `*error`; a wrong name, kind or argument gives the
  // matching DISP_E_ code and a description of what is wrong. Nothing is thrown.
  virtual HRESULT Invoke(int32_t dispid, InvokeKind kind, std::vector<Variant>& args,
                         Variant* result, std::string* error) = 0;
};

class IClassFactory : public IUnknown {
 public:
  virtual HRESULT CreateInstance(IUnknown* outer, const GUID& iid, void** out) = 0;
  virtual HRESULT LockServer(bool lock) = 0;
};

// An owning reference to an interface (AddRef on copy, Release on destruction).
template <class T>
class Ref {
 public:
  Ref() = default;
  Ref(T* p) : p_(p) {  // NOLINT: takes a new reference
    if (p_) p_->AddRef();
  }
  static Ref adopt(T* p) {
    Ref r;
    r.p_ = p;
    return r;
  }
  Ref(const Ref& o) : Ref(o.p_) {}
  Ref(Ref&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
  template <class U>
  Ref(const Ref<U>& o) : Ref(static_cast<T*>(o.get())) {}
  Ref& operator=(Ref o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }
  ~Ref() {
    if (p_) p_->Release();
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  T& operator*() const { return *p_; }
  explicit operator bool() const { return p_ != nullptr; }
  T* detach() {
    T* p = p_;
    p_ = nullptr;
    return p;
  }
  friend bool operator==(const Ref& a, const Ref& b) { return a.p_ == b.p_; }

 private:
  T* p_ = nullptr;
};

// Objects of the component alive in this process; the library may be unloaded at 0.
long live_object_count();
void object_created();
void object_destroyed();

// The registry file that DllRegisterServer and DllUnregisterServer update: the path a program
// sets here, else the environment variable QUORLANE_REGISTRY, else ~/.config/quorlane/registry.
// An empty path forgets the one set before.
void set_registry_path(const std::string& path);
std::string registry_path();

}  // namespace quorlane
