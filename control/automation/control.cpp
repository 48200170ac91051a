// The control object: construction and destruction, IUnknown, IDispatch,
// the connection point, and the window procedure that fires events.
#include "control/automation/control.h"

#include <new>

#include "control/automation/events.h"
#include "control/automation/methods.h"
#include "control/automation/module.h"
#include "control/automation/settings.h"
#include "control/typelib/qx_typelib.h"
#include "platform/handles.h"
#include "platform/ui.h"
#include "platform/window.h"

namespace vz::control {

namespace {

ConstructionFaults g_faults;  // injected by tests; none in normal use

template <class T>
std::unique_ptr<T> makeOrNull(bool injectedFailure) {
  if (injectedFailure) return nullptr;
  return std::unique_ptr<T>(new (std::nothrow) T());
}

// Tells the user that an engine object could not be made. When even the
// message cannot be built the control goes on silently: construction must
// not fail half-way.
void reportNoMemory(const char* what) {
  try {
    ui::messageBox(std::string("Internal error.\nNot enough memory for ") + what, kControlMessageCaption,
                   ui::MB_OK | ui::MB_ICONSTOP);
  } catch (const std::bad_alloc&) {
  }
}

}  // namespace

void setConstructionFaultsForTesting(ConstructionFaults faults) { g_faults = faults; }

CZCtrl* CZCtrl::create() {
  try {
    return new CZCtrl();
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

CZCtrl::CZCtrl() {
  moduleCounter().lock();
  window_ = createWindow([this](uint32_t msg, WParam w, LParam l) { return onMessage(msg, w, l); });

  // The write side's engine object with its password buffer.
  zip_ = makeOrNull<ZipEngine>(g_faults.zipEngine);
  if (!zip_) reportNoMemory("ZIP functions");

  // The reader state with its defaults: pumping on, no notification
  // window, cancel off, no test mode, no remembered answers, status 0, no
  // image lists, ask for passwords.
  reader_ = makeOrNull<engine::UnzipState>(g_faults.readerState);
  if (reader_) {
    reader_->pump = true;
    reader_->notifyWindow = 0;
    reader_->cancel = false;
    reader_->testMode = false;
    reader_->replaceAnswer = 0;
    reader_->passwordAnswer = 0;
    reader_->status = engine::ReadStatus::Ok;
    reader_->smallImages = reader_->largeImages = 0;
    reader_->askPassword = true;
    reader_->prompts = &prompts_;
  } else {
    reportNoMemory("UNZIP functions");
  }

  setPasswordMode(true, true);
  if (settings().iniFile.empty()) settings().iniFile = kDefaultIniFile;
}

CZCtrl::~CZCtrl() {
  sinks_.clear();
  if (settings().currentControl == this) settings().currentControl = nullptr;
  newZipName_.clear();
  zip_.reset();
  if (reader_) {
    if (reader_->smallImages) handles::destroy(reader_->smallImages);
    if (reader_->largeImages) handles::destroy(reader_->largeImages);
    reader_.reset();
  }
  if (window_) destroyWindow(window_);
  moduleCounter().unlock();
}

// ---- IUnknown ----

com::HRESULT CZCtrl::QueryInterface(const com::Guid& iid, void** out) {
  if (!out) return com::E_POINTER;
  *out = nullptr;
  if (iid == com::IID_IUnknown || iid == com::IID_IDispatch || iid == IID_DQX) {
    *out = static_cast<com::IDispatch*>(this);
  } else if (iid == com::IID_IConnectionPointContainer) {
    *out = static_cast<com::IConnectionPointContainer*>(this);
  } else {
    return com::E_NOINTERFACE;
  }
  AddRef();
  return com::S_OK;
}

uint32_t CZCtrl::AddRef() { return refs_.fetch_add(1) + 1; }

uint32_t CZCtrl::Release() {
  const uint32_t left = refs_.fetch_sub(1) - 1;
  if (left == 0) delete this;
  return left;
}

// ---- IDispatch ----

com::HRESULT CZCtrl::GetTypeInfo(const com::InterfaceDesc** out) {
  if (!out) return com::E_POINTER;
  *out = &kDQX;
  return com::S_OK;
}

com::HRESULT CZCtrl::GetIDsOfNames(const std::vector<std::string>& names, std::vector<com::DispId>& ids) {
  ids.clear();
  com::HRESULT status = com::S_OK;
  for (const std::string& n : names) {
    const com::FuncDesc* f = com::findMember(kDQX, n);
    ids.push_back(f ? f->dispid : com::DISPID_UNKNOWN);
    if (!f) status = com::DISP_E_UNKNOWNNAME;
  }
  return status;
}

com::HRESULT CZCtrl::Invoke(com::DispId id, com::InvokeKind kind, const std::vector<com::Variant>& args,
                            com::Variant* result, unsigned* argError) {
  const com::FuncDesc* f = com::findMember(kDQX, id);
  if (!f) return com::DISP_E_MEMBERNOTFOUND;
  // The interface has no writable member: the one property, hWnd, is
  // read-only, and methods cannot be assigned.
  if (kind == com::InvokeKind::PropertyPut) return com::DISP_E_MEMBERNOTFOUND;

  std::vector<com::Variant> coerced;
  const com::HRESULT coerceResult = com::coerceArguments(*f, args, &coerced, argError);
  if (com::failed(coerceResult)) return coerceResult;

  // Keep the control alive while the call runs: a host's event handler may
  // release its last reference during the call.
  com::Ref<CZCtrl> keep(this);
  com::Variant value;
  if (id == kDispIdHWnd) {
    value = com::Variant::fromLong(window_);
  } else {
    const MethodHandler handler = findMethod(id);
    if (!handler) return com::DISP_E_MEMBERNOTFOUND;
    value = handler(*this, Args(coerced));
  }
  if (result) *result = std::move(value);
  return com::S_OK;
}

// ---- connection point ----

com::HRESULT CZCtrl::FindConnectionPoint(const com::Guid& iid, com::IConnectionPoint** out) {
  if (!out) return com::E_POINTER;
  *out = nullptr;
  if (iid != DIID_DQXEvents) return com::CONNECT_E_NOCONNECTION;
  *out = &eventPoint_;
  eventPoint_.AddRef();
  return com::S_OK;
}

com::HRESULT CZCtrl::EventPoint::QueryInterface(const com::Guid& iid, void** out) {
  if (!out) return com::E_POINTER;
  *out = nullptr;
  if (iid != com::IID_IUnknown && iid != com::IID_IConnectionPoint) return com::E_NOINTERFACE;
  *out = static_cast<com::IConnectionPoint*>(this);
  AddRef();
  return com::S_OK;
}

com::HRESULT CZCtrl::EventPoint::GetConnectionInterface(com::Guid* iid) {
  if (!iid) return com::E_POINTER;
  *iid = DIID_DQXEvents;
  return com::S_OK;
}

com::HRESULT CZCtrl::EventPoint::Advise(com::IUnknown* sink, uint32_t* cookie) {
  if (!sink || !cookie) return com::E_POINTER;
  com::Ref<com::IDispatch> disp;
  if (com::failed(sink->QueryInterface(com::IID_IDispatch, disp.put())) || !disp) {
    return com::CONNECT_E_CANNOTCONNECT;
  }
  *cookie = owner_.sinks_.add(disp.get());
  return com::S_OK;
}

com::HRESULT CZCtrl::EventPoint::Unadvise(uint32_t cookie) {
  return owner_.sinks_.remove(cookie) ? com::S_OK : com::CONNECT_E_NOCONNECTION;
}

// ---- events ----

void CZCtrl::fireEvent(com::DispId id, const std::vector<com::Variant>& args) {
  com::Ref<CZCtrl> keep(this);  // a sink may release the control while it runs
  sinks_.fire(id, args);
}

intptr_t CZCtrl::onMessage(uint32_t msg, WParam wParam, LParam lParam) {
  if (auto call = eventForMessage(msg, wParam, lParam)) {
    fireEvent(call->event, call->args);
    return 1;
  }
  return 0;
}

}  // namespace vz::control
