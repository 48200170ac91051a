// `qx --list`: the control's type library in a readable form, one member a
// line under headings for methods, properties and events:
//
//   Methods of _DQX {070BA6E1-BC0B-11CF-ABB4-444553540000}:
//      1  BOOL IsFileNameInFilter(BSTR szName, BSTR szPattern)
//     63  short UnzipFiles(BSTR szZipName, BSTR szMask, ...)
//   -552  void AboutBox()
//   Properties of _DQX:
//   -515  long hWnd (read-only)
//   Events of _DQXEvents {070BA6E2-BC0B-11CF-ABB4-444553540000}:
//      1  void ZNOpenFile(BSTR szName)
#pragma once

#include <ostream>
#include <string>

#include "platform/com/typelib.h"

namespace vz::qx {

// "short UnzipFiles(BSTR szZipName, ...)" for a method or event;
// "long hWnd (read-only)" for a property.
std::string formatSignature(const com::FuncDesc& member);

// Prints the members of the dispatch interface and of the event interface.
void printTypeLibrary(std::ostream& out, const com::InterfaceDesc& methods, const com::InterfaceDesc& events);

}  // namespace vz::qx
