// The message-to-event table of the control's window. Parameter types come
// from the event interface's description, so the table only says where
// each value is found.
#include "control/automation/events.h"

#include "control/typelib/qx_typelib.h"

namespace vz::control {

namespace {

using S = ParamSource;

com::Variant numberAs(com::VarType type, int64_t value) {
  switch (type) {
    case com::VarType::Bool: return com::Variant::fromBool(value != 0);
    case com::VarType::I2: return com::Variant::fromShort(static_cast<int16_t>(value));
    case com::VarType::I4: return com::Variant::fromLong(static_cast<int32_t>(value));
    case com::VarType::R8: return com::Variant::fromDouble(static_cast<double>(value));
    default: return com::Variant::fromLong(static_cast<int32_t>(value));
  }
}

com::Variant textAt(LParam lParam) {
  const char* p = reinterpret_cast<const char*>(lParam);
  return com::Variant::fromText(p ? std::string(p) : std::string());
}

}  // namespace

const std::vector<EventBinding>& eventBindings() {
  static const std::vector<EventBinding> table = {
      {kMsgOpenFile, 1, 1, {S::TextFromLParam, {}}},                       // ZNOpenFile
      {kMsgExpanding, 2, 2, {S::TextFromLParam, S::NumberFromWParam}},     // ZNExpanding
      {kMsgCloseFile, 3, 2, {S::TextFromLParam, S::NumberFromWParam}},     // ZNCloseFile
      {kMsgTest, 4, 2, {S::TextFromLParam, S::StatusBelow2}},              // ZNTest
      {kMsgJoining, 5, 2, {S::NumberFromWParam, S::TextFromLParam}},       // ZNJoining
      {kMsgJoinDoneSize, 7, 1, {S::NumberFromLParam, {}}},                 // ZNJoinDoneSize
      {kMsgJoinDoneName, 8, 1, {S::TextFromLParam, {}}},                   // ZNJoinDoneName
      {kMsgRestoreBuildZip, 9, 1, {S::TextFromLParam, {}}},                // ZNRestoreBuildZip
      {kMsgRestoreZipDone, 10, 1, {S::NumberFromLParam, {}}},              // ZNRestoreZipDone
      {kMsgBackupBuildZip, 11, 1, {S::TextFromLParam, {}}},                // ZNBackupBuildZip
      {kMsgBackupZipDone, 12, 1, {S::NumberFromLParam, {}}},               // ZNBackupZipDone
      {kMsgMakeExeStep1, 13, 0, {}},                                       // ZNMakeEXEStep1
      {kMsgMakeExeStep2, 14, 1, {S::NumberFromWParam, {}}},                // ZNMakeEXEStep2
      {kMsgZipping, 15, 2, {S::TextFromLParam, S::NumberFromWParam}},      // ZNZipping
      {kMsgZipping2, 16, 2, {S::TextFromLParam, S::NumberFromWParam}},     // ZNZipping2
      {kMsgFileZipped, 17, 2, {S::TextFromLParam, S::NumberFromWParam}},   // ZNFileZipped
      {kMsgWriting, 18, 1, {S::TextFromLParam, {}}},                       // ZNWriting
      {kMsgReparing, 19, 2, {S::TextFromLParam, S::NumberFromWParam}},     // ZNReparing
      {kMsgEncrypt, 21, 2, {S::TextFromLParam, S::NumberFromWParam}},      // ZNEncrypt
      {kMsgSplitting, 22, 2, {S::NumberFromWParam, S::TextFromLParam}},    // ZNSplitting
      {kMsgSplitted, 23, 2, {S::NumberFromWParam, S::NumberFromLParam}},   // ZNSplitted
      {kMsgDeleting, 24, 1, {S::TextFromLParam, {}}},                      // ZNDeleting
  };
  return table;
}

std::optional<EventCall> eventForMessage(uint32_t message, WParam wParam, LParam lParam) {
  for (const EventBinding& b : eventBindings()) {
    if (b.message != message) continue;
    const com::FuncDesc* f = com::findMember(kDQXEvents, b.event);
    if (!f || f->params.size() != b.paramCount) return std::nullopt;
    EventCall call{b.event, {}};
    for (size_t i = 0; i < b.paramCount; ++i) {
      const com::VarType type = f->params[i].type;
      switch (b.sources[i]) {
        case S::TextFromLParam: call.args.push_back(textAt(lParam)); break;
        case S::NumberFromWParam: call.args.push_back(numberAs(type, static_cast<int64_t>(wParam))); break;
        case S::NumberFromLParam: call.args.push_back(numberAs(type, static_cast<int64_t>(lParam))); break;
        case S::StatusBelow2: call.args.push_back(com::Variant::fromBool(wParam < 2)); break;
      }
    }
    return call;
  }
  return std::nullopt;
}

}  // namespace vz::control
