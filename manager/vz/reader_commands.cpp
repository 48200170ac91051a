// vz l and vz x through the readers (see the header).
#include "manager/vz/reader_commands.h"

#include <memory>
#include <vector>

#include "manager/readers/arc_lister.h"
#include "manager/readers/extractors.h"
#include "manager/readers/reader_errors.h"
#include "manager/readers/type_detect.h"
#include "manager/readers/un_base.h"
#include "manager/vz/listing_format.h"
#include "manager/vz/questions.h"

namespace vz::cli {

using namespace vz::readers;

namespace {

// Whether the entry's name is taken: one of the FILES (all without FILES)
// and none of the -x patterns.
bool selected(const CommandLine& line, const std::string& name) {
  bool in = line.files.empty();
  for (const std::string& f : line.files) in = in || fileSpecMatches(name, f);
  for (const std::string& x : line.excludes)
    if (fileSpecMatches(name, x)) return false;
  return in;
}

// "vz: ARCHIVE: TEXT (CODE)" for each error the component reports.
void bindErrors(TZipCommon& c, std::ostream& err, int* errors) {
  c.OnError = [&err, errors](TZipCommon&, const std::string& fn, const std::string& volume, int32_t code) {
    ++*errors;
    err << "vz: " << displayName(volume.empty() ? fn : volume) << ": " << readerErrorText(code) << " (" << code
        << ")\n";
  };
}

int list(const CommandLine& line, std::ostream& out, std::ostream& err) {
  TArcLister lister;
  lister.FileSpec = "*.*";
  lister.ShowBlankDirs = true;
  int errors = 0;
  bindErrors(lister, err, &errors);
  ListingTotals totals;
  out << listingHeader();
  lister.OnRead = [&](TArcLister& l, int32_t, int32_t) {
    const ArcEntry& e = l.entry();
    if (!selected(line, e.fileName)) return;
    out << listingLine(static_cast<uint64_t>(e.unpackedSize), static_cast<uint64_t>(e.packedSize), e.dateTime,
                       displayName(e.fileName), e.encrypted);
    totals.add(static_cast<uint64_t>(e.unpackedSize), static_cast<uint64_t>(e.packedSize));
  };
  lister.setArchiveFile(line.archive);
  lister.activate();
  out << totals.text() << std::flush;
  if (errors > 0) return 2;
  if (totals.entries() == 0) {
    err << "vz: no file or entry matched.\n";
    return 1;
  }
  return 0;
}

int extract(const CommandLine& line, TArcType type, std::ostream& out, std::ostream& err) {
  std::unique_ptr<TUnBase> x = makeExtractor(type);
  if (!x) {
    err << "Extraction of " << readerKindName(type) << " archives is not available yet.\n";
    return 2;
  }
  int errors = 0;
  bindErrors(*x, err, &errors);
  x->ExtractDir = line.extractDirectory.value_or(".");
  x->UseStoredDirs = line.usePaths.value_or(true);
  x->FileSpec = "*.*";
  // Encrypted entries (ARJ garbled, BH): -p first, then the password window.
  if (line.password) x->Passwords.push_back(*line.password);
  x->OnGetPassword = [](TUnBase&, const std::string& fn, std::string& password, bool& tryAgain) {
    const PasswordDecision d = askPassword(fn);
    password = d.answer == kPasswordOk ? d.password : std::string();
    tryAgain = !password.empty();
  };
  // Cancel in the replace question keeps that file and takes no later entry.
  bool cancelled = false;
  x->OnBegin = [&](TUnBase&, const std::string& fn, int32_t, bool& take) {
    take = !cancelled && selected(line, fn);
    if (take && !line.quiet) out << "  extracting: " << displayName(fn) << '\n';
  };
  x->OnFileExists = [&](TUnBase&, const std::string& fn, const vz::LocalTime&, bool& accept) {
    if (line.overwrite) {
      accept = *line.overwrite == OverwriteChoice::Always;
      return;
    }
    // The extractors write an entry under its own name only: no Rename.
    const ReplaceDecision d = askReplace(fn, false);
    accept = d.kind == ReplaceDecision::Replace;
    cancelled = d.kind == ReplaceDecision::Cancel;
  };
  x->setArchiveFile(line.archive);
  const int32_t good = x->activate();
  out << std::flush;
  if (cancelled) {
    err << "vz: extraction cancelled.\n";
    return 1;
  }
  if (errors > 0) return 2;
  if (good == 0) {
    err << "vz: no file or entry matched.\n";
    return 1;
  }
  return 0;
}

}  // namespace

TArcType readerArchiveType(const CommandLine& line) {
  if ((line.command != Command::List && line.command != Command::Extract) || line.multidisk.value_or(false))
    return atNA;
  const TArcType type = detectArchiveType(line.archive, 0).type;
  switch (plainType(type)) {
    case atNA:
    case atUnsupported:
    case atFileError:
    case atUnknown:
    case atZIP:
    case atZip250:
      return atNA;
    default:
      return makeWalker(type) ? type : atNA;
  }
}

std::string readerKindName(TArcType type) {
  std::string name(arcTypeName(type));
  while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.pop_back();
  return name;
}

int runWithReaders(const CommandLine& line, TArcType type, std::ostream& out, std::ostream& err) {
  return line.command == Command::Extract ? extract(line, type, out, err) : list(line, out, err);
}

}  // namespace vz::cli
