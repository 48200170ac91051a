// What the main window hands to the desktop: the Send To entries (the
// ".desktop" files in the Windows folder's "Sendto/"), mail with the
// archive attached (xdg-email), the file manager on a folder (xdg-open),
// the virus scanner with its parameters, and opening a document with its
// default application. Each goes through platform/process.h, so tests
// replace the launcher and see the argument vectors.
#pragma once

#include <string>
#include <vector>

namespace vz::manager {

// One Send To target.
struct SendToEntry {
  std::string caption;      // the desktop file's Name (else its file name without ".desktop")
  std::string desktopFile;  // full path of the ".desktop" file
};

// The Send To targets, sorted by caption; empty when the folder holds none.
std::vector<SendToEntry> sendToEntries();
// Opens the archive with the target (its Exec line with %f/%F/%u/%U
// replaced by the path, or the path appended). False when it cannot start.
bool sendTo(const SendToEntry& entry, const std::string& archivePath);

// Mail with the archive attached: 0 when the mail program started, else a
// code whose text mailErrorText gives (the standard MAPI descriptions).
int mailArchive(const std::string& archivePath);
std::string mailErrorText(int code);

// The file manager on a folder.
bool openFileManager(const std::string& folder);

// The virus scanner: program with VirusParam split into arguments and the
// path last. False when the program is empty or cannot start.
bool startVirusScan(const std::string& program, const std::string& params, const std::string& path);

}  // namespace vz::manager
