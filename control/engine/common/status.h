// Results of the read side, as its engine functions return them and the
// control's methods report them to the host, and statusCode(), the one way
// from any of the engine's result enums back to its number.
//
//   ReadStatus       the directory reader, the archive-information methods,
//                    the item list and the extraction driver (read/,
//                    items/, extract/)
//   CatalogueStatus  the catalogue loader, the write side's reader
//                    (read/catalogue.h)
//
// The numbers are the ones the control reports to its host and never
// change; statusCode() hands them over at the boundary where the control
// (or the self-extractor) returns the number to its caller. Functions whose
// int16_t is a count or a value (entry counts, versions, comment sizes)
// keep returning int16_t; the headers say which is which.
#pragma once

#include <concepts>
#include <cstdint>
#include <ostream>
#include <type_traits>

namespace vz::engine {

enum class ReadStatus : int16_t {
  Ok = 0,
  Corrected = 1,       // read after a correction (empty archive, unshifted directory, offset 0 fixed)
  CannotOpen = 2,      // the archive file could not be opened (quick test; extraction: it exists
                       // but cannot be opened for reading)
  NotZip = 3,          // no end record, a signature missing, or a read failed
  CrcError = 5,        // extraction: CRC mismatch, no readable end record, or a folder not made
  TestOpenFailed = 6,  // extraction: the archive is missing, or the buffers not allocated
  WriteFailed = 8,     // extraction: the output could not be written (the run ends)
  Skipped = 10,        // an entry was skipped, or a name longer than 1023 bytes was cut
  // Added by the extraction driver (extract_options.h):
  ExistingNotReplaced = 11,  // an existing output file could not be replaced
  NotCreated = 12,           // a new output file could not be created
  NoFreeSpace = 13,          // the destination drive has no free space
  CdRomDrive = 14,           // the destination is a CD-ROM drive
  DriveNotWritable = 15,     // the destination is a removable disk that cannot be written
  MaskTooLong = 16,          // the mask is 1024 characters or longer
  PrefixData = 17,           // the archive has data in front of it
};

// Ok, Corrected and PrefixData count as readable: a directory operation
// goes on after them and stops after any other code.
constexpr bool isReadable(ReadStatus status) {
  return status == ReadStatus::Ok || status == ReadStatus::Corrected || status == ReadStatus::PrefixData;
}

// Results of the catalogue loader (the write side's reader); the numbers
// are those of the write operations that report them (write_status.h).
enum class CatalogueStatus : int16_t {
  Ok = 0,
  NotArchive = 4,  // not an archive the loader accepts
  NoMemory = 5,
};

// The number of a result, as the control hands it to its caller. Every
// result enum of the engine has int16_t underneath.
template <class E>
requires std::is_enum_v<E> && std::same_as<std::underlying_type_t<E>, int16_t>
constexpr int16_t statusCode(E status) { return static_cast<int16_t>(status); }

// Printed as the number (logs and test messages).
inline std::ostream& operator<<(std::ostream& os, ReadStatus s) { return os << statusCode(s); }
inline std::ostream& operator<<(std::ostream& os, CatalogueStatus s) { return os << statusCode(s); }

}  // namespace vz::engine
