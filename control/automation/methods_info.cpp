// Handlers of the archive-information methods and the two buffer sizes.
//
// Each information method runs the call frame on the reader side and calls
// the read side's operation; its result goes back unchanged. When the
// reader state could not be created with the control, the method answers
// with its value for an unreadable archive.
#include <algorithm>

#include "control/automation/call_frame.h"
#include "control/automation/control.h"
#include "control/automation/methods.h"
#include "control/engine/read/read_methods.h"

namespace vz::control {

namespace {

using com::Variant;

// The buffer sizes the methods report: the deflate window's block and the
// read side's input buffer. Both are constants of the engine.
constexpr int16_t kZipBufferSize = 32767;
constexpr int16_t kUnzipBufferSize = 24576;

// Runs the frame for a reader method whose bBackGroundProcessing argument
// is at index bg; null when the reader state is missing.
engine::UnzipState* readerCall(CZCtrl& ctl, const Args& a, size_t bg) {
  if (!beginCall(ctl, EngineSide::Reader, a.flag(bg))) return nullptr;
  return ctl.readerState();
}

// A negative length from the host asks for nothing.
int maxLength(int16_t v) { return std::max<int>(v, 0); }

Variant isFileNameInFilter(CZCtrl&, const Args& a) {
  return Variant::fromBool(engine::isFileNameInFilter(a.text(0), a.text(1)));
}

Variant getZipBufferSize(CZCtrl&, const Args&) { return Variant::fromShort(kZipBufferSize); }
Variant getUnzipBufferSize(CZCtrl&, const Args&) { return Variant::fromShort(kUnzipBufferSize); }

// (szZipName, bBackGroundProcessing) -> short
Variant getMadeUnder(CZCtrl& c, const Args& a) {
  auto* st = readerCall(c, a, 1);
  return Variant::fromShort(st ? engine::getMadeUnder(*st, a.text(0)) : int16_t{9});
}
Variant getVersionMinor(CZCtrl& c, const Args& a) {
  auto* st = readerCall(c, a, 1);
  return Variant::fromShort(st ? engine::getVersionMinor(*st, a.text(0)) : int16_t{0});
}
Variant getVersionMajor(CZCtrl& c, const Args& a) {
  auto* st = readerCall(c, a, 1);
  return Variant::fromShort(st ? engine::getVersionMajor(*st, a.text(0)) : int16_t{0});
}
Variant getDiskId(CZCtrl& c, const Args& a) {
  auto* st = readerCall(c, a, 1);
  return Variant::fromShort(st ? engine::getDiskId(*st, a.text(0)) : int16_t{0});
}
Variant getGlobalCommentSize(CZCtrl& c, const Args& a) {
  auto* st = readerCall(c, a, 1);
  return Variant::fromShort(st ? engine::getGlobalCommentSize(*st, a.text(0)) : int16_t{0});
}
Variant getCount(CZCtrl& c, const Args& a) {
  auto* st = readerCall(c, a, 1);
  return Variant::fromShort(st ? engine::getCount(*st, a.text(0)) : int16_t{-1});
}
Variant isZipFileQuick(CZCtrl& c, const Args& a) {
  auto* st = readerCall(c, a, 1);
  return Variant::fromShort(
      engine::statusCode(st ? engine::isZipFileQuick(*st, a.text(0)) : engine::ReadStatus::CannotOpen));
}

// (szZipName, iMaxLength, bBackGroundProcessing) -> BSTR
Variant getGlobalComment(CZCtrl& c, const Args& a) {
  auto* st = readerCall(c, a, 2);
  return Variant::fromText(st ? engine::getGlobalComment(*st, a.text(0), maxLength(a.i2(1))) : std::string());
}
// (szZipName, szMask, iMaxLength, bBackGroundProcessing) -> BSTR
Variant getLocalComment(CZCtrl& c, const Args& a) {
  auto* st = readerCall(c, a, 3);
  return Variant::fromText(st ? engine::getLocalComment(*st, a.text(0), a.text(1), maxLength(a.i2(2))) : std::string());
}
// (szZipName, szMask, bBackGroundProcessing) -> short
Variant getLocalCommentSize(CZCtrl& c, const Args& a) {
  auto* st = readerCall(c, a, 2);
  return Variant::fromShort(st ? engine::getLocalCommentSize(*st, a.text(0), a.text(1)) : int16_t{-1});
}
// (szZipName, bOriginalSize, bBackGroundProcessing) -> double
Variant getTotalSize(CZCtrl& c, const Args& a) {
  auto* st = readerCall(c, a, 2);
  return Variant::fromDouble(st ? engine::getTotalSize(*st, a.text(0), a.flag(1)) : 0.0);
}
// (szZipName, szMask, bBackGroundProcessing) -> BOOL
Variant isFileInTheZipFile(CZCtrl& c, const Args& a) {
  auto* st = readerCall(c, a, 2);
  return Variant::fromBool(st ? engine::isFileInZip(*st, a.text(0), a.text(1)) : false);
}

constexpr MethodEntry kTable[] = {
    {1, isFileNameInFilter}, {2, getZipBufferSize},  {3, getUnzipBufferSize},    {34, getMadeUnder},
    {35, getVersionMinor},   {36, getGlobalComment}, {37, getGlobalCommentSize}, {38, getLocalComment},
    {39, getCount},          {40, getTotalSize},     {41, isFileInTheZipFile},   {47, isZipFileQuick},
    {59, getVersionMajor},   {60, getDiskId},        {61, getLocalCommentSize},
};

}  // namespace

std::span<const MethodEntry> infoMethods() { return kTable; }

}  // namespace vz::control
