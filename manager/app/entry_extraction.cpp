// ZIP entries through the wrapper, the rest through the readers' extractors.
#include "manager/app/entry_extraction.h"

#include <algorithm>
#include <memory>

#include "manager/readers/extractors.h"
#include "manager/readers/un_base.h"

namespace vz::manager {

ExtractionResult extractEntries(zipwrap::TZipWrapper& w, ArchiveKind kind, const std::string& archive,
                                const std::vector<std::string>& names, const std::string& folder, bool usePaths) {
  ExtractionResult r;
  if (kind == ArchiveKind::akZip) {
    w.ZipFileName = archive;
    w.FilesToProcess = names.empty() ? std::vector<std::string>{"*"} : names;
    w.ExtractDirectory = folder;
    const bool oldPaths = w.UsePaths;
    const auto oldOverwrite = w.Overwrite;
    w.UsePaths = usePaths;
    w.Overwrite = zipwrap::zowAlways;
    r.code = w.ExtractFiles(0);
    w.UsePaths = oldPaths;
    w.Overwrite = oldOverwrite;
    w.ExtractDirectory.clear();
    r.ok = r.code == 0;
    return r;
  }
  // The extractor is chosen by the content, as the lister identified it.
  readers::TZipCommon probe;
  probe.setArchiveFile(archive);
  std::unique_ptr<readers::TUnBase> x = readers::makeExtractor(probe.ArcType());
  if (!x) {
    std::string name(readers::arcTypeName(probe.ArcType()));
    while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.pop_back();
    r.unavailable = "Extraction of " + name + " archives is not available yet.";
    return r;
  }
  x->ExtractDir = folder;
  x->UseStoredDirs = usePaths;
  x->FileSpec = "*.*";
  x->OnBegin = [&names](readers::TUnBase&, const std::string& fn, int32_t, bool& take) {
    take = names.empty() || std::find(names.begin(), names.end(), fn) != names.end();
  };
  x->OnFileExists = [](readers::TUnBase&, const std::string&, const vz::LocalTime&, bool& accept) { accept = true; };
  int errors = 0;
  x->OnError = [&errors](readers::TZipCommon&, const std::string&, const std::string&, int32_t) { ++errors; };
  x->setArchiveFile(archive);
  const int32_t extracted = x->activate();
  r.ok = errors == 0 && extracted > 0;
  return r;
}

}  // namespace vz::manager
