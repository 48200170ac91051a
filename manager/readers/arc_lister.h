// TArcLister: lists an archive of any supported format by walking its
// headers, one OnRead per entry whose name matches FileSpec.
//
// The walk (arc_lister.cpp) is one loop for every format: as long as the
// next header position + the type's fixed header length lies below the
// end, the fixed header is read at the next position, the position moves
// past it, and the format's walker (one file per format, walk_<format>.cpp,
// registered in the one table of format_walkers.cpp) completes the next
// position, fills the entry record, or meets its end mark. The walk stops
// at the first header that does not fit its format (OnError with the code,
// the next position set to the end) and keeps the entries already listed.
// Every untrusted field is checked where it is read (sizes against the
// file, name lengths, offsets; a position that does not advance ends the
// walk), so no header makes the lister allocate or loop without bound.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "manager/readers/entry_record.h"
#include "manager/readers/zip_common.h"
#include "platform/file.h"

namespace vz::readers {

class TArcLister;

// What a walker sees of the walk. Positions are zero-based.
struct WalkContext {
  vz::File* file = nullptr;  // the archive (or the volume of a set being walked), open for reading
  int64_t archiveStart = 0;  // where the detection put the archive
  int64_t zipStart = -1;     // ZIP: the start remembered by the detection, -1 when none
  int64_t fileSize = 0;      // size of *file
  int64_t end = 0;           // the walk's end (the file size, or where an end mark put it)
  int64_t current = 0;       // position of the header just read
  int64_t next = 0;          // the next header's position; the walker completes it
  int32_t volume = 0;        // bumped by a walker that moves on to the next volume of a set
  int32_t listed = 0;        // entries reported so far
  TArcType type = atNA;
  std::string archivePath;
  TArcLister* lister = nullptr;  // for errors raised while moving between volumes

  // Reads n bytes at pos; false when they are not all inside the file.
  // Small reads are served from a window of the file read ahead, since a
  // walk reads many small headers front to back.
  bool read(int64_t pos, void* out, size_t n) const;

 private:
  static constexpr size_t kWindow = 64 * 1024;
  mutable std::vector<uint8_t> window_;           // bytes of the file from windowAt_
  mutable int64_t windowAt_ = -1;                 // where the window starts, -1 when empty
  mutable const vz::File* windowFile_ = nullptr;  // the file (and volume) the window was read from
  mutable int32_t windowVolume_ = -1;
};

// One format's header walk (one file per format, walk_<format>.cpp).
class FormatWalker {
 public:
  virtual ~FormatWalker() = default;
  // The fixed header length of the type.
  virtual int64_t headerLength() const = 0;
  // Sets ctx.next to the first header's position (and may read the
  // archive's own header). False with *error set when the archive's header
  // is not there.
  virtual bool begin(WalkContext& ctx, int32_t* error) = 0;
  enum class Step { Entry, Skip, End, Error };
  // Completes one step with the fixed header bytes read at ctx.current
  // (ctx.next already points past them): Entry fills entry and completes
  // ctx.next, Skip passes a header that is no entry, End met the end mark,
  // Error (with *error) a header that does not fit.
  virtual Step step(WalkContext& ctx, const uint8_t* header, ArcEntry& entry, int32_t* error) = 0;
  // Whether folder entries of this format passed by ShowBlankDirs are left
  // out of the count (ZIP).
  virtual bool foldersUncounted() const { return false; }
};

// The walker of a type (format_walkers.cpp, the one table); null for types
// that have no walker yet.
std::unique_ptr<FormatWalker> makeWalker(TArcType type);

class TArcLister : public TZipCommon {
 public:
  std::string FileSpec = "*.*";  // names matched with "*" and "?"
  int32_t ZipCmntBufSize = 0;    // comment bytes the detection's end-record search allows for
  // Folder entries are passed on (whatever the mask) only when set; ZIP
  // folder entries passed this way are not counted.
  bool ShowBlankDirs = false;
  // Events (Sender first). OnRead's Offset is the header's one-based
  // position, Filenum the running count.
  std::function<void(TArcLister&)> OnActivate;
  std::function<void(TArcLister&)> OnDeactivate;
  std::function<void(TArcLister&)> OnReadBegin;
  std::function<void(TArcLister&)> OnReadEnd;
  std::function<void(TArcLister&, int32_t offset, int32_t filenum)> OnRead;
  std::function<void(TArcLister&, int32_t numFiles)> OnTotals;

  int32_t zipCommentBufferSize() const override { return ZipCmntBufSize; }

  // Activation: lists the archive (the walk above). Returns the number of
  // entries listed.
  int32_t activate();
  // The record of the entry OnRead reports (valid during the event).
  const ArcEntry& entry() const { return entry_; }
  // The overall ratio of the last listing, from the summed sizes.
  int32_t totalRatio() const { return totalRatio_; }
  int64_t totalPacked() const { return totalPacked_; }
  int64_t totalUnpacked() const { return totalUnpacked_; }

 private:
  // Hands one walked entry to the host by the mask and ShowBlankDirs rules.
  void report(WalkContext& ctx, const FormatWalker& walker);

  ArcEntry entry_;             // the entry being reported
  int32_t totalRatio_ = 0;     // ratio of the summed sizes of the last listing
  int64_t totalPacked_ = 0;    // summed packed sizes of the entries listed
  int64_t totalUnpacked_ = 0;  // summed unpacked sizes of the entries listed
};

// The file-mask test of the listers and extractors: "*" and "?" over the
// whole name, and over its last component when the mask has no folder
// part; case-insensitive.
bool fileSpecMatches(const std::string& name, const std::string& fileSpec);

}  // namespace vz::readers
