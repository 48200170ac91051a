// The file-association check vzip runs at every start: each archive
// extension it opens should name the class "VemoraZipFile" as its default
// value under HKEY_CLASSES_ROOT of our registry. Every extension that does
// not is a problem with the question to ask; the user's Yes repairs it by
// writing the class (its description, icon, open command and the shell
// extension's context-menu handler), the extension's default value, and the
// desktop's default application for the extension's MIME types
// (mimeapps.list of the user, naming vemorazip.desktop), so that a double
// click in the file manager opens vzip as well.
#pragma once

#include <string>
#include <vector>

namespace vz::manager {

// The class every associated extension names.
inline constexpr const char* kFileClass = "VemoraZipFile";
// The class's description (its default value).
inline constexpr const char* kFileClassDescription = "Vemora.Zip Compressed File";
// The shell extension's class identifier, the class's context-menu handler.
inline constexpr const char* kShellExtensionClsid = "{5b117d80-038d-11d1-8d93-fafb6574cfd7}";
// The desktop file the MIME defaults point at.
inline constexpr const char* kDesktopFileName = "vemorazip.desktop";

struct AssociationProblem {
  std::string extension;     // ".zip", lower case with its dot, as checked
  std::string description;   // "ZIP", "Microsoft Cabinet", ...
  std::string questionText;  // the whole question shown to the user
};

// The extensions whose association is missing or names another class, in
// the order .zip, .arc, .zoo, .tar, .uue, .arj, .cab, .bh, .lha, .lzh, .lhz,
// .z, .gz.
std::vector<AssociationProblem> findAssociationProblems();

// Writes the class and the extension's association (our registry and the
// desktop's MIME defaults). The program path is that of the running
// program (/proc/self/exe).
void repairAssociation(const AssociationProblem& p);

}  // namespace vz::manager
