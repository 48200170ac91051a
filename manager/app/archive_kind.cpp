// The extension table, the open dialog's filters and the multi-disk test.
#include "manager/app/archive_kind.h"

#include <sys/stat.h>

#include <array>
#include <utility>

#include "platform/drives.h"

namespace vz::manager {

namespace {

// Upper-cased extension with its dot -> kind.
constexpr std::array<std::pair<const char*, ArchiveKind>, 13> kExtensions{{
    {".ZIP", ArchiveKind::akZip},
    {".ARJ", ArchiveKind::akArj},
    {".ARC", ArchiveKind::akArc},
    {".BH", ArchiveKind::akBlakHole},
    {".LHA", ArchiveKind::akLha},
    {".LHZ", ArchiveKind::akLha},
    {".LZH", ArchiveKind::akLha},
    {".ZOO", ArchiveKind::akZoo},
    {".TAR", ArchiveKind::akTar},
    {".UUE", ArchiveKind::akUue},
    {".CAB", ArchiveKind::akCab},
    {".Z", ArchiveKind::akZ},
    {".GZ", ArchiveKind::akGz},
}};

std::string upperExtension(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  std::string ext = path.substr(dot);
  for (char& c : ext)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return ext;
}

}  // namespace

ArchiveKind archiveKindOf(const std::string& path) {
  const std::string ext = upperExtension(path);
  for (const auto& [e, kind] : kExtensions)
    if (ext == e) return kind;
  return ArchiveKind::akUnknown;
}

std::string archiveKindName(ArchiveKind kind) {
  switch (kind) {
    case ArchiveKind::akZip:
      return "ZIP";
    case ArchiveKind::akArj:
      return "ARJ";
    case ArchiveKind::akArc:
      return "ARC";
    case ArchiveKind::akBlakHole:
      return "Blak-Hole";
    case ArchiveKind::akLha:
      return "LHA";
    case ArchiveKind::akZoo:
      return "ZOO";
    case ArchiveKind::akTar:
      return "TAR";
    case ArchiveKind::akUue:
      return "UU Encoded";
    case ArchiveKind::akCab:
      return "Microsoft Cabinet";
    case ArchiveKind::akZ:
      return "Unix-Compressed (.Z)";
    case ArchiveKind::akGz:
      return "Unix-Compressed (.GZ)";
    case ArchiveKind::akUnknown:
      break;
  }
  return "Unknown";
}

std::string openDialogFilter() {
  return "All Archives|*.ARC;*.ARJ;*.BH;*.LZH;*.LHA;*.LHZ;*.ZOO;*.ZIP;*.TAR;*.UUE;*.CAB;*.GZ;*.Z;"
         "|Arc Files|*.ARC"
         "|Arj Files|*.ARJ"
         "|Blak-Hole files|*.BH"
         "|LZH, LHA, LHZ files only|*.LZH;*.LHA;*.LHZ"
         "|Zip files only|*.ZIP"
         "|Zoo files only|*.ZOO"
         "|Tar files only|*.TAR"
         "|UU Encoded files only|*.UUE"
         "|Cab files only|*.CAB"
         "|Unix Compressed files|*.GZ;*.Z||";
}

bool IsMultiDiskArchive(const std::string& path) {
  // Only a path that names its drive letter can be on a removable disk.
  if (path.size() < 2 || path[1] != ':') return false;
  if (vz::drives::driveType(path.substr(0, 2)) != vz::DriveType::Removable) return false;
  std::optional<std::string> native = vz::drives::resolveDrivePath(path);
  struct stat st {};
  if (!native || ::stat(native->c_str(), &st) != 0) return true;
  std::optional<std::string> label = vz::drives::volumeLabel(path);
  return label && label->rfind("PKBACK#", 0) == 0;
}

}  // namespace vz::manager
