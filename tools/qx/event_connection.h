// Advising a sink on the control's connection point for its event
// interface, and taking the advice back when the connection object goes.
#pragma once

#include <cstdint>
#include <string>

#include "platform/com/connection.h"

namespace vz::qx {

class EventConnection {
 public:
  EventConnection() = default;
  ~EventConnection() { static_cast<void>(disconnect()); }
  EventConnection(const EventConnection&) = delete;
  EventConnection& operator=(const EventConnection&) = delete;

  // Finds the connection point for eventIid through the control's
  // IConnectionPointContainer and advises sink. On failure *error says
  // which step failed.
  com::HRESULT connect(com::IUnknown& control, const com::Guid& eventIid, com::IDispatch* sink, std::string* error);
  // Unadvises; S_OK when not connected.
  com::HRESULT disconnect();
  bool connected() const { return static_cast<bool>(point_); }

 private:
  com::Ref<com::IConnectionPoint> point_;  // the control's connection point while advised
  uint32_t cookie_ = 0;                    // the advice's cookie for Unadvise
};

}  // namespace vz::qx
