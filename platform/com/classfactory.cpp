// The ready-made class factory of our in-process servers.
#include "platform/com/classfactory.h"

#include <new>

namespace vz::com {

SimpleClassFactory::SimpleClassFactory(Creator create, ModuleCounter* module)
    : create_(std::move(create)), module_(module) {}

HRESULT SimpleClassFactory::QueryInterface(const Guid& iid, void** out) {
  if (!out) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IClassFactory) {
    *out = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

uint32_t SimpleClassFactory::AddRef() { return ++refs_; }

uint32_t SimpleClassFactory::Release() {
  uint32_t n = --refs_;
  if (n == 0) delete this;
  return n;
}

HRESULT SimpleClassFactory::CreateInstance(IUnknown* outer, const Guid& iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  if (!create_) return E_UNEXPECTED;
  IUnknown* object = nullptr;
  try {
    object = create_();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  if (!object) return E_OUTOFMEMORY;
  // The creation reference is dropped after the query, so an object that
  // does not answer iid is destroyed again.
  HRESULT h = object->QueryInterface(iid, out);
  object->Release();
  if (failed(h)) *out = nullptr;
  return h;
}

HRESULT SimpleClassFactory::LockServer(bool lock) {
  if (lock) {
    ++locks_;
    if (module_) module_->lock();
    return S_OK;
  }
  long held = locks_.load();
  do {
    if (held <= 0) return E_UNEXPECTED;
  } while (!locks_.compare_exchange_weak(held, held - 1));
  if (module_) module_->unlock();
  return S_OK;
}

}  // namespace vz::com
