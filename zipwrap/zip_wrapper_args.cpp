// The argument vectors of the wrapper's operations, in the order the
// engine's command line takes them (zip_wrapper_args.h).
#include "zipwrap/zip_wrapper_args.h"

#include <cstdio>

#include "zipwrap/engine/engine_abi.h"

namespace vz::zipwrap {
namespace {

using Args = std::vector<std::string>;

void append(Args& out, const Args& more) { out.insert(out.end(), more.begin(), more.end()); }

// "-g": no temporary copy, asked for or forced by a spanned archive.
bool inPlace(const TZipWrapper& w) { return !w.UseTempFile || w.MultidiskMode; }

// "-f" for freshen, "-u" for update, nothing for a plain add or extract.
void appendUpdateMode(Args& out, int mode) {
  if (mode == 1) out.push_back("-f");
  if (mode == 2) out.push_back("-u");
}

}  // namespace

Args fileListWithFilters(const Args& files, bool includeFilters) {
  Args out, includes, excludes;
  for (const std::string& entry : files) {
    if (entry.empty()) continue;
    if (entry[0] == '<') {
      excludes.push_back(entry.substr(1));
    } else if (entry[0] == '>' && includeFilters) {
      includes.push_back(entry.substr(1));
    } else {
      out.push_back(entry);
    }
  }
  if (out.empty()) return out;
  if (!includes.empty()) {
    out.push_back("-i");
    append(out, includes);
  }
  if (!excludes.empty()) {
    out.push_back("-x");
    append(out, excludes);
  }
  return out;
}

std::string formatSinceDate(const TZwDateTime& date) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d%02d%02d", date.month % 100, date.day % 100, ((date.year % 100) + 100) % 100);
  return text;
}

Args addFilesArgs(const TZipWrapper& w, int mode) {
  Args a{w.Password};
  appendUpdateMode(a, mode);
  if (!w.Password.empty()) a.push_back(w.AesEncryption ? "-A" : "-e");
  if (!w.EngineMethod.empty()) append(a, {"-Z", w.EngineMethod});
  // The level is a digit; a value outside 0..9 is taken as the nearest one,
  // as the property's range type would have kept it.
  a.push_back("-" + std::to_string(w.Compression < 0 ? 0 : w.Compression > 9 ? 9 : w.Compression));
  if (w.MoveFiles) a.push_back("-m");
  if (w.IncludeHiddenFiles && (mode == 0 || mode == 2)) a.push_back("-S");
  if (w.IncludeDirectoryEntries && w.UsePaths && (mode == 0 || mode == 2)) a.push_back("-D");
  if (w.IncludeVolumeLabel && mode == 0) a.push_back("-$");
  if (w.Recurse) a.push_back("-r");
  if (!w.UsePaths) a.push_back("-j");
  if (inPlace(w)) a.push_back("-g");
  append(a, {"-b", w.TempPath, "-n", w.StoredExtensions});
  if (w.MultidiskMode) a.push_back("-!");
  if (w.ClearDisks) a.push_back("-&");
  append(a, {"-t", formatSinceDate(w.ProcessSince), w.ZipFileName});
  append(a, fileListWithFilters(w.FilesToProcess, true));
  return a;
}

Args deleteFilesArgs(const TZipWrapper& w) {
  Args a{w.Password, "-d"};
  if (!w.TempPath.empty()) append(a, {"-b", w.TempPath});
  a.push_back(w.ZipFileName);
  append(a, fileListWithFilters(w.FilesToProcess, true));
  return a;
}

Args extractFilesArgs(const TZipWrapper& w, int mode) {
  Args a{w.Password};
  appendUpdateMode(a, mode);
  if (!w.UsePaths) a.push_back("-j");
  if (w.MultidiskMode) a.push_back("-!");
  if (w.Overwrite == zowNever) a.push_back("-n");
  if (w.Overwrite == zowAlways) a.push_back("-o");
  a.push_back(w.ZipFileName);
  append(a, fileListWithFilters(w.FilesToProcess, false));
  if (!w.ExtractDirectory.empty()) append(a, {"-d", w.ExtractDirectory});
  return a;
}

Args fixArchiveArgs(const TZipWrapper& w, bool thorough) {
  return {w.Password, thorough ? "-FF" : "-F", w.ZipFileName};
}

Args listArchiveArgs(const TZipWrapper& w) {
  Args a{w.Password, "-v"};
  if (w.MultidiskMode) a.push_back("-!");
  a.push_back(w.ZipFileName);
  append(a, fileListWithFilters(w.FilesToProcess, false));
  return a;
}

Args testArchiveArgs(const TZipWrapper& w) {
  Args a{w.Password};
  if (w.MultidiskMode) a.push_back("-!");
  append(a, {"-t", w.ZipFileName});
  append(a, fileListWithFilters(w.FilesToProcess, false));
  return a;
}

Args readArchiveCommentArgs(const TZipWrapper& w) { return {"", "-z", w.ZipFileName}; }

Args writeArchiveCommentArgs(const TZipWrapper& w) {
  Args a{"", "-z"};
  if (inPlace(w)) a.push_back("-g");
  if (!w.TempPath.empty()) append(a, {"-b", w.TempPath});
  a.push_back(w.ZipFileName);
  return a;
}

uint32_t entryCountMarker(const TZipWrapper& w) { return w.MultidiskMode ? kMultiDiskCountMarker : 0; }

}  // namespace vz::zipwrap
