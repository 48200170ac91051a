// The connection point holds its own reference to the sink while advised;
// this object holds one to the connection point so that Unadvise can run
// after the host dropped everything else.
#include "tools/qx/event_connection.h"

#include "tools/qx/hresult_text.h"

namespace vz::qx {

com::HRESULT EventConnection::connect(com::IUnknown& control, const com::Guid& eventIid, com::IDispatch* sink,
                                      std::string* error) {
  static_cast<void>(disconnect());
  com::Ref<com::IConnectionPointContainer> container;
  com::HRESULT h = control.QueryInterface(com::IID_IConnectionPointContainer, container.put());
  if (com::failed(h) || !container) {
    *error = "the control has no connection points: " + describeHresult(com::failed(h) ? h : com::E_NOINTERFACE);
    return com::failed(h) ? h : com::E_NOINTERFACE;
  }
  com::IConnectionPoint* found = nullptr;
  h = container->FindConnectionPoint(eventIid, &found);
  auto point = com::Ref<com::IConnectionPoint>::adopt(found);
  if (com::failed(h) || !point) {
    *error = "the control has no connection point for its events: " +
             describeHresult(com::failed(h) ? h : com::E_NOINTERFACE);
    return com::failed(h) ? h : com::E_NOINTERFACE;
  }
  uint32_t cookie = 0;
  h = point->Advise(sink, &cookie);
  if (com::failed(h)) {
    *error = "the control refused the event sink: " + describeHresult(h);
    return h;
  }
  point_ = std::move(point);
  cookie_ = cookie;
  return com::S_OK;
}

com::HRESULT EventConnection::disconnect() {
  if (!point_) return com::S_OK;
  com::HRESULT h = point_->Unadvise(cookie_);
  point_.reset();
  cookie_ = 0;
  return h;
}

}  // namespace vz::qx
