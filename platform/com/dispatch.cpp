// The shared part of every Invoke: finding the member, checking the call
// kind, and coercing the arguments to the member's parameter types.
// Arguments are checked in their natural order, so argError is the index
// of the first argument that cannot be converted.
#include "platform/com/dispatch.h"

#include <new>

namespace vz::com {

namespace {

// Coerces args against the given parameter types.
HRESULT coerceTo(std::span<const ParamDesc> params, const std::vector<Variant>& args, std::vector<Variant>* coerced,
                 unsigned* argError) {
  if (args.size() != params.size()) return DISP_E_BADPARAMCOUNT;
  try {
    std::vector<Variant> out;
    out.reserve(args.size());
    for (size_t i = 0; i < args.size(); ++i) {
      std::optional<Variant> v = args[i].convertTo(params[i].type);
      if (!v) {
        if (argError) *argError = static_cast<unsigned>(i);
        return DISP_E_TYPEMISMATCH;
      }
      out.push_back(std::move(*v));
    }
    if (coerced) *coerced = std::move(out);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

}  // namespace

HRESULT coerceArguments(const FuncDesc& f, const std::vector<Variant>& args, std::vector<Variant>* coerced,
                        unsigned* argError) {
  return coerceTo(f.params, args, coerced, argError);
}

HRESULT getIDsOfNamesFromTable(const InterfaceDesc& iface, const std::vector<std::string>& names,
                               std::vector<DispId>& ids) {
  try {
    ids.assign(names.size(), DISPID_UNKNOWN);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  if (names.empty()) return S_OK;
  const FuncDesc* f = findMember(iface, names[0]);
  if (f) ids[0] = f->dispid;
  return (f && names.size() == 1) ? S_OK : DISP_E_UNKNOWNNAME;
}

HRESULT prepareInvoke(const InterfaceDesc& iface, DispId id, InvokeKind kind, const std::vector<Variant>& args,
                      const FuncDesc** member, std::vector<Variant>* coerced, unsigned* argError) {
  const FuncDesc* f = findMember(iface, id);
  if (!f) return DISP_E_MEMBERNOTFOUND;
  if (member) *member = f;
  switch (f->kind) {
    case MemberKind::Method:
      if (kind == InvokeKind::PropertyPut) return DISP_E_MEMBERNOTFOUND;
      return coerceArguments(*f, args, coerced, argError);
    case MemberKind::PropertyReadOnly:
    case MemberKind::PropertyReadWrite:
      if (kind == InvokeKind::PropertyPut) {
        if (f->kind == MemberKind::PropertyReadOnly) return DISP_E_MEMBERNOTFOUND;
        const ParamDesc value[] = {{"value", f->result}};
        return coerceTo(value, args, coerced, argError);
      }
      return coerceArguments(*f, args, coerced, argError);
  }
  return DISP_E_MEMBERNOTFOUND;
}

}  // namespace vz::com
