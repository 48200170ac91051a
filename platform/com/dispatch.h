// Automation: late-bound calls by DISPID. Arguments are passed in their
// natural order (first parameter first), unlike the reversed order of the
// original system's DISPPARAMS; the result goes to *result when it is given.
#pragma once

#include <string>
#include <vector>

#include "platform/com/typelib.h"
#include "platform/com/unknown.h"
#include "platform/com/variant.h"

namespace vz::com {

enum class InvokeKind : uint8_t { Method, PropertyGet, PropertyPut };

class IDispatch : public IUnknown {
 public:
  // The interface description the object dispatches on.
  virtual HRESULT GetTypeInfo(const InterfaceDesc** out) = 0;
  // One DISPID per name (ignoring case); DISPID_UNKNOWN and
  // DISP_E_UNKNOWNNAME for names that are not members.
  virtual HRESULT GetIDsOfNames(const std::vector<std::string>& names, std::vector<DispId>& ids) = 0;
  // Calls the member. Arguments are coerced to the parameter types (see
  // Variant::convertTo): DISP_E_BADPARAMCOUNT when the count differs,
  // DISP_E_TYPEMISMATCH when one cannot be converted (*argError is then its
  // index), DISP_E_MEMBERNOTFOUND for an unknown DISPID or a refused
  // property write.
  virtual HRESULT Invoke(DispId id, InvokeKind kind, const std::vector<Variant>& args, Variant* result,
                         unsigned* argError) = 0;

 protected:
  ~IDispatch() = default;
};

// Checks and coerces args against a member description; the shared part of
// every Invoke. On success *coerced holds the arguments in the member's
// types.
HRESULT coerceArguments(const FuncDesc& f, const std::vector<Variant>& args, std::vector<Variant>* coerced,
                        unsigned* argError);

// The GetIDsOfNames of an object that dispatches on a static table: the
// first name is looked up as a member of iface (ignoring case); ids gets one
// entry per name. Names after the first would be parameter names, which the
// tables do not carry: they get DISPID_UNKNOWN. DISP_E_UNKNOWNNAME when any
// name is unknown, S_OK otherwise.
HRESULT getIDsOfNamesFromTable(const InterfaceDesc& iface, const std::vector<std::string>& names,
                               std::vector<DispId>& ids);

// The checks every table-driven Invoke makes before running a member:
// finds the member by DISPID and checks the call kind against it (a method
// may be called as a method or read as a property; a property may be read,
// and written only when it is read-write), then coerces the arguments (a
// property write takes one argument of the property's type, a read none).
// On success *member is the member and *coerced the arguments.
// DISP_E_MEMBERNOTFOUND for an unknown DISPID or a refused kind; otherwise
// the results of coerceArguments.
HRESULT prepareInvoke(const InterfaceDesc& iface, DispId id, InvokeKind kind, const std::vector<Variant>& args,
                      const FuncDesc** member, std::vector<Variant>* coerced, unsigned* argError);

}  // namespace vz::com
