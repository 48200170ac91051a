#include "manager/vz/wrapper_setup.h"

namespace vz::cli {

void configureAsManager(zipwrap::TZipWrapper& w) {
  w.Compression = 6;
  w.StoredExtensions = kManagerStoredExtensions;
}

std::vector<std::string> filesToProcess(const CommandLine& line) {
  std::vector<std::string> list = line.files;
  bool reader = line.command == Command::List || line.command == Command::Test || line.command == Command::Extract;
  if (list.empty() && reader && !line.excludes.empty()) list.push_back("*");
  for (const std::string& p : line.includes) list.push_back(">" + p);
  for (const std::string& p : line.excludes) list.push_back("<" + p);
  return list;
}

void applyToWrapper(const CommandLine& line, zipwrap::TZipWrapper& w) {
  w.ZipFileName = line.archive;
  w.FilesToProcess = filesToProcess(line);
  if (line.recurse) w.Recurse = *line.recurse;
  if (line.usePaths) w.UsePaths = *line.usePaths;
  if (line.password) w.Password = *line.password;
  if (line.compression) w.Compression = *line.compression;
  if (line.overwrite) w.Overwrite = *line.overwrite == OverwriteChoice::Always ? zipwrap::zowAlways : zipwrap::zowNever;
  if (line.extractDirectory) w.ExtractDirectory = *line.extractDirectory;
  if (line.includeHidden) w.IncludeHiddenFiles = *line.includeHidden;
  if (line.includeDirectories) w.IncludeDirectoryEntries = *line.includeDirectories;
  if (line.moveFiles) w.MoveFiles = *line.moveFiles;
  if (line.multidisk) w.MultidiskMode = *line.multidisk;
  if (line.clearDisks) w.ClearDisks = *line.clearDisks;
  if (line.tempPath) w.TempPath = *line.tempPath;
  if (line.useTempFile) w.UseTempFile = *line.useTempFile;
  if (line.since) {
    w.ProcessSince = zipwrap::TZwDateTime{};
    w.ProcessSince.year = line.since->year;
    w.ProcessSince.month = line.since->month;
    w.ProcessSince.day = line.since->day;
  }
  if (line.includeVolumeLabel) w.IncludeVolumeLabel = *line.includeVolumeLabel;
  if (line.storedExtensions) w.StoredExtensions = *line.storedExtensions;
  if (line.method) w.EngineMethod = *line.method;
  w.AesEncryption = line.aes;
}

}  // namespace vz::cli
