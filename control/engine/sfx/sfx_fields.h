// The configuration block's field table, shared by its writer and reader
// (sfx_config.cpp) and the language-file reading (sfx_language.cpp).
#pragma once

#include <cstddef>
#include <string>

#include "control/engine/sfx/sfx_config.h"

namespace vz::engine::sfx_fields {

// One text field of the block: where it lies, its language-file key and the
// text used when the key is missing or empty.
struct TextField {
  size_t offset;
  size_t width;
  std::string SfxConfig::*member;
  const char* key;  // null: not from the language file
  const char* def;
};

// Offsets and widths of the block. Fields 1 and 2 are single digits at 0
// and 1; caption and run command (2, 52) come from the caller.
inline constexpr size_t kCaptionOffset = 2;
inline constexpr size_t kRunCommandOffset = 52;
inline constexpr size_t kTextWidth50 = 50;

inline constexpr TextField kFields[] = {
    {kCaptionOffset, kTextWidth50, &SfxConfig::caption, nullptr, ""},
    {kRunCommandOffset, kTextWidth50, &SfxConfig::runCommand, nullptr, ""},
    {102, 10, &SfxConfig::okButton, "OKButton", "Ok"},
    {112, 10, &SfxConfig::cancelButton, "CancelButton", "Cancel"},
    {122, 50, &SfxConfig::cancelActionMsg, "CancelActionMsg", "Would you like to stop this program?"},
    {172, 50, &SfxConfig::ioErrorMsg, "IOErrorMsg", "Can' t perform the required action (I/O error)."},
    {222, 50, &SfxConfig::diskFullMsg, "DiskFullMsg", "Disk full."},
    {272, 50, &SfxConfig::cantCreateDirMsg, "CantCreateDirMsg", "Can' t create this directory."},
    {322, 100, &SfxConfig::browseDirTitle, "BrowseDirTitle", "Choose directory..."},
    {422, 20, &SfxConfig::passwordTitle, "UnzipPasswordTitle", "Password..."},
    {442, 20, &SfxConfig::passwordLabel, "UnzipPasswordLabel", "Password:"},
    {462, 100, &SfxConfig::passwordText, "UnzipPasswordText", "A password is required to unzip the files."},
    {562, 10, &SfxConfig::passwordRetryBtn, "UnzipPasswordRetryBtn", "&Retry"},
    {572, 10, &SfxConfig::passwordBypassBtn, "UnzipPasswordBypassBtn", "&Bypass"},
    {582, 10, &SfxConfig::passwordNeverBtn, "UnzipPasswordNeverBtn", "&Never"},
    {592, 20, &SfxConfig::replaceTitle, "UnzipReplaceTitle", "Replace..."},
    {612, 100, &SfxConfig::replaceText, "UnzipReplaceText",
     "The file %1 already exist on your disk. Would you like to replace it?"},
    {712, 10, &SfxConfig::replaceYesBtn, "UnzipReplaceYesBtn", "&Yes"},
    {722, 10, &SfxConfig::replaceNoBtn, "UnzipReplaceNoBtn", "&No"},
    {732, 10, &SfxConfig::replaceAlwaysBtn, "UnzipReplaceAlwaysBtn", "&Always"},
    {742, 10, &SfxConfig::replaceNeverBtn, "UnzipReplaceNeverBtn", "Ne&ver"},
    {752, 100, &SfxConfig::defaultFolder, "DefaultFolder", ""},
};

}  // namespace vz::engine::sfx_fields
