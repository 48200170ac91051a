// The self-extractor's configuration block and the location of its archive.
//
// A self-extracting file is the stub program, then an 852-byte block of
// fixed-width text fields (left-aligned, blank-padded, cut to the width, no
// terminators), then a ZIP archive. The assembly (sfx_assembly.h) writes the
// block; the stub reads it back with decodeSfxConfig. Both sides share this
// one table of fields, widths and language-file keys.
//
// Where the block starts (the stub's own length) is found by
// locateSfxPayload, in this order:
//   1. An ELF file: its length as an ELF image, the end of the farthest of
//      the section header table and every program segment. The assembly
//      copies the stub byte for byte, so that is the stub file's size;
//      nothing is patched into the stub after it is built.
//   2. Otherwise (or when that position does not leave room for the block
//      and an archive): the start of the ZIP data, found from the end
//      record with the prefix rule (the smallest local-header offset, or the
//      central directory when there are no entries, plus the extra bytes),
//      less 852.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "control/engine/read/archive_input.h"

namespace vz::engine {

constexpr size_t kSfxConfigSize = 852;

// The fields in block order. Text fields hold the text without padding.
struct SfxConfig {
  char overwriteMode = '2';       // "0" never, "1" always, "3" older only, else ask
  char askDirectory = '1';        // "1": the user may choose the destination
  std::string caption;            // window and message-box caption (50)
  std::string runCommand;         // program to start, relative to the destination (50)
  std::string okButton;           // (10)
  std::string cancelButton;       // (10)
  std::string cancelActionMsg;    // Yes/No question on Cancel (50)
  std::string ioErrorMsg;         // (50)
  std::string diskFullMsg;        // read, never shown (50)
  std::string cantCreateDirMsg;   // (50)
  std::string browseDirTitle;     // description line (100 written, 99 read)
  std::string passwordTitle;      // (20)
  std::string passwordLabel;      // (20)
  std::string passwordText;       // "%1": the entry's path (100)
  std::string passwordRetryBtn;   // (10)
  std::string passwordBypassBtn;  // (10)
  std::string passwordNeverBtn;   // (10)
  std::string replaceTitle;       // (20)
  std::string replaceText;        // "%1": the existing file's path (100)
  std::string replaceYesBtn;      // (10)
  std::string replaceNoBtn;       // (10)
  std::string replaceAlwaysBtn;   // (10)
  std::string replaceNeverBtn;    // (10)
  std::string defaultFolder;      // (100)
};

// The caption written when the caller gives none.
inline constexpr std::string_view kDefaultSfxCaption = "Quorrin for Windows 95 Self-Extractor";

// The block as written: every text padded with blanks or cut to its width.
std::array<uint8_t, kSfxConfigSize> encodeSfxConfig(const SfxConfig& c);
// The block as the stub reads it: each text field with trailing blanks cut;
// the description field is read over 99 bytes (its last byte is ignored).
SfxConfig decodeSfxConfig(const uint8_t* block);

// The block's texts from a language file (section "Main", each value read
// into a 512-byte buffer and unescaped), the defaults where a key is
// missing or empty. caption and runCommand: nullopt takes the default
// caption and an empty command; a given string is used unchanged.
SfxConfig sfxConfigFromLanguageFile(const std::string& languageFile, std::optional<std::string> caption,
                                    std::optional<std::string> runCommand, int overwriteMode, bool askDirectory);

// Where the parts of a self-extracting file lie.
struct SfxPayload {
  int64_t configOffset = 0;     // start of the configuration block (the stub's length)
  int64_t endRecordOffset = 0;  // position of the end record
  int64_t extraBytes = 0;       // added to every stored offset
  int64_t centralOffset = 0;    // absolute position of the first central header
  uint32_t centralSize = 0;     // as recorded
  uint16_t totalEntries = 0;    // as recorded
};

// Status of locateSfxArchive, the stub's extraction codes.
constexpr int kSfxLocateOk = 0;
constexpr int kSfxLocateNotFound = 2;  // no end record, or a negative extra count
constexpr int kSfxLocateDamaged = 3;   // no central header at either position

// The engine's end-record search and prefix correction
// (read/end_record_search.h); a negative extra count is "not found".
// Fills the archive fields of out (not configOffset).
int locateSfxArchive(ArchiveInput& f, SfxPayload& out);
// The stub's length from its own file when it is an ELF image (see above);
// 0 when it is not one.
int64_t sfxStubLength(ArchiveInput& f);

// locateSfxArchive, then the start of the configuration block as described
// above. False when no archive is found or the block does not fit.
bool locateSfxPayload(ArchiveInput& f, SfxPayload& out, int* archiveStatus = nullptr);

}  // namespace vz::engine
