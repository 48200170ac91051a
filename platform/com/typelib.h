// Static type libraries: the methods, properties and events of a server's
// interfaces as constant tables. Registration writes them into the
// registry's TypeLib keys, dispatch looks names up in them, and hosts such
// as `qx --list` print them.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "platform/com/guid.h"
#include "platform/com/variant.h"

namespace vz::com {

using DispId = int32_t;
constexpr DispId DISPID_UNKNOWN = -1;

struct ParamDesc {
  const char* name;
  VarType type;
};

enum class MemberKind : uint8_t {
  Method,            // called with Invoke kind Method
  PropertyReadOnly,  // read with Invoke kind PropertyGet, writing refused
  PropertyReadWrite,
};

struct FuncDesc {
  DispId dispid;
  const char* name;
  VarType result;  // Empty for a method without result
  std::span<const ParamDesc> params;
  MemberKind kind = MemberKind::Method;
};

struct InterfaceDesc {
  const char* name;
  Guid iid;
  bool isEventSource;  // an outgoing (event) interface
  std::span<const FuncDesc> members;
};

struct CoClassDesc {
  const char* name;
  Guid clsid;
  const char* progId;
  const char* typeName;  // the class's readable name
  const InterfaceDesc* defaultInterface;
  const InterfaceDesc* eventInterface;   // may be null
  uint32_t miscStatus;                   // registered as MiscStatus, 0 for none
  bool insertable;                       // registered with an "Insertable" key
  const char* versionIndependentProgId;  // may be null
};

struct TypeLibDesc {
  const char* name;
  Guid guid;
  uint16_t major, minor;
  std::span<const InterfaceDesc* const> interfaces;
  std::span<const CoClassDesc* const> classes;
};

// Finds a member by name, ignoring case; null when absent.
const FuncDesc* findMember(const InterfaceDesc& iface, std::string_view name);
const FuncDesc* findMember(const InterfaceDesc& iface, DispId id);

}  // namespace vz::com
