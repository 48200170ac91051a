// The type information used for conversion is the object's own
// (GetTypeInfo), falling back to the control's static type library when the
// object gives none. Arguments are converted here rather than left to
// Invoke's coercion so that a bad word is reported with its position and
// the form expected, and so that "true" and "1" mean the same for BOOL.
#include "tools/qx/invocation.h"

#include "control/typelib/qx_typelib.h"
#include "tools/qx/hresult_text.h"
#include "tools/qx/listing.h"

namespace vz::qx {

namespace {

// How a word must be written for each parameter type, for error messages.
const char* expectedForm(com::VarType t) {
  switch (t) {
    case com::VarType::Bool:
      return "1, 0, true or false";
    case com::VarType::I2:
      return "a whole decimal number from -32768 to 32767";
    case com::VarType::I4:
      return "a whole decimal number from -2147483648 to 2147483647";
    case com::VarType::R8:
      return "a decimal number";
    case com::VarType::BStr:
      return "text";
    case com::VarType::Empty:
      break;
  }
  return "no value";
}

std::string plural(size_t n, const char* word) { return std::to_string(n) + " " + word + (n == 1 ? "" : "s"); }

}  // namespace

std::optional<com::InvokeKind> invokeKindFor(const com::FuncDesc& member, size_t argCount, std::string* error) {
  switch (member.kind) {
    case com::MemberKind::Method:
      return com::InvokeKind::Method;
    case com::MemberKind::PropertyReadOnly:
      if (argCount == 0) return com::InvokeKind::PropertyGet;
      *error = std::string(member.name) + " is a read-only property and takes no arguments";
      return std::nullopt;
    case com::MemberKind::PropertyReadWrite:
      if (argCount == 0) return com::InvokeKind::PropertyGet;
      if (argCount == 1) return com::InvokeKind::PropertyPut;
      *error = std::string(member.name) + " is a property: give no argument to read it or one to set it";
      return std::nullopt;
  }
  *error = "unknown member kind";
  return std::nullopt;
}

bool convertArguments(const com::FuncDesc& member, com::InvokeKind kind, const std::vector<std::string>& words,
                      std::vector<com::Variant>* args, std::string* error) {
  args->clear();
  if (kind == com::InvokeKind::PropertyPut) {
    // The new value of the property, in the property's type.
    if (words.size() != 1) {
      *error = std::string(member.name) + " takes one value to set";
      return false;
    }
    auto v = com::parseArgument(words[0], member.result);
    if (!v) {
      *error = "value for " + std::string(member.name) + ": '" + words[0] + "' is not " + expectedForm(member.result);
      return false;
    }
    args->push_back(std::move(*v));
    return true;
  }
  if (kind == com::InvokeKind::PropertyGet) {
    if (!words.empty()) {
      *error = std::string(member.name) + " takes no arguments when read";
      return false;
    }
    return true;
  }
  if (words.size() != member.params.size()) {
    *error = std::string(member.name) + " takes " + plural(member.params.size(), "argument") + ", " +
             std::to_string(words.size()) + " given: " + formatSignature(member);
    return false;
  }
  for (size_t i = 0; i < words.size(); ++i) {
    const com::ParamDesc& p = member.params[i];
    auto v = com::parseArgument(words[i], p.type);
    if (!v) {
      *error = "argument " + std::to_string(i + 1) + " of " + member.name + " (" + com::typeName(p.type) + " " +
               p.name + "): '" + words[i] + "' is not " + expectedForm(p.type);
      return false;
    }
    args->push_back(std::move(*v));
  }
  return true;
}

CallOutcome callMethod(com::IDispatch& control, const std::string& name, const std::vector<std::string>& words) {
  CallOutcome outcome;
  auto fail = [&outcome](ExitStatus status, std::string message) {
    outcome.status = status;
    outcome.error = std::move(message);
    outcome.result.reset();
    return outcome;
  };

  std::vector<com::DispId> ids;
  com::HRESULT h = control.GetIDsOfNames({name}, ids);
  if (h == com::DISP_E_UNKNOWNNAME || (com::succeeded(h) && (ids.empty() || ids[0] == com::DISPID_UNKNOWN)))
    return fail(kExitUsage, "unknown method '" + name + "' (qx --list shows the methods)");
  if (com::failed(h) || ids.empty())
    return fail(kExitCallFailed, "looking up '" + name + "' failed: " + describeHresult(h));
  const com::DispId id = ids[0];

  const com::InterfaceDesc* info = nullptr;
  if (com::failed(control.GetTypeInfo(&info)) || !info) info = &control::kDQX;
  const com::FuncDesc* member = com::findMember(*info, id);
  if (!member) return fail(kExitCallFailed, "the control has no type information for '" + name + "'");

  std::string error;
  auto kind = invokeKindFor(*member, words.size(), &error);
  if (!kind) return fail(kExitUsage, error);
  std::vector<com::Variant> args;
  if (!convertArguments(*member, *kind, words, &args, &error)) return fail(kExitUsage, error);

  com::Variant result;
  unsigned argError = 0;
  h = control.Invoke(id, *kind, args, &result, &argError);
  if (h == com::DISP_E_BADPARAMCOUNT)
    return fail(kExitUsage,
                std::string(member->name) + ": the control refused the argument count: " + formatSignature(*member));
  if (h == com::DISP_E_TYPEMISMATCH)
    return fail(kExitUsage,
                std::string(member->name) + ": the control refused argument " + std::to_string(argError + 1));
  if (com::failed(h)) return fail(kExitCallFailed, std::string(member->name) + " failed: " + describeHresult(h));

  const bool hasResult = *kind == com::InvokeKind::PropertyGet ||
                         (*kind == com::InvokeKind::Method && member->result != com::VarType::Empty);
  if (hasResult) outcome.result = com::formatForDisplay(result);
  return outcome;
}

}  // namespace vz::qx
