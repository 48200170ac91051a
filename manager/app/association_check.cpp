// The start-up association check and its repair.
//
// Our registry's classes root holds, after a repair:
//   HKCR\.zip                                  @ = "VemoraZipFile"
//   HKCR\VemoraZipFile                         @ = "Vemora.Zip Compressed File"
//   HKCR\VemoraZipFile\DefaultIcon             @ = "<program>,0"
//   HKCR\VemoraZipFile\Shell\Open\command      @ = "<program> \"%1\""
//   HKCR\VemoraZipFile\ShellEx\ContextMenuHandlers
//                                              @ = the shell extension's CLSID
// and the user's mimeapps.list names vemorazip.desktop as the default for
// the extension's MIME types (mime_defaults.h).
#include "manager/app/association_check.h"

#include <unistd.h>

#include <array>

#include "manager/app/mime_defaults.h"
#include "platform/charcase.h"
#include "platform/registry.h"

namespace vz::manager {
namespace {

struct CheckedExtension {
  const char* extension;               // as checked, lower case with its dot
  const char* description;             // the name the question uses
  std::vector<std::string> mimeTypes;  // the freedesktop types of such files
};

// The extensions in the order they are checked (and asked about).
const std::array<CheckedExtension, 13>& checkedExtensions() {
  static const std::array<CheckedExtension, 13> table = {{
      {".zip", "ZIP", {"application/zip"}},
      {".arc", "ARC", {"application/x-arc"}},
      {".zoo", "ZOO", {"application/x-zoo"}},
      {".tar", "TAR", {"application/x-tar"}},
      {".uue", "UU Encoded", {"text/x-uuencode"}},
      {".arj", "ARJ", {"application/x-arj"}},
      {".cab", "Microsoft Cabinet", {"application/vnd.ms-cab-compressed"}},
      {".bh", "Blak-Hole", {"application/x-bh"}},
      {".lha", "LHA-Compressed (.LHA)", {"application/x-lha"}},
      {".lzh", "LHA-Compressed (.LZH)", {"application/x-lha"}},
      {".lhz", "LHA-Compressed (.LHZ)", {"application/x-lhz"}},
      {".z", "Unix-Compressed (.Z)", {"application/x-compress"}},
      {".gz", "Unix-Compressed (.GZ)", {"application/gzip"}},
  }};
  return table;
}

std::string question(const std::string& description) {
  return "Warning: Vemora.Zip is no longer associated with " + description +
         " files\n\nThis means that you can't load " + description +
         " files by double-clicking them.\nWould you like Vemora.Zip to correct this problem?";
}

// The running program's path; "vzip" when the link cannot be read.
std::string programPath() {
  std::string buf(4096, '\0');
  ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
  if (n <= 0 || static_cast<size_t>(n) >= buf.size()) return "vzip";
  buf.resize(static_cast<size_t>(n));
  return buf;
}

}  // namespace

std::vector<AssociationProblem> findAssociationProblems() {
  std::vector<AssociationProblem> problems;
  for (const CheckedExtension& e : checkedExtensions()) {
    std::string cls = reg::getString(RegRoot::ClassesRoot, e.extension, "").value_or("");
    if (!equalsNoCase(cls, kFileClass)) problems.push_back({e.extension, e.description, question(e.description)});
  }
  return problems;
}

void repairAssociation(const AssociationProblem& p) {
  constexpr RegRoot kRoot = RegRoot::ClassesRoot;
  const std::string cls = kFileClass;
  const std::string program = programPath();
  reg::setString(kRoot, cls, "", kFileClassDescription);
  reg::setString(kRoot, cls + "\\DefaultIcon", "", program + ",0");
  reg::setString(kRoot, cls + "\\Shell\\Open\\command", "", program + " \"%1\"");
  reg::setString(kRoot, cls + "\\ShellEx\\ContextMenuHandlers", "", kShellExtensionClsid);
  reg::setString(kRoot, p.extension, "", kFileClass);

  for (const CheckedExtension& e : checkedExtensions())
    if (equalsNoCase(e.extension, p.extension)) setDefaultApplication(e.mimeTypes, kDesktopFileName);
}

}  // namespace vz::manager
