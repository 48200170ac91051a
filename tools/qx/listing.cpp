// The listing keeps the order of the type library's tables, which is the
// order of the interface; DISPIDs are right-aligned in a column wide enough
// for the stock members' negative numbers.
#include "tools/qx/listing.h"

#include <iomanip>

namespace vz::qx {

namespace {

// Width of the DISPID column: "-552" needs four characters.
constexpr int kDispIdWidth = 4;

const char* resultName(com::VarType t) { return t == com::VarType::Empty ? "void" : com::typeName(t); }

bool isProperty(const com::FuncDesc& f) { return f.kind != com::MemberKind::Method; }

void printMember(std::ostream& out, const com::FuncDesc& f) {
  out << std::setw(kDispIdWidth) << f.dispid << "  " << formatSignature(f) << '\n';
}

}  // namespace

std::string formatSignature(const com::FuncDesc& member) {
  std::string s = std::string(resultName(member.result)) + " " + member.name;
  if (isProperty(member)) {
    s += member.kind == com::MemberKind::PropertyReadOnly ? " (read-only)" : " (read-write)";
    return s;
  }
  s += "(";
  for (size_t i = 0; i < member.params.size(); ++i) {
    if (i > 0) s += ", ";
    s += std::string(com::typeName(member.params[i].type)) + " " + member.params[i].name;
  }
  s += ")";
  return s;
}

void printTypeLibrary(std::ostream& out, const com::InterfaceDesc& methods, const com::InterfaceDesc& events) {
  out << "Methods of " << methods.name << " " << com::toString(methods.iid) << ":\n";
  for (const auto& f : methods.members)
    if (!isProperty(f)) printMember(out, f);
  out << "Properties of " << methods.name << ":\n";
  for (const auto& f : methods.members)
    if (isProperty(f)) printMember(out, f);
  out << "Events of " << events.name << " " << com::toString(events.iid) << ":\n";
  for (const auto& f : events.members) printMember(out, f);
}

}  // namespace vz::qx
