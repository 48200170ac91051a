// SetGlobalComment and SetLocalComment (see archive_update.h).
#include <algorithm>
#include <new>
#include <optional>
#include <string>

#include "control/engine/write/archive_update.h"
#include "control/engine/write/archive_update_run.h"
#include "control/engine/format/zip_records.h"

namespace vz::engine {

namespace {

// The comment as stored, or nullopt (8) when it is too long: 32,768
// characters or more, or more bytes than the 16-bit length field holds
// (UTF-8 text can take up to four bytes a character).
std::optional<std::string> storedComment(const std::string& hostText) {
  if (commentCharacters(hostText) >= kCommentCharacterLimit) return std::nullopt;
  std::string text = commentText(hostText);
  if (text.size() > kMaxCommentLength) return std::nullopt;
  return text;
}

}  // namespace

size_t commentCharacters(const std::string& text) {
  return static_cast<size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

std::string commentText(const std::string& hostText) {
  const auto lineFeeds = std::count(hostText.begin(), hostText.end(), '\n');
  const auto returns = std::count(hostText.begin(), hostText.end(), '\r');
  if (lineFeeds == returns) return hostText;
  std::string out;
  out.reserve(hostText.size() + static_cast<size_t>(lineFeeds));
  for (char c : hostText) {
    out += c;
    if (c == '\n') out += '\r';
  }
  return out;
}

WriteStatus setGlobalComment(WriteEngine& engine, const std::string& zipName, const std::string& comment) {
  const WriteOperation op;
  if (!op.acquired()) return WriteStatus::IoError;
  if (zipName.empty()) return WriteStatus::NothingToDo;
  try {
    const std::optional<std::string> text = storedComment(comment);
    if (!text) return WriteStatus::CommentTooLong;
    const ArchiveTarget target = describeTarget(zipName);
    LoadedCatalogue catalogue;
    if (const CatalogueStatus s = loadCatalogue(zipName, {}, catalogue); s != CatalogueStatus::Ok)
      return writeStatusOfLoader(s);
    if (!target.exists) return WriteStatus::IoError;  // no archive to comment
    return rewriteArchive(
        engine, zipName, target, catalogue, [](const ArchiveEntry&) { return EntryPlan{}; }, *text);
  } catch (const std::bad_alloc&) {
    return WriteStatus::NoMemory;
  }
}

WriteStatus setLocalComment(WriteEngine& engine, const std::string& zipName, const std::string& mask,
                            const std::string& comment) {
  const WriteOperation op;
  if (!op.acquired()) return WriteStatus::IoError;
  if (zipName.empty()) return WriteStatus::NothingToDo;
  try {
    const std::string m = processedMask(mask);
    if (m.empty()) return WriteStatus::NothingToDo;
    const std::optional<std::string> text = storedComment(comment);
    if (!text) return WriteStatus::CommentTooLong;
    const ArchiveTarget target = describeTarget(zipName);
    LoadedCatalogue catalogue;
    if (const CatalogueStatus s = loadCatalogue(zipName, {}, catalogue); s != CatalogueStatus::Ok)
      return writeStatusOfLoader(s);
    size_t marked = 0;
    for (ArchiveEntry* e = catalogue.entries.first(); e; e = e->next.get()) {
      e->mark = entryMatches(*e, m) ? 1 : 0;
      if (e->mark) ++marked;
    }
    if (marked == 0) return WriteStatus::NothingToDo;
    const std::string& stored = *text;
    return rewriteArchive(
        engine, zipName, target, catalogue,
        [&](const ArchiveEntry& e) {
          return EntryPlan{false, e.mark ? &stored : nullptr};
        },
        catalogue.comment);
  } catch (const std::bad_alloc&) {
    return WriteStatus::NoMemory;
  }
}

}  // namespace vz::engine
