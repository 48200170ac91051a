// The read side's archive-information operations, one per method of the
// control that reports on an archive without extracting it. Each opens the
// archive named by zipName (a folder name gets ".ZIP" appended), works, and
// closes it; the values for an unreadable archive are given per function.
// Progress, pumping and cancel follow the settings in the state.
#pragma once

#include <cstdint>
#include <string>

#include "control/engine/common/status.h"
#include "control/engine/common/unzip_state.h"

namespace vz::engine {

// Which results are statuses: isZipFileQuick returns a ReadStatus; every
// other function returns a value (a version, a disk number, a count, a
// size, a comment, a match), with the value given below for an unreadable
// archive, and leaves the read status in st.status.

// Ok readable, PrefixData readable with data in front, CannotOpen, else the
// end-record search's code (NotZip). Corrected is reported as Ok.
[[nodiscard]] ReadStatus isZipFileQuick(UnzipState& st, const std::string& zipName);
// High byte of version-made-by of the first central entry: 0..8 and 11 as
// they are, everything else 9; 9 when unreadable.
int16_t getMadeUnder(UnzipState& st, const std::string& zipName);
// Low byte of version-made-by of the first central entry / 10 and % 10; 0 when unreadable.
int16_t getVersionMajor(UnzipState& st, const std::string& zipName);
int16_t getVersionMinor(UnzipState& st, const std::string& zipName);
// The end record's number-of-this-disk; 0 when unreadable.
int16_t getDiskId(UnzipState& st, const std::string& zipName);
// The archive comment's length; 0 when unreadable.
int16_t getGlobalCommentSize(UnzipState& st, const std::string& zipName);
// The archive comment, at most maxLength bytes and at most 24,576; empty
// when none or unreadable.
std::string getGlobalComment(UnzipState& st, const std::string& zipName, int maxLength);
// Comment length of the entry whose processed name equals mask; -1 when
// there is no such entry.
int16_t getLocalCommentSize(UnzipState& st, const std::string& zipName, const std::string& mask);
std::string getLocalComment(UnzipState& st, const std::string& zipName, const std::string& mask, int maxLength);
// Total entries from the end record; -1 when unreadable.
int16_t getCount(UnzipState& st, const std::string& zipName);
// Sum of the uncompressed (original) or compressed sizes in kilobytes,
// floor(sum / 1024 + 0.5); 0 when unreadable.
double getTotalSize(UnzipState& st, const std::string& zipName, bool originalSize);
// Whether some entry matches the mask by the mask rule.
bool isFileInZip(UnzipState& st, const std::string& zipName, const std::string& mask);
// The mask rule applied to one name.
bool isFileNameInFilter(const std::string& name, const std::string& pattern);

}  // namespace vz::engine
