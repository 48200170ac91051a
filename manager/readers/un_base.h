// TUnBase, the base of the format extractors (TUnTAR, TUnGZIP, TUnCAB, ...),
// and TCompBase, the base of the archive writers (TBlakHole).
//
// An extractor lists the archive with the format's walker, and for every
// entry matching FileSpec raises OnBegin (the handler may clear Extract),
// decides the output path (extract_target.h: always inside ExtractDir, with
// the stored folders when UseStoredDirs), asks OnFileExists when the file is
// there, decodes the entry through the format's decoder (one file per
// method, over the decoders' input/output interfaces), raising OnProgress
// at every ProgressNotify step, writes it under a temporary name renamed
// into place when complete, sets the date (SetDateTo) and attributes, and
// raises OnEnd with the CRC verdict. Failures go to OnError with the
// table's codes and end the entry, not the archive.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "control/engine/decode/decode_io.h"
#include "manager/readers/entry_record.h"
#include "manager/readers/zip_common.h"
#include "platform/attributes.h"

namespace vz::readers {

class TUnBase : public TZipCommon {
 public:
  bool UseStoredDirs = true;
  std::string ExtractDir;
  std::string FileSpec = "*.*";
  TProgressNotify ProgressNotify = Ten;
  TSetDate SetDateTo = OrigDate;

  std::function<void(TUnBase&)> OnActivate;
  std::function<void(TUnBase&)> OnDeactivate;
  std::function<void(TUnBase&, const std::string& fn, uint8_t progress)> OnProgress;
  std::function<void(TUnBase&, const std::string& fn, int32_t recNum, bool& extract)> OnBegin;
  std::function<void(TUnBase&, const std::string& fn, bool crcPass)> OnEnd;
  std::function<void(TUnBase&, const std::string& fn, const vz::LocalTime& fileDate, bool& accept)> OnFileExists;
  // Encrypted entries (TUnBH's, TUnARJ's garbled ones, and TUnARC's entries
  // that fail their CRC): the Passwords are tried in turn, then
  // OnGetPassword asks for one (TOnGetPassword: FN, Password and TryAgain
  // set by the handler). An empty Password gives the entry up (25190; ARC:
  // its own error); a wrong one is asked about again only while the
  // handler sets TryAgain (password_loop.h).
  std::vector<std::string> Passwords;
  std::function<void(TUnBase&, const std::string& fn, std::string& password, bool& tryAgain)> OnGetPassword;

  // Extracts every matching entry. Returns the number of files (and links)
  // extracted with a good CRC; folders are made but not counted.
  virtual int32_t activate() = 0;

 protected:
  // One entry as an extractor hands it to the shared machinery.
  struct ExtractItem {
    std::string name;                  // stored name, UTF-8, "/" separators (as the walkers give it)
    int32_t recNum = 0;                // one-based number of the entry in the archive
    uint64_t size = 0;                 // declared size: what progress counts against
    uint64_t limit = 0;                // the most bytes written (normally size)
    std::optional<std::time_t> mtime;  // the archived time, when the format has one
    uint32_t unixMode = 0;             // permission bits from the archive, 0 when it has none
    uint16_t dosAttributes = 0;        // DOS attributes (read-only is applied)
  };

  // The output of one file being extracted: a temporary file beside the
  // final name, bounded by the item's limit, raising OnProgress as bytes
  // arrive. finishEntry() renames it into place or removes it; dropping it
  // unfinished removes it.
  class EntrySink final : public engine::DecodeOutput {
   public:
    ~EntrySink() override;
    EntrySink(const EntrySink&) = delete;
    EntrySink& operator=(const EntrySink&) = delete;

   protected:
    bool write(const uint8_t* data, size_t count) override;

   private:
    friend class TUnBase;
    EntrySink() = default;

    TUnBase* owner_ = nullptr;        // the extractor, for OnProgress
    ExtractItem item_;                // the entry
    std::vector<std::string> parts_;  // its safe relative path
    int parentFd_ = -1;               // its folder in the destination
    int fd_ = -1;                     // the temporary file
    std::string temp_;                // the temporary file's name in the folder
    int nextStep_ = 0;                // the next progress percentage to report
  };

  // Starts a run: OnActivate, then opens ExtractDir (created when missing;
  // 25117 when that fails). False when the run cannot go on.
  bool beginRun();
  // Ends a run: sets the times of the folders made, closes the destination,
  // raises OnDeactivate; returns the count of files extracted.
  int32_t endRun();

  // Whether a name matches FileSpec.
  bool wanted(const std::string& name) const;
  // The archive's entries as its header walk reports them (every name, the
  // folder entries too when blankDirs); a header that does not fit is
  // raised through OnError and ends the list, the entries before it kept.
  std::vector<ArcEntry> walkedEntries(bool blankDirs = true);
  // Starts one file: OnBegin, the safe path, its folders, OnFileExists, the
  // temporary file. Null when the entry is not to be written (refused by a
  // handler, or failed with OnError raised).
  std::unique_ptr<EntrySink> beginEntry(const ExtractItem& item);
  // Starts a file's data again (a second decoding of the same entry, as
  // when a password is found after the first failed): the same temporary
  // file, emptied, with nothing counted. Null when it cannot be emptied
  // (25114 raised; the temporary file is removed).
  std::unique_ptr<EntrySink> restartEntry(std::unique_ptr<EntrySink> sink);
  // Ends one file. error: 0 when its data decoded, else the code to report
  // (25118 for a CRC failure, which also gives OnEnd with CRC_PASS false).
  // On success the date and attributes are set and the file is renamed into
  // place; OnEnd follows. True when the file was extracted.
  bool finishEntry(std::unique_ptr<EntrySink> sink, int32_t error);
  // A folder entry (only with UseStoredDirs): made, its time set at the end.
  bool makeFolder(const ExtractItem& item);
  // A symbolic link, made only when its target stays inside the destination
  // (else 25140).
  bool makeSymlink(const ExtractItem& item, const std::string& target);
  // A hard link: a copy of the file an earlier entry of this run wrote
  // under the stored name earlierName (25132 when there is none).
  bool copyEarlier(const ExtractItem& item, const std::string& earlierName);

 private:
  // Opens the folder of parts and the entry's OnBegin; -1 when refused or failed.
  int prepare(const ExtractItem& item, std::vector<std::string>& parts);
  // Asks OnFileExists about the leaf in parentFd when something is there.
  // False when the handler refuses or it is a folder (25105 raised).
  bool mayReplace(const ExtractItem& item, int parentFd, const std::string& leaf);
  void progress(EntrySink& sink, bool done);

  struct FolderTime {
    std::vector<std::string> parts;  // the folder's safe path
    std::optional<std::time_t> mtime;
    uint32_t unixMode;
  };
  int destFd_ = -1;                  // ExtractDir, open during a run
  int32_t extracted_ = 0;            // files extracted in this run
  std::set<std::string> written_;    // safe paths of the files this run wrote (for hard links)
  std::vector<FolderTime> folders_;  // folders made, their times set at the end
  unsigned umask_ = 022;             // the process's file-creation mask
};

class TCompBase : public TZipCommon {
 public:
  TztvFileAttr FileAttribute = 0;
  std::string DefaultDir;
  bool StoreDirs = false;
  std::string FileSpec;
  TProgressNotify ProgressNotify = Ten;
  bool RecurseDirs = false;
  TSwitch Switch = swAdd;

  std::function<void(TCompBase&)> OnActivate;
  std::function<void(TCompBase&)> OnDeactivate;
  std::function<void(TCompBase&, const std::string& fn, int32_t recNum, bool& extract)> OnBegin;
  std::function<void(TCompBase&, const std::string& fn, bool crcPass)> OnEnd;
  std::function<void(TCompBase&, int32_t offset, int32_t filenum)> OnRead;
  std::function<void(TCompBase&, const std::string& directory)> OnRecurseDir;
  std::function<void(TCompBase&, const std::string& fn, const vz::LocalTime& oldDate, const vz::LocalTime& newDate,
                     int32_t oldFileSize, int32_t newFileSize, int32_t oldAttr, int32_t newAttr, bool& replace)>
      OnReplaceFile;
};

}  // namespace vz::readers
