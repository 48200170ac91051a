// CZCtrl: the compression control object.
//
// One automation object with the dispatch interface _DQX and one
// connection point for the event interface _DQXEvents. It has no visible
// user interface: its window (a platform window in the handle table)
// receives the engine's progress notifications while a call runs with
// bBackGroundProcessing true, turns them into events and hands them to the
// advised sinks synchronously, and parents the engine's dialogs.
//
// Construction creates the write side's engine object and the reader state;
// when either cannot be made the user is told ("Internal error.\nNot enough
// memory for ...") and the control lives on without it, and every method
// that needs the missing object returns its failure result.
//
// The design-mode drawing of the original control (a white rectangle with
// the control's name and icon in a form designer) and its run-time hiding
// have no counterpart on this platform: the control is never drawn, and
// there is no property persistence beyond what hosts keep themselves.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "control/automation/control_prompts.h"
#include "control/automation/zip_engine.h"
#include "control/engine/common/unzip_state.h"
#include "platform/com/connection.h"
#include "platform/com/dispatch.h"
#include "platform/types.h"

namespace vz::control {

// Faults a test can inject into the construction of the next controls.
struct ConstructionFaults {
  bool zipEngine = false;    // the write side's engine object cannot be made
  bool readerState = false;  // the reader state cannot be made
};
void setConstructionFaultsForTesting(ConstructionFaults faults);

// Caption of the control's own message boxes (the module's name).
inline constexpr const char* kControlMessageCaption = "QX30W32";

class CZCtrl final : public com::IDispatch, public com::IConnectionPointContainer {
 public:
  // Creates a control with one reference; null when out of memory.
  static CZCtrl* create();

  // IUnknown
  com::HRESULT QueryInterface(const com::Guid& iid, void** out) override;
  uint32_t AddRef() override;
  uint32_t Release() override;
  // IDispatch
  com::HRESULT GetTypeInfo(const com::InterfaceDesc** out) override;
  com::HRESULT GetIDsOfNames(const std::vector<std::string>& names, std::vector<com::DispId>& ids) override;
  com::HRESULT Invoke(com::DispId id, com::InvokeKind kind, const std::vector<com::Variant>& args, com::Variant* result,
                      unsigned* argError) override;
  // IConnectionPointContainer
  com::HRESULT FindConnectionPoint(const com::Guid& iid, com::IConnectionPoint** out) override;

  // ---- for the method handlers and the call frame ----
  Handle window() const { return window_; }
  // Null when it could not be created at construction.
  ZipEngine* zipEngine() { return zip_.get(); }
  engine::UnzipState* readerState() { return reader_.get(); }
  // The dialogs the engine asks through (installed in the reader state).
  ControlPrompts& prompts() { return prompts_; }
  // The name GetNewZIPName hands out (set by CreateBlankZIPFile's dialog).
  std::string& newZipName() { return newZipName_; }
  const std::string& helpFile() const { return helpFile_; }
  void setHelpFile(const std::string& file) { helpFile_ = file; }

  // Fires an event to every advised sink.
  void fireEvent(com::DispId id, const std::vector<com::Variant>& args);
  // The window procedure: notifications become events.
  intptr_t onMessage(uint32_t msg, WParam wParam, LParam lParam);

  size_t sinkCount() const { return sinks_.count(); }

 private:
  CZCtrl();
  ~CZCtrl();

  // The connection point of _DQXEvents; it lives inside the control and
  // shares its reference count.
  class EventPoint final : public com::IConnectionPoint {
   public:
    explicit EventPoint(CZCtrl& owner) : owner_(owner) {}
    com::HRESULT QueryInterface(const com::Guid& iid, void** out) override;
    uint32_t AddRef() override { return owner_.AddRef(); }
    uint32_t Release() override { return owner_.Release(); }
    com::HRESULT GetConnectionInterface(com::Guid* iid) override;
    com::HRESULT Advise(com::IUnknown* sink, uint32_t* cookie) override;
    com::HRESULT Unadvise(uint32_t cookie) override;

   private:
    CZCtrl& owner_;
  };

  std::atomic<uint32_t> refs_{1};               // references held by hosts
  Handle window_ = 0;                           // the control's window, 0 if it could not be made
  std::unique_ptr<ZipEngine> zip_;              // write side's engine object with its password buffer
  ControlPrompts prompts_;                      // replace, rename and password dialogs; outlives reader_
  std::unique_ptr<engine::UnzipState> reader_;  // read side's working state
  std::string newZipName_;                      // the new-archive name block, empty when none
  std::string helpFile_;                        // the help file set by SetHelpFile
  com::EventSinks sinks_;                       // advised sinks of _DQXEvents
  EventPoint eventPoint_{*this};                // the one connection point
};

}  // namespace vz::control
