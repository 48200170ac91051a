// TUnSFX: turns a self-extracting program back into the plain archive it
// carries.
//
// Setting ArchiveFile runs the type detection (TZipCommon); activate()
// then copies the archive part (from the detected start to the end of the
// file) into a file named after OutFilename with the extension of the
// kind found:
//
//   ArcExe .ARC   ArjExe .ARJ   BHExe .BH   PakExe .PAK   RarExe .RAR
//   ZipExe, Zip250Exe .ZIP
//
// The other formats' headers hold no positions, so their archive part is
// copied as it is; a ZIP copy is rebased (sfx_zip_rebase.h) so its offsets
// count from its own start and any reader opens it. The copy is written to
// a temporary file in the target's folder and renamed into place when it
// is complete, so a failed conversion leaves no half archive behind.
//
// Messages are shown through the user-interface service (platform/ui.h)
// and kept in Message() for the host:
//   no ArchiveFile                 "ArchiveFile must be defined."
//   type below atARC, empty file   "Invalid Archive."
//   any other type not listed      "Unsupported or invalid archive type."
//   target is a folder             NAME + " is an existing directory."
//   target's folder missing        asks "Directory NOT found, create?";
//                                  failing: "Error creating directory: " + FOLDER
// An existing target is offered to OnFileExists (Accept starts true: the
// host named the target; a handler clears it to keep the file).
#pragma once

#include <functional>
#include <string>

#include "manager/readers/zip_common.h"
#include "platform/attributes.h"

namespace vz::readers {

inline constexpr const char* kSfxNoArchiveFile = "ArchiveFile must be defined.";
inline constexpr const char* kSfxInvalidArchive = "Invalid Archive.";
inline constexpr const char* kSfxUnsupportedType = "Unsupported or invalid archive type.";
inline constexpr const char* kSfxExistingDirectory = " is an existing directory.";
inline constexpr const char* kSfxCreateDirectory = "Directory NOT found, create?";
inline constexpr const char* kSfxCreateDirectoryFailed = "Error creating directory: ";

// The extension of the plain archive of a self-extractor's type (".ZIP"),
// empty for a type that cannot be converted.
std::string sfxArchiveExtension(TArcType type);

class TUnSFX : public TZipCommon {
 public:
  // The target. Its extension is replaced by the kind's; empty: the
  // program's own name with that extension.
  std::string OutFilename;
  std::function<void(TUnSFX&, const std::string& fn, const vz::LocalTime& fileDate, bool& accept)> OnFileExists;

  // Converts. True when the plain archive was written (ConvertedFile()).
  bool activate();
  // The message of the last conversion, empty when it went well or the user
  // declined (folder not created, OnFileExists refused).
  const std::string& Message() const { return message_; }
  // The file the last successful conversion wrote.
  const std::string& ConvertedFile() const { return converted_; }

 private:
  // Shows text and keeps it as the message; returns false.
  bool fail(const std::string& text);
  // Copies the archive part to target through a temporary file.
  bool writeCopy(const std::string& target);

  std::string message_;    // the last conversion's message
  std::string converted_;  // the last conversion's output file
};

}  // namespace vz::readers
