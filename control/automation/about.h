// The control's about box and its property page text.
//
// AboutBox asks its question through the user-interface service: the
// caption, the control's name line, two lines about its maker and an "OK"
// button. The original bracketed the dialog with notifications to an
// embedding container; this object model has no container site, so there is
// nothing to notify.
//
// The property page has no properties to show: it only says that the
// control is driven by methods. Hosts that offer a properties command show
// kPropertyPageText.
#pragma once

#include "platform/ui.h"

namespace vz::control {

inline constexpr const char* kAboutCaption = "About Quorrin '95 Compression OCX...";
inline constexpr const char* kAboutTitleLine = "Quorrin '95 Compression OCX";
// The maker's notice lines.
inline constexpr const char* kAboutNoticeLine1 = "Vemora.Zip compression control, version 3.0";
inline constexpr const char* kAboutNoticeLine2 = "Copyright (C) the Vemora.Zip developers";
inline constexpr const char* kPropertyPageCaption = "General";
inline constexpr const char* kPropertyPageText = "Quorrin '95 CompressionOCX doesn' t use properties but methods.";

// The question AboutBox asks; helpFile is offered with it when not empty.
ui::Question aboutQuestion(const std::string& helpFile);
// Shows the about box modally.
void showAboutBox(const std::string& helpFile);

}  // namespace vz::control
