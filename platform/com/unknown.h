// Reference-counted interfaces. IUnknown is the root of every interface:
// QueryInterface hands out another interface of the same object (adding a
// reference), AddRef and Release count the references, and the object
// deletes itself when the count reaches zero. Ref<T> holds one reference.
#pragma once

#include <atomic>
#include <cstdint>
#include <utility>

#include "platform/com/guid.h"
#include "platform/com/hresult.h"

namespace vz::com {

class IUnknown {
 public:
  virtual HRESULT QueryInterface(const Guid& iid, void** out) = 0;
  virtual uint32_t AddRef() = 0;
  virtual uint32_t Release() = 0;

 protected:
  ~IUnknown() = default;  // objects are destroyed through Release only
};

// Smart pointer holding one reference.
template <class T>
class Ref {
 public:
  Ref() = default;
  Ref(std::nullptr_t) {}
  // Takes over a reference the caller already owns.
  static Ref adopt(T* p) {
    Ref r;
    r.p_ = p;
    return r;
  }
  // Adds a reference of its own.
  explicit Ref(T* p) : p_(p) {
    if (p_) p_->AddRef();
  }
  Ref(const Ref& o) : p_(o.p_) {
    if (p_) p_->AddRef();
  }
  Ref(Ref&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  Ref& operator=(Ref o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }
  ~Ref() { reset(); }
  void reset() {
    if (p_) std::exchange(p_, nullptr)->Release();
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // For out-parameters: releases the current pointer and exposes the slot.
  void** put() {
    reset();
    return reinterpret_cast<void**>(&p_);
  }
  T* detach() { return std::exchange(p_, nullptr); }

 private:
  T* p_ = nullptr;
};

// Counts of live objects and server locks of one library, for
// DllCanUnloadNow.
class ModuleCounter {
 public:
  void lock() { count_.fetch_add(1); }
  void unlock() { count_.fetch_sub(1); }
  bool idle() const { return count_.load() == 0; }
  long count() const { return count_.load(); }

 private:
  std::atomic<long> count_{0};
};

}  // namespace vz::com
