// The object runtime's implementation side: reference counting, interface look-up and the
// late-bound dispatch table that each class derives from its member list.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "quorlane/com.h"

namespace quorlane {

// One late-bound member: its name, how it is invoked, how many arguments it takes (a put
// counts its value) and the call itself, which throws Failure for a failure that reaches the
// client and RequestError for arguments of the wrong kind.
struct DispatchMember {
  const char* name;
  InvokeKind kind;
  int arg_count;
  std::function<Variant(IDispatch& self, std::vector<Variant>& args)> call;
};
using DispatchTable = std::vector<DispatchMember>;

// Arguments that cannot be given to a member (wrong kind or count): DISP_E_TYPEMISMATCH.
class ArgumentError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Member ids: members sharing a name share an id, numbered from 1 in table order.
HRESULT dispatch_ids_of_names(const DispatchTable& table, const std::string& name, int32_t* dispid);
HRESULT dispatch_invoke(const DispatchTable& table, IDispatch& self, int32_t dispid,
                        InvokeKind kind, std::vector<Variant>& args, Variant* result,
                        std::string* error);

// Implements IUnknown and IDispatch for a class with one dual interface. `Derived` provides
// `static const DispatchTable& dispatch_table()` and `static const GUID& interface_id()`.
template <class Derived, class Interface>
class ComObject : public Interface {
 public:
  HRESULT QueryInterface(const GUID& iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == Derived::interface_id() || iid == iid_dispatch() || iid == iid_unknown()) {
      *out = static_cast<Interface*>(this);
      this->AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  uint32_t AddRef() override { return ++refs_; }
  uint32_t Release() override {
    uint32_t left = --refs_;
    if (left == 0) delete static_cast<Derived*>(this);
    return left;
  }
  HRESULT GetIDsOfNames(const std::string& name, int32_t* dispid) override {
    return dispatch_ids_of_names(Derived::dispatch_table(), name, dispid);
  }
  HRESULT Invoke(int32_t dispid, InvokeKind kind, std::vector<Variant>& args, Variant* result,
                 std::string* error) override {
    return dispatch_invoke(Derived::dispatch_table(), *this, dispid, kind, args, result, error);
  }

 protected:
  ComObject() { object_created(); }
  ~ComObject() override { object_destroyed(); }

 private:
  static const GUID& iid_dispatch();
  static const GUID& iid_unknown();
  std::atomic<uint32_t> refs_{0};
};

const GUID& iid_dispatch_ref();
const GUID& iid_unknown_ref();
template <class D, class I>
const GUID& ComObject<D, I>::iid_dispatch() {
  return iid_dispatch_ref();
}
template <class D, class I>
const GUID& ComObject<D, I>::iid_unknown() {
  return iid_unknown_ref();
}

}  // namespace quorlane
