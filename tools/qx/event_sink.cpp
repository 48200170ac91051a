// Each event line is flushed at once, so that a reader of qx's output sees
// the events while the call runs and in order with the dialogs' questions
// on standard error.
#include "tools/qx/event_sink.h"

#include <new>

#include "tools/qx/line_text.h"

namespace vz::qx {

std::string formatEventLine(const com::InterfaceDesc& events, com::DispId id, const std::vector<com::Variant>& args) {
  const com::FuncDesc* f = com::findMember(events, id);
  std::string line = f ? std::string(f->name) : "#" + std::to_string(id);
  for (const auto& a : args) {
    line += '\t';
    line += escapeForLine(com::formatForDisplay(a));
  }
  return line;
}

com::Ref<EventPrinter> EventPrinter::create(std::ostream& out, const com::InterfaceDesc& events) {
  return com::Ref<EventPrinter>::adopt(new (std::nothrow) EventPrinter(out, events));
}

com::HRESULT EventPrinter::QueryInterface(const com::Guid& iid, void** out) {
  if (!out) return com::E_POINTER;
  if (iid == com::IID_IUnknown || iid == com::IID_IDispatch || iid == events_.iid) {
    *out = static_cast<com::IDispatch*>(this);
    AddRef();
    return com::S_OK;
  }
  *out = nullptr;
  return com::E_NOINTERFACE;
}

uint32_t EventPrinter::AddRef() { return refs_.fetch_add(1) + 1; }

uint32_t EventPrinter::Release() {
  uint32_t left = refs_.fetch_sub(1) - 1;
  if (left == 0) delete this;
  return left;
}

com::HRESULT EventPrinter::GetTypeInfo(const com::InterfaceDesc** out) {
  if (!out) return com::E_POINTER;
  *out = &events_;
  return com::S_OK;
}

com::HRESULT EventPrinter::GetIDsOfNames(const std::vector<std::string>& names, std::vector<com::DispId>& ids) {
  ids.clear();
  com::HRESULT h = com::S_OK;
  for (const auto& n : names) {
    const com::FuncDesc* f = com::findMember(events_, n);
    ids.push_back(f ? f->dispid : com::DISPID_UNKNOWN);
    if (!f) h = com::DISP_E_UNKNOWNNAME;
  }
  return h;
}

com::HRESULT EventPrinter::Invoke(com::DispId id, com::InvokeKind, const std::vector<com::Variant>& args,
                                  com::Variant* result, unsigned*) {
  // Events have no result; leave the caller's variant empty.
  if (result) *result = com::Variant();
  out_ << formatEventLine(events_, id, args) << '\n' << std::flush;
  ++count_;
  return com::S_OK;
}

}  // namespace vz::qx
