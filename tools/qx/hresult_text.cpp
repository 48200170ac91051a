// Names for the result codes qx can meet while creating and calling the
// control. Only codes the object model produces on these paths are named;
// any other code is shown in hexadecimal.
#include "tools/qx/hresult_text.h"

#include <cstdio>

namespace vz::qx {

namespace {

struct Known {
  com::HRESULT code;
  const char* text;
};

// One row per code: the text says what went wrong in the user's words.
constexpr Known kKnown[] = {
    {com::E_NOTIMPL, "not implemented"},
    {com::E_NOINTERFACE, "interface not supported"},
    {com::E_POINTER, "invalid pointer"},
    {com::E_FAIL, "unspecified failure"},
    {com::E_UNEXPECTED, "unexpected failure"},
    {com::E_OUTOFMEMORY, "out of memory"},
    {com::E_INVALIDARG, "invalid argument"},
    {com::CLASS_E_NOAGGREGATION, "aggregation not supported"},
    {com::CLASS_E_CLASSNOTAVAILABLE, "class not available from the library"},
    {com::REGDB_E_CLASSNOTREG, "class not registered"},
    {com::CO_E_CLASSSTRING, "ProgID not registered"},
    {com::CO_E_DLLNOTFOUND, "library cannot be loaded"},
    {com::CO_E_ERRORINDLL, "library lacks the server entry points"},
    {com::DISP_E_MEMBERNOTFOUND, "member not found"},
    {com::DISP_E_TYPEMISMATCH, "type mismatch"},
    {com::DISP_E_UNKNOWNNAME, "unknown name"},
    {com::DISP_E_BADPARAMCOUNT, "wrong number of arguments"},
    // 0x80040200..0x80040202 also name self-registration failures; here they
    // only come from connection points.
    {com::CONNECT_E_NOCONNECTION, "no such connection"},
    {com::CONNECT_E_ADVISELIMIT, "connection limit reached"},
    {com::CONNECT_E_CANNOTCONNECT, "cannot connect"},
};

}  // namespace

std::string describeHresult(com::HRESULT code) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(code));
  for (const Known& k : kKnown) {
    if (k.code == code) return std::string(k.text) + " (" + hex + ")";
  }
  return std::string("error ") + hex;
}

}  // namespace vz::qx
