// The listing of the main window over the wrapper and the lister.
#include "manager/app/archive_listing.h"

#include "manager/readers/arc_lister.h"
#include "manager/readers/entry_record.h"
#include "manager/readers/reader_errors.h"
#include "manager/readers/type_detect.h"
#include "platform/ui.h"

namespace vz::manager {

ListedRow rowFromStoredName(const std::string& name, uint64_t size) {
  ListedRow row;
  row.size = size;
  const std::string shown = readers::displayName(name);
  // A folder entry's own trailing "/" belongs to its caption.
  const size_t end = (!shown.empty() && shown.back() == '/') ? shown.size() - 1 : shown.size();
  const size_t slash = end == 0 ? std::string::npos : shown.rfind('/', end - 1);
  if (slash == std::string::npos) {
    row.caption = shown;
  } else {
    row.folder = shown.substr(0, slash + 1);
    row.caption = shown.substr(slash + 1);
  }
  return row;
}

bool zipListingValid(int code) { return code == 0 || code == 100 || code == 50 || code == 40; }

bool isInstallRow(const ListedRow& row) {
  if (!row.folder.empty()) return false;
  std::string upper = row.caption;
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return upper == "SETUP.EXE" || upper == "INSTALL.EXE";
}

std::string filesText(int64_t count) { return std::to_string(count) + " files"; }

std::string readerErrorMessage(int32_t code, const std::string& file) {
  // Codes that report a circumstance rather than a failure.
  const bool informative = code == readers::E_VOLUMEID || code == readers::E_DIRDEFAULTED;
  std::string text = informative ? "General Message: " : "Error: ";
  text += std::string(readers::readerErrorText(code));
  if (!file.empty()) text += "\n\n" + readers::displayName(file);
  return text;
}

namespace {

ListingResult listZip(zipwrap::TZipWrapper& w, const std::string& path, const ListingHooks& hooks) {
  ListingResult r;
  w.ZipFileName = path;
  r.countPanel = filesText(w.GetEntryCount());
  if (hooks.countPanel) hooks.countPanel(r.countPanel);
  auto saved = std::move(w.OnListing);
  int lastPercent = -1;
  w.OnListing = [&](zipwrap::TZipWrapper&, const zipwrap::TZwFileStats& s) {
    r.rows.push_back(rowFromStoredName(s.FileName, s.Size));
    if (hooks.progress && s.PercentDone != lastPercent) {
      lastPercent = s.PercentDone;
      hooks.progress(s.PercentDone);
    }
  };
  r.code = w.ListArchive();
  w.OnListing = std::move(saved);
  r.valid = zipListingValid(r.code);
  return r;
}

ListingResult listWithReaders(const std::string& path, const ListingHooks& hooks) {
  ListingResult r;
  r.valid = true;
  readers::TArcLister lister;
  lister.FileSpec = "*.*";
  lister.ShowBlankDirs = true;
  lister.OnError = [](readers::TZipCommon&, const std::string& fn, const std::string& volume, int32_t code) {
    vz::ui::messageBox(readerErrorMessage(code, volume.empty() ? fn : volume), "Vemora.Zip",
                       vz::ui::MB_OK | vz::ui::MB_ICONERROR);
  };
  lister.OnRead = [&](readers::TArcLister& l, int32_t, int32_t) {
    const readers::ArcEntry& e = l.entry();
    r.rows.push_back(rowFromStoredName(e.fileName, static_cast<uint64_t>(e.unpackedSize < 0 ? 0 : e.unpackedSize)));
  };
  lister.OnTotals = [&](readers::TArcLister&, int32_t numFiles) {
    r.countPanel = filesText(numFiles);
    if (hooks.countPanel) hooks.countPanel(r.countPanel);
  };
  lister.setArchiveFile(path);
  if (hooks.progress) hooks.progress(0);
  lister.activate();
  if (hooks.progress) hooks.progress(100);
  if (r.countPanel.empty()) r.countPanel = filesText(static_cast<int64_t>(r.rows.size()));
  return r;
}

}  // namespace

bool listedByWrapper(ArchiveKind kind, const std::string& path) {
  if (kind == ArchiveKind::akZip) return true;
  if (kind != ArchiveKind::akUnknown) return false;
  const readers::TArcType type = readers::detectArchiveType(path, 0).type;
  switch (readers::plainType(type)) {
    case readers::atNA:
    case readers::atUnsupported:
    case readers::atFileError:
    case readers::atUnknown:
    case readers::atZIP:
    case readers::atZip250:
      return true;
    default:
      return !readers::makeWalker(type);
  }
}

ListingResult listArchiveContents(zipwrap::TZipWrapper& wrapper, ArchiveKind kind, const std::string& path,
                                  const ListingHooks& hooks) {
  ListingResult r = listedByWrapper(kind, path) ? listZip(wrapper, path, hooks) : listWithReaders(path, hooks);
  if (!r.valid) {
    r.rows.clear();
    r.countPanel = filesText(0);
    return r;
  }
  for (const ListedRow& row : r.rows)
    if (isInstallRow(row)) r.installAvailable = true;
  return r;
}

}  // namespace vz::manager
