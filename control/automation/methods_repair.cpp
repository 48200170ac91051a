// Handler of Repare: runs the call frame on the write side (pumping switch,
// cancel flag cleared, the control's window for the reports when
// bBackGroundProcessing is true) and rebuilds the archive
// (engine/repair.h). Without the write side's engine object it answers 2.
#include "control/automation/call_frame.h"
#include "control/automation/control.h"
#include "control/automation/methods.h"
#include "control/automation/zip_engine.h"
#include "control/engine/repair/repair.h"

namespace vz::control {

namespace {

using com::Variant;

// Repare(szZipName, bBackGroundProcessing)
Variant repare(CZCtrl& c, const Args& a) {
  const auto result = [](engine::RepairStatus s) { return Variant::fromShort(engine::statusCode(s)); };
  if (!beginCall(c, EngineSide::Writer, a.flag(1))) return result(engine::RepairStatus::IoError);
  ZipEngine* eng = c.zipEngine();
  if (!eng) return result(engine::RepairStatus::IoError);
  engine::RepairSession s;
  s.window = eng->window;
  s.pump = eng->pump;
  s.cancel = &eng->cancel;
  return result(engine::repairArchive(s, a.text(0)));
}

constexpr MethodEntry kTable[] = {
    {9, repare},
};

}  // namespace

std::span<const MethodEntry> repairMethods() { return kTable; }

}  // namespace vz::control
