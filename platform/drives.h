// Drives and volumes.
//
// The drive of a path is the mount that holds it (/proc/self/mountinfo).
// Its type: CD-ROM (iso9660, udf, or an "sr" device), removable
// (/sys/block/<dev>/removable = 1), network (nfs, cifs, smb3, sshfs, fuse
// network file systems), else fixed. Free space comes from statvfs. The
// label of a volume is the text of the file ".vzlabel" in its root when that
// file exists, else the file system's own label (/dev/disk/by-label).
//
// Simulated drives: the environment variable VZ_DRIVES names an INI file
// with one section per drive ("[A:]") and the keys
//   Root        the folder that holds the medium's files
//   Type        removable, fixed, cdrom, network (default fixed)
//   Label       the volume label (a ".vzlabel" file in Root wins)
//   Free        free bytes; absent: Capacity minus the bytes in Root when
//               Capacity is given, else the real free space of Root
//   Capacity    size of the medium in bytes (optional)
//   ReadOnly    1: the medium is write-protected
//   FreeUnknown 1: the free space cannot be read
// A path "A:\X\Y" names Root/X/Y (".." stops at Root), and a path inside
// Root belongs to drive A:. A relative Root is taken in the INI file's
// folder. The file is re-read on every call, so a test can change a drive
// between two operations. Simulated limits are enforced: File refuses to
// open a file for writing on a write-protected medium (EROFS) and fails a
// write that passes the medium's free space (ENOSPC).
//
// Without VZ_DRIVES, "C:" names "/" and other drive letters name no drive.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vz {

// The values of the original GetDriveType.
enum class DriveType : int {
  Unknown = 0,
  NoRootDir = 1,
  Removable = 2,
  Fixed = 3,
  Remote = 4,
  CdRom = 5,
  RamDisk = 6,
};

struct DriveInfo {
  char letter = 0;   // 'A'..'Z', 0 for a mount with no drive letter
  std::string root;  // the folder of the drive's root (mount point or Root)
  DriveType type = DriveType::Unknown;
  bool simulated = false;
};

namespace drives {

// Resolves "X:\..." or "X:/..." (and "X:" alone) to a file-system path when
// X is a known drive; nullopt for other text or unknown letters.
std::optional<std::string> resolveDrivePath(std::string_view path);
// The drive that holds path (which need not exist yet: its nearest existing
// parent counts). Accepts native and drive-letter paths.
std::optional<DriveInfo> driveOf(std::string_view path);
// GetDriveType of a root or any path: NoRootDir when it names nothing.
DriveType driveType(std::string_view path);
// Free bytes for the caller on the drive of path; nullopt when unknown.
std::optional<uint64_t> freeSpace(std::string_view path);
// Whether the medium of path refuses writes (write-protected or read-only
// mount).
bool isWriteProtected(std::string_view path);
// The label; "" for a volume without one, nullopt when path names no drive.
std::optional<std::string> volumeLabel(std::string_view path);
// Writes ".vzlabel" in the volume's root; false on a read-only medium or
// for a label with a line break. An empty label is stored as an empty file
// (it clears the label, hiding the file system's or the Label key's).
bool setVolumeLabel(std::string_view path, std::string_view label);
// Letters of the drives that exist ("C" and every simulated one).
std::vector<char> letters();

// For File: how many more bytes may be written to a file at path, or
// nullopt when there is no simulated limit; errno-style refusal when the
// simulated medium is write-protected (returns 0 and sets *readOnly).
std::optional<uint64_t> simulatedWriteAllowance(std::string_view path, bool* readOnly);

// Test and user control of simulated drives: removes every file of the
// drive's medium (a new blank disk is inserted) and clears its label.
bool insertBlankMedium(char letter);
// Changes one key of a simulated drive's section ("ReadOnly", "Free", ...).
bool setSimulatedDriveKey(char letter, std::string_view key, std::string_view value);

}  // namespace drives
}  // namespace vz
