// View: extraction into the view folder, each file opened after it was
// extracted.
//
// Viewers, in order of preference:
//   - an EXE or COM file, when runExe is set: started itself;
//   - unless useTextEditor is set: the desktop's default application for
//     the file's type, when the type has one (the registered-type lookup);
//   - otherwise the text editor.
// A viewer that cannot be started ends the run: the entry's status becomes
// 10 and the cancel flag is set, so no further entry is extracted.
//
// The result (the original left its sense open: its TRUE went with a
// failed start): TRUE means the host's request was served, i.e. at least
// one viewer started and no selected entry failed, was skipped or lacked
// its viewer; FALSE otherwise, also when the mask selected nothing.
#include "control/engine/read/directory_reader.h"
#include "control/engine/extract/extract_job.h"
#include "control/engine/extract/extract_run.h"
#include "control/engine/common/status.h"
#include "control/engine/common/temp_base.h"
#include "platform/charcase.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "platform/process.h"

namespace vz::engine {

namespace {

// The view folder's name under the temporary base folder.
constexpr const char* kViewFolderName = "QXVIEW";

}  // namespace

std::string viewFolder(const std::string& privateTempDir) {
  if (!privateTempDir.empty()) return absolutePath(toNativePath(privateTempDir));
  return joinPath(computeTempBaseFolder(), kViewFolderName);
}

bool ExtractJob::openViewer(const std::string& path) const {
  const std::string ext = toUpper(extensionPart(path));
  if (opt_.runExe && (ext == ".EXE" || ext == ".COM")) return runExecutable(path);
  if (!opt_.useTextEditor && hasDefaultApplication(path)) return openDocument(path);
  return openInTextEditor(path);
}

bool view(UnzipState& st, const std::string& zipName, const std::string& mask, bool useTextEditor, bool runExe,
          const std::string& privateTempDir) {
  auto done = [&](ReadStatus status, bool result) {
    st.status = status;
    return result;
  };
  if (mask.size() > kMaxMaskLength) return done(ReadStatus::MaskTooLong, false);
  st.replaceAnswer = kReplaceUnset;
  st.passwordAnswer = kPasswordUnset;
  st.eraseReadOnly = false;

  DirectoryReader reader(st);
  if (const ReadStatus s = openArchive(reader, zipName); s != ReadStatus::Ok) return done(s, false);
  ExtractOptions o;
  o.mode = ExtractMode::View;
  o.mask = mask;
  o.destination = viewFolder(privateTempDir);
  o.dropPaths = false;
  o.overwrite = OverwriteMode::Always;
  o.useTextEditor = useTextEditor;
  o.runExe = runExe;
  if (const ReadStatus d = destinationDriveStatus(o.destination); d != ReadStatus::Ok) return done(d, false);
  if (!makeDirectories(o.destination) || !isDirectory(o.destination)) return done(ReadStatus::CrcError, false);
  if (!isReadable(reader.locateEndRecord())) return done(ReadStatus::CrcError, false);

  ExtractJob job(st, reader, o);
  const ReadStatus status = job.run();
  return done(status, status == ReadStatus::Ok && job.viewersStarted() > 0);
}

}  // namespace vz::engine
