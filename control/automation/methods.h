// The method handlers of _DQX: one handler per DISPID, grouped by area in
// methods_*.cpp, each area listing its handlers in one table. Invoke finds
// the handler by DISPID and calls it with the arguments already coerced to
// the parameter types of the interface description, so a handler reads
// them by position without further checks.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/com/typelib.h"
#include "platform/com/variant.h"

namespace vz::control {

class CZCtrl;

// The coerced arguments of one call, in parameter order.
class Args {
 public:
  explicit Args(const std::vector<com::Variant>& v) : v_(v) {}
  const std::string& text(size_t i) const { return v_.at(i).text(); }
  bool flag(size_t i) const { return v_.at(i).boolValue(); }
  int16_t i2(size_t i) const { return v_.at(i).shortValue(); }
  int32_t i4(size_t i) const { return v_.at(i).longValue(); }
  size_t size() const { return v_.size(); }

 private:
  const std::vector<com::Variant>& v_;
};

// A handler returns the method's result (Empty for methods without one).
using MethodHandler = com::Variant (*)(CZCtrl& ctl, const Args& args);

struct MethodEntry {
  com::DispId id;
  MethodHandler handler;
};

// The areas' tables.
std::span<const MethodEntry> infoMethods();      // archive information, buffer sizes
std::span<const MethodEntry> settingsMethods();  // settings, about box, cancel and replace flags
std::span<const MethodEntry> extractMethods();   // extraction, viewing and the full test
std::span<const MethodEntry> itemListMethods();  // item lists, their accessors, sorting and icons
std::span<const MethodEntry> writeMethods();   // adding, deleting, comments, the empty archive, cancel and replace flag
std::span<const MethodEntry> spanMethods();    // spanned backup, restore, join and the drive checks
std::span<const MethodEntry> repairMethods();  // archive repair
std::span<const MethodEntry> sfxMethods();     // self-extractor assembly
std::span<const MethodEntry> pendingMethods();  // methods whose engine work is still to come

// Every area's table, in the order findMethod searches them.
std::vector<std::span<const MethodEntry>> allMethodTables();

// The handler of a DISPID, null when there is none. The areas' tables are
// searched in the order above, so an area's handler takes precedence over a
// pending one with the same DISPID.
MethodHandler findMethod(com::DispId id);

}  // namespace vz::control
