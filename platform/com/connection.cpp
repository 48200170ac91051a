// Event sinks and the ready-made connection point.
//
// fire() works on a snapshot of the sink list, holding a reference to each
// sink, so a sink may advise or unadvise (itself or others) while it is
// called without invalidating the loop. Before each call the cookie is
// looked up again in the live list: a sink removed meanwhile is skipped.
#include "platform/com/connection.h"

#include <algorithm>
#include <new>

namespace vz::com {

uint32_t EventSinks::add(IDispatch* sink) {
  if (!sink) return 0;
  // Cookie 0 means "no connection"; skip it and any cookie still in use
  // after the counter wraps.
  auto inUse = [this](uint32_t c) {
    return c == 0 || std::any_of(sinks_.begin(), sinks_.end(), [c](const Entry& e) { return e.cookie == c; });
  };
  while (inUse(next_)) ++next_;
  uint32_t cookie = next_++;
  sinks_.push_back(Entry{cookie, Ref<IDispatch>(sink)});
  return cookie;
}

bool EventSinks::remove(uint32_t cookie) {
  auto it = std::find_if(sinks_.begin(), sinks_.end(), [cookie](const Entry& e) { return e.cookie == cookie; });
  if (it == sinks_.end()) return false;
  // Move the reference out first: releasing it may re-enter this object.
  Ref<IDispatch> released = std::move(it->sink);
  sinks_.erase(it);
  return true;
}

void EventSinks::fire(DispId id, const std::vector<Variant>& args) {
  std::vector<Entry> snapshot;
  try {
    snapshot = sinks_;
  } catch (const std::bad_alloc&) {
    return;  // an event is a notification; without memory it is dropped
  }
  for (const Entry& e : snapshot) {
    bool stillAdvised =
        std::any_of(sinks_.begin(), sinks_.end(), [&e](const Entry& live) { return live.cookie == e.cookie; });
    if (!stillAdvised) continue;
    // Events have no result; a sink's failure does not stop the others.
    (void)e.sink->Invoke(id, InvokeKind::Method, args, nullptr, nullptr);
  }
}

void EventSinks::clear() {
  std::vector<Entry> released;
  released.swap(sinks_);
}

ConnectionPoint::ConnectionPoint(IUnknown* container, const Guid& iid, EventSinks* sinks)
    : container_(container), iid_(iid), sinks_(sinks) {}

HRESULT ConnectionPoint::QueryInterface(const Guid& iid, void** out) {
  if (!out) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IConnectionPoint) {
    *out = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

uint32_t ConnectionPoint::AddRef() { return ++refs_; }

uint32_t ConnectionPoint::Release() {
  uint32_t n = --refs_;
  if (n == 0) delete this;
  return n;
}

HRESULT ConnectionPoint::GetConnectionInterface(Guid* iid) {
  if (!iid) return E_POINTER;
  *iid = iid_;
  return S_OK;
}

HRESULT ConnectionPoint::Advise(IUnknown* sink, uint32_t* cookie) {
  if (!cookie) return E_POINTER;
  *cookie = 0;
  if (!sink || !sinks_) return CONNECT_E_CANNOTCONNECT;
  Ref<IDispatch> dispatch;
  if (failed(sink->QueryInterface(IID_IDispatch, dispatch.put())) || !dispatch) return CONNECT_E_CANNOTCONNECT;
  try {
    *cookie = sinks_->add(dispatch.get());
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

HRESULT ConnectionPoint::Unadvise(uint32_t cookie) {
  if (!sinks_ || !sinks_->remove(cookie)) return CONNECT_E_NOCONNECTION;
  return S_OK;
}

}  // namespace vz::com
