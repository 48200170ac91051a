// TUnSFX: the checks in the order the host meets them (archive named, type
// convertible, target usable), then the copy.
#include "manager/readers/un_sfx.h"

#include <vector>

#include "manager/readers/reader_errors.h"
#include "manager/readers/sfx_zip_rebase.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "platform/tempname.h"
#include "platform/ui.h"

namespace vz::readers {

namespace {

constexpr const char* kCaption = "Vemora.Zip";
constexpr size_t kCopyBlock = size_t{1} << 20;  // bytes moved per read and write

// name with its extension (after the last "." of the last component)
// replaced by ext.
std::string withExtension(const std::string& name, const std::string& ext) {
  const std::string dot = extensionPart(name);
  return name.substr(0, name.size() - dot.size()) + ext;
}

// The folder part without its closing separator ("/a/b/" -> "/a/b").
std::string folderOf(const std::string& path) {
  std::string folder = directoryPart(path);
  while (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
  return folder;
}

}  // namespace

std::string sfxArchiveExtension(TArcType type) {
  switch (type) {
    case atArcExe:
      return ".ARC";
    case atArjExe:
      return ".ARJ";
    case atBHExe:
      return ".BH";
    case atPakExe:
      return ".PAK";
    case atRarExe:
      return ".RAR";
    case atZipExe:
    case atZip250Exe:
      return ".ZIP";
    default:
      return {};
  }
}

bool TUnSFX::fail(const std::string& text) {
  message_ = text;
  ui::messageBox(text, kCaption, ui::MB_OK | ui::MB_ICONERROR);
  return false;
}

bool TUnSFX::activate() {
  message_.clear();
  converted_.clear();
  if (archiveFile_.empty()) return fail(kSfxNoArchiveFile);
  if (arcType_ < atARC || fileSize_ == 0) return fail(kSfxInvalidArchive);
  const std::string ext = sfxArchiveExtension(arcType_);
  if (ext.empty()) return fail(kSfxUnsupportedType);

  const std::string given = OutFilename.empty() ? archiveFile_ : OutFilename;
  if (isDirectory(given)) return fail(given + kSfxExistingDirectory);
  const std::string target = withExtension(given, ext);
  if (isDirectory(target)) return fail(target + kSfxExistingDirectory);

  const std::string folder = folderOf(target);
  if (!folder.empty() && !isDirectory(folder)) {
    if (ui::messageBox(kSfxCreateDirectory, kCaption, ui::MB_YESNO | ui::MB_ICONQUESTION) != ui::IDYES) return false;
    if (!makeDirectories(folder)) return fail(kSfxCreateDirectoryFailed + folder);
  }

  if (fileExists(target) && OnFileExists) {
    bool accept = true;
    OnFileExists(*this, target, toLocalTime(getFileTime(target).value_or(0)), accept);
    if (!accept) return false;
  }
  if (!writeCopy(target)) return false;
  converted_ = target;
  return true;
}

bool TUnSFX::writeCopy(const std::string& target) {
  const std::string folder = folderOf(target);
  const std::string temp = getTempFileName(folder.empty() ? "." : folder, "SFX");
  vz::File in, out;
  if (!in.open(archiveFile_, vz::File::Mode::Read)) {
    if (!temp.empty()) removeFile(temp);
    raiseError(E_OPEN);
    return fail(std::string(readerErrorText(E_OPEN)));
  }
  // The reserved name is taken again as a new file so that the archive
  // gets the usual permissions rather than the reservation's private ones.
  if (!temp.empty()) removeFile(temp);
  if (temp.empty() || !out.open(temp, vz::File::Mode::CreateNew, 0666)) {
    if (!temp.empty()) removeFile(temp);
    raiseError(E_WRITE);
    return fail(std::string(readerErrorText(E_WRITE)));
  }
  // Fails the conversion with code, the temporary file removed.
  auto abandon = [&](int32_t code, const std::string& text) {
    out.close();
    removeFile(temp);
    if (code) raiseError(code);
    return fail(text);
  };

  std::vector<uint8_t> block(kCopyBlock);
  const int64_t end = in.size();
  for (int64_t pos = archiveStart_; pos < end;) {
    const int64_t got = in.readAt(pos, block.data(), block.size());
    if (got <= 0) return abandon(E_READ, std::string(readerErrorText(E_READ)));
    if (!out.write(block.data(), static_cast<size_t>(got)))
      return abandon(E_WRITE, std::string(readerErrorText(E_WRITE)));
    pos += got;
  }
  if (plainType(arcType_) == atZIP || plainType(arcType_) == atZip250) {
    switch (rebaseZipCopy(out, archiveStart_)) {
      case RebaseResult::Done:
        break;
      case RebaseResult::NotZip:
      case RebaseResult::BadOffsets:
        return abandon(0, kSfxInvalidArchive);
      case RebaseResult::WriteError:
        return abandon(E_WRITE, std::string(readerErrorText(E_WRITE)));
    }
  }
  const bool synced = out.sync();
  out.close();
  if (!synced || !renameFile(temp, target)) {
    removeFile(temp);
    raiseError(E_WRITE);
    return fail(std::string(readerErrorText(E_WRITE)));
  }
  return true;
}

}  // namespace vz::readers
