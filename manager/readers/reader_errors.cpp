// The readers' error texts, one table sorted by code (the program's string
// table), looked up by binary search.
#include "manager/readers/reader_errors.h"

#include <algorithm>
#include <iterator>

namespace vz::readers {

namespace {

struct ErrorText {
  int32_t code;
  std::string_view text;
};

constexpr ErrorText kErrorTexts[] = {
    {25102, "File is read-only"},
    {25103, "File is hidden"},
    {25104, "File is a SysFile"},
    {25105, "File is a directory"},
    {25106, "File is a VolumeID"},
    {25107, "Invalid file attribute"},
    {25108, "Bad file header"},
    {25109, "Bad block"},
    {25110, "Bad Huffman code"},
    {25111, "Invalid code encountered"},
    {25112, "Invalid comment header"},
    {25113, "Incorrect number of bits"},
    {25114, "Error writing to file"},
    {25115, "Error closing file"},
    {25116, "Incomplete code set"},
    {25117, "Error creating dir"},
    {25118, "File fails CRC check"},
    {25119, "File contains invalid decode tree"},
    {25120, "Invalid directory"},
    {25121, "Invalid directory... defaulting to current"},
    {25125, "Disk full"},
    {25128, "Error deleting file(s)"},
    {25129, "Command exec failed"},
    {25132, "File not found"},
    {25133, "Warning, unknown flags"},
    {25134, "Error opening file"},
    {25135, "Error reading file or unexpected end of file"},
    {25136, "Header CRC error"},
    {25137, "Header ID error"},
    {25138, "Illegal text for search mode"},
    {25139, "Invalid or unsupported archive type for this operation"},
    {25140, "Invalid file name"},
    {25141, "Bad lengths"},
    {25145, "Inconsistant local header"},
    {25148, "LZX method not supported"},
    {25150, "Maximum volumes 999"},
    {25153, "Out of memory"},
    {25155, "Uninitialized TMemoryStream object"},
    {25156, "Uninitialized TFileStream object"},
    {25157, "No central header. File may be corrupt"},
    {25162, "Multi-Part GZIP files not supported"},
    {25163, "Too many nested dirs"},
    {25170, "Required event not assigned"},
    {25180, "Open quote, but no close quote"},
    {25181, "Open paran, but no close paran"},
    {25190, "Password protected"},
    {25191, "Seek error"},
    {25192, "Ambiguous Shannon-Fano decode tree encountered"},
    {25193, "No desktop folder"},
    {25194, "Error getting SHGetSpecialFolderLocation"},
    {25195, "Error getting Shell memory allocator"},
    {25196, "Stack overflow"},
    {25197, "Stream read/write error"},
    {25198, "Streaming not supported with this archive type"},
    {25200, "Unsupported compression method"},
    {25202, "Unknown file type"},
    {25204, "Unsupported version"},
    {25210, "Error updating archive"},
    {25300, "User Aborted"},
    {25302, "Version error"},
    {25350, "Requires Win32 api"},
    {25901, "Extraction of this cabinet requires first disk of set"},
    {25902, "Previous volume in set"},
    {25903, "Next volume in set"},
    {25904, "Cabinet does not belong with this set"},
};

}  // namespace

std::string_view readerErrorText(int32_t code) {
  const auto it = std::lower_bound(std::begin(kErrorTexts), std::end(kErrorTexts), code,
                                   [](const ErrorText& e, int32_t c) { return e.code < c; });
  return it != std::end(kErrorTexts) && it->code == code ? it->text : std::string_view();
}

}  // namespace vz::readers
