// TZipWrapper's operations: each builds its vector (zip_wrapper_args.cpp),
// applies the multi-disk refusals, runs the engine call and empties
// FilesToProcess whatever happens. The callback is in zip_wrapper_callback.cpp.
#include "zipwrap/zip_wrapper.h"

#include "zipwrap/engine/engine_results.h"
#include "zipwrap/zip_wrapper_args.h"
#include "zipwrap/zip_wrapper_records.h"

namespace vz::zipwrap {

std::string TZipWrapper::ArchiveComment;

namespace {

// Empties FilesToProcess when the operation ends, on every path out.
class FilesClearer {
 public:
  explicit FilesClearer(std::vector<std::string>& files) : files_(files) {}
  ~FilesClearer() { files_.clear(); }
  FilesClearer(const FilesClearer&) = delete;
  FilesClearer& operator=(const FilesClearer&) = delete;

 private:
  std::vector<std::string>& files_;  // the component's FilesToProcess
};

constexpr int kBindingFailed = 240;

}  // namespace

TZipWrapper::TZipWrapper() : writer_(kWriterLibrary, kWriterEntryPoint), reader_(kReaderLibrary, kReaderEntryPoint) {
  ArchiveComment.clear();
}

TZipWrapper::~TZipWrapper() = default;

int TZipWrapper::run(EngineLibrary& library, const std::vector<std::string>& args) {
  Abort = false;
  const EngineCall entry = library.bind();
  if (entry == nullptr) return kBindingFailed;
  // The engine gets its own zero-terminated copies, with a null after the
  // last one.
  std::vector<std::string> strings = args;
  std::vector<char*> argv;
  argv.reserve(strings.size() + 1);
  for (std::string& s : strings) argv.push_back(s.data());
  argv.push_back(nullptr);
  const uint32_t result =
      entry(kEngineCallMagic, static_cast<int32_t>(strings.size()), argv.data(), &TZipWrapper::engineCallback, this);
  Abort = false;
  SecondaryCode = static_cast<uint16_t>(result >> 16);
  return static_cast<int>(result & 0xFFFF);
}

int TZipWrapper::runCount(uint32_t marker) {
  Abort = false;
  const EngineCall entry = reader_.bind();
  if (entry == nullptr) return kBindingFailed;
  std::string name = ZipFileName;
  char* argv[3] = {reinterpret_cast<char*>(&marker), name.data(), nullptr};
  const uint32_t result = entry(kEngineCallMagic, 1, argv, &TZipWrapper::engineCallback, this);
  Abort = false;
  SecondaryCode = static_cast<uint16_t>(result >> 16);
  return static_cast<int>(result & 0xFFFF);
}

int TZipWrapper::AddFiles(int UpdateMode) {
  FilesClearer clear(FilesToProcess);
  if (MultidiskMode && (UpdateMode == 1 || UpdateMode == 2)) return kResultNotSupported;
  return run(writer_, addFilesArgs(*this, UpdateMode));
}

int TZipWrapper::DeleteFiles() {
  FilesClearer clear(FilesToProcess);
  if (MultidiskMode) return kResultNotSupported;
  return run(writer_, deleteFilesArgs(*this));
}

int TZipWrapper::ExtractFiles(int UpdateMode) {
  FilesClearer clear(FilesToProcess);
  if (MultidiskMode && (UpdateMode == 1 || UpdateMode == 2)) return kResultNotSupported;
  return run(reader_, extractFilesArgs(*this, UpdateMode));
}

int TZipWrapper::FixArchive(bool Thorough) {
  FilesClearer clear(FilesToProcess);
  if (MultidiskMode) return kResultNotSupported;
  return run(writer_, fixArchiveArgs(*this, Thorough));
}

int TZipWrapper::ListArchive() {
  FilesClearer clear(FilesToProcess);
  return run(reader_, listArchiveArgs(*this));
}

int TZipWrapper::TestArchive() {
  FilesClearer clear(FilesToProcess);
  return run(reader_, testArchiveArgs(*this));
}

std::string TZipWrapper::ReadArchiveComment() {
  FilesClearer clear(FilesToProcess);
  // An archive without a comment need not deliver one: start empty so that
  // an earlier archive's comment is never returned for it.
  ArchiveComment.clear();
  const int code = run(reader_, readArchiveCommentArgs(*this));
  return code == kResultOk ? ArchiveComment : "Error #" + std::to_string(code);
}

int TZipWrapper::WriteArchiveComment(const std::string& Text) {
  FilesClearer clear(FilesToProcess);
  if (MultidiskMode) return kResultOk;
  ArchiveComment = std::string(cutText(Text, kZwCommentMaxLength));
  return run(writer_, writeArchiveCommentArgs(*this));
}

int32_t TZipWrapper::GetEntryCount() {
  FilesClearer clear(FilesToProcess);
  return runCount(entryCountMarker(*this)) == kResultOk ? EntryCount : 0;
}

}  // namespace vz::zipwrap
