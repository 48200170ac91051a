// Member look-up in the static interface tables. Member names are ASCII
// identifiers, so the comparison ignores ASCII case only.
#include "platform/com/typelib.h"

namespace vz::com {

namespace {

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameName(const char* member, std::string_view name) {
  if (!member) return false;
  std::string_view m(member);
  if (m.size() != name.size()) return false;
  for (size_t i = 0; i < m.size(); ++i)
    if (lowerAscii(m[i]) != lowerAscii(name[i])) return false;
  return true;
}

}  // namespace

const FuncDesc* findMember(const InterfaceDesc& iface, std::string_view name) {
  for (const FuncDesc& f : iface.members)
    if (sameName(f.name, name)) return &f;
  return nullptr;
}

const FuncDesc* findMember(const InterfaceDesc& iface, DispId id) {
  for (const FuncDesc& f : iface.members)
    if (f.dispid == id) return &f;
  return nullptr;
}

}  // namespace vz::com
