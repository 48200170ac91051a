// Entry names as the read side uses them.
//
// Processing (every name the read side reads): at most 1023 bytes of the
// stored name are kept (a longer name is cut and the reader reports status
// 10); the bytes become UTF-8 text (bit 11 or valid UTF-8 keep them, other
// names are CP437); the text is upper-cased with the system's case rule, and
// every "/" becomes "\". All matching and display works on this form.
//
// Splitting: the directory part is everything up to and including the last
// "\" (at most 1023 bytes), the name part everything after it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vz::engine {

// The longest name kept, in stored bytes.
constexpr size_t kMaxNameBytes = 1023;

// A stored name as UTF-8 text, nothing else changed: names with
// general-purpose bit 11 (kFlagUtf8Name) set, and names whose bytes are valid
// UTF-8, are kept; other names are CP437 and converted.
std::string entryNameToUtf8(std::string_view raw, uint16_t flags);

// The processed form of a stored name. storedLength is the name's full
// length; kept holds its first min(storedLength, 1023) bytes. cut is set when
// bytes were dropped.
std::string processEntryName(std::string_view kept, size_t storedLength, uint16_t flags, bool* cut);
// The same into out (its storage is reused, so a directory walk does not
// allocate per name).
void processEntryNameInto(std::string_view kept, size_t storedLength, uint16_t flags, std::string& out, bool& cut);

struct NameParts {
  std::string directory;  // up to and including the last "\"; empty at the root
  std::string name;       // after the last "\"; empty for a directory entry
};
NameParts splitEntryName(std::string_view processed);

// The longest prefix of s of at most maxBytes bytes that does not end inside
// a UTF-8 sequence (s itself when it is short enough).
std::string_view utf8Prefix(std::string_view s, size_t maxBytes);
// s without a UTF-8 sequence cut off at its end.
std::string_view dropCutUtf8Tail(std::string_view s);

}  // namespace vz::engine
