// The sink qx advises on the control's event connection point with
// --events: a small IDispatch whose Invoke receives each event by DISPID
// and writes one line to an output stream,
//
//   ZNExpanding<TAB>readme.txt<TAB>50
//
// the event's name from the event interface's description, then every
// argument as formatForDisplay writes it, separated by tabs. Tabs, line
// breaks and carriage returns inside a text argument are written as \t, \n
// and \r so that each event stays on one line.
#pragma once

#include <atomic>
#include <ostream>
#include <string>
#include <vector>

#include "platform/com/dispatch.h"

namespace vz::qx {

// The line for one event, without the line break. An event not in the
// description is named "#<dispid>".
std::string formatEventLine(const com::InterfaceDesc& events, com::DispId id, const std::vector<com::Variant>& args);

class EventPrinter final : public com::IDispatch {
 public:
  // A new sink with one reference (the Ref owns it). out must outlive every
  // reference to the sink.
  static com::Ref<EventPrinter> create(std::ostream& out, const com::InterfaceDesc& events);

  // IUnknown: answers IID_IUnknown, IID_IDispatch and the event interface.
  com::HRESULT QueryInterface(const com::Guid& iid, void** out) override;
  uint32_t AddRef() override;
  uint32_t Release() override;

  // IDispatch
  com::HRESULT GetTypeInfo(const com::InterfaceDesc** out) override;
  com::HRESULT GetIDsOfNames(const std::vector<std::string>& names, std::vector<com::DispId>& ids) override;
  com::HRESULT Invoke(com::DispId id, com::InvokeKind kind, const std::vector<com::Variant>& args, com::Variant* result,
                      unsigned* argError) override;

  // Events printed so far.
  size_t eventCount() const { return count_; }

 private:
  EventPrinter(std::ostream& out, const com::InterfaceDesc& events) : out_(out), events_(events) {}
  ~EventPrinter() = default;

  std::ostream& out_;                 // where the event lines go
  const com::InterfaceDesc& events_;  // names and DISPIDs of the events
  std::atomic<uint32_t> refs_{1};     // references; the sink deletes itself at 0
  size_t count_ = 0;                  // events printed
};

}  // namespace vz::qx
