// The control's type library as constant tables: the dispatch interface
// _DQX with its 71 methods, AboutBox and the hWnd property; the event
// interface _DQXEvents with its 24 events; the coclass QX and the property
// page class. Shared by the control (dispatch, registration) and by hosts
// such as qx (listing, argument conversion).
#pragma once

#include "platform/com/typelib.h"

namespace vz::control {

extern const com::Guid LIBID_QX30W32Lib;  // {070BA6E0-BC0B-11CF-ABB4-444553540000}, version 3.0
extern const com::Guid IID_DQX;           // {070BA6E1-...}
extern const com::Guid DIID_DQXEvents;    // {070BA6E2-...}
extern const com::Guid CLSID_QX;          // {070BA6E3-...}
extern const com::Guid CLSID_QXPropPage;  // {070BA6E4-...}

inline constexpr const char* kQxProgId = "Quorrin95.CompressCtrl.1";
inline constexpr const char* kQxPropPageProgId = "Quorrin95.CompressPropPage.1";
inline constexpr const char* kQxLibraryFile = "QX30W32.so";

extern const com::InterfaceDesc kDQX;        // methods and the hWnd property
extern const com::InterfaceDesc kDQXEvents;  // events
extern const com::CoClassDesc kQxClass;
extern const com::CoClassDesc kQxPropPageClass;
extern const com::TypeLibDesc kQxTypeLib;

// DISPIDs of the stock members.
inline constexpr com::DispId kDispIdAboutBox = -552;
inline constexpr com::DispId kDispIdHWnd = -515;

}  // namespace vz::control
