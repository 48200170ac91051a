// Connection points: how an object fires events to its hosts. A host finds
// the object's connection point for the event interface through
// IConnectionPointContainer, and Advises it with a sink (an IDispatch whose
// Invoke receives each event by DISPID with its arguments).
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "platform/com/dispatch.h"

namespace vz::com {

class IConnectionPoint : public IUnknown {
 public:
  virtual HRESULT GetConnectionInterface(Guid* iid) = 0;
  // Keeps a reference to sink (which must answer IID_IDispatch) and returns
  // a cookie for Unadvise.
  virtual HRESULT Advise(IUnknown* sink, uint32_t* cookie) = 0;
  virtual HRESULT Unadvise(uint32_t cookie) = 0;

 protected:
  ~IConnectionPoint() = default;
};

class IConnectionPointContainer : public IUnknown {
 public:
  virtual HRESULT FindConnectionPoint(const Guid& iid, IConnectionPoint** out) = 0;

 protected:
  ~IConnectionPointContainer() = default;
};

// The sinks of one event interface, for an object to embed: fire() calls
// every advised sink in the order they were advised. fire() may be
// re-entered from a sink: sinks added during a fire are first called by the
// next fire, and a sink removed during a fire is not called afterwards. The
// owner must stay alive while it fires (hold a reference to itself).
class EventSinks {
 public:
  uint32_t add(IDispatch* sink);  // adds a reference; returns the cookie
  bool remove(uint32_t cookie);
  void fire(DispId id, const std::vector<Variant>& args);
  size_t count() const { return sinks_.size(); }
  void clear();

 private:
  struct Entry {
    uint32_t cookie;
    Ref<IDispatch> sink;
  };
  std::vector<Entry> sinks_;
  uint32_t next_ = 1;
};

// A ready-made connection point over an object's EventSinks, for the
// object's FindConnectionPoint to hand out. It holds a reference to its
// container (the object that owns the sinks) so that the sinks outlive it,
// and answers IUnknown and IConnectionPoint. Advise refuses a sink that
// does not answer IID_IDispatch with CONNECT_E_CANNOTCONNECT; Unadvise of an
// unknown cookie gives CONNECT_E_NOCONNECTION.
class ConnectionPoint final : public IConnectionPoint {
 public:
  // Starts with one reference, owned by the caller.
  ConnectionPoint(IUnknown* container, const Guid& iid, EventSinks* sinks);
  HRESULT QueryInterface(const Guid& iid, void** out) override;
  uint32_t AddRef() override;
  uint32_t Release() override;
  HRESULT GetConnectionInterface(Guid* iid) override;
  HRESULT Advise(IUnknown* sink, uint32_t* cookie) override;
  HRESULT Unadvise(uint32_t cookie) override;

 private:
  ~ConnectionPoint() = default;
  Ref<IUnknown> container_;  // keeps the owner of sinks_ alive
  Guid iid_;                 // the event interface served
  EventSinks* sinks_;        // the owner's sinks
  std::atomic<uint32_t> refs_{1};
};

}  // namespace vz::com
