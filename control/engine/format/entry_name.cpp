// Processing and splitting of entry names (rules in entry_name.h).
#include "control/engine/format/entry_name.h"

#include <algorithm>

#include "control/engine/format/zip_records.h"
#include "platform/charcase.h"
#include "platform/codepage.h"

namespace vz::engine {

namespace {

// Length of the UTF-8 sequence a lead byte starts; 0 for a continuation byte
// or an invalid lead.
size_t sequenceLength(uint8_t lead) {
  if (lead < 0x80) return 1;
  if ((lead & 0xE0) == 0xC0) return 2;
  if ((lead & 0xF0) == 0xE0) return 3;
  if ((lead & 0xF8) == 0xF0) return 4;
  return 0;
}

// The length of s without a UTF-8 sequence that was cut off at its end.
size_t withoutCutSequence(std::string_view s) {
  const size_t n = s.size();
  for (size_t back = 1; back <= 4 && back <= n; ++back) {
    const uint8_t b = static_cast<uint8_t>(s[n - back]);
    if ((b & 0xC0) == 0x80) continue;  // continuation byte: keep looking for the lead
    const size_t len = sequenceLength(b);
    return len > back ? n - back : n;
  }
  return n;
}

}  // namespace

std::string entryNameToUtf8(std::string_view raw, uint16_t flags) {
  if ((flags & kFlagUtf8Name) != 0 || isValidUtf8(raw)) return std::string(raw);
  return cp437ToUtf8(raw);
}

std::string_view dropCutUtf8Tail(std::string_view s) { return s.substr(0, withoutCutSequence(s)); }

std::string_view utf8Prefix(std::string_view s, size_t maxBytes) {
  if (s.size() <= maxBytes) return s;
  return s.substr(0, withoutCutSequence(s.substr(0, maxBytes)));
}

void processEntryNameInto(std::string_view kept, size_t storedLength, uint16_t flags, std::string& out, bool& cut) {
  cut = storedLength > kept.size() || kept.size() > kMaxNameBytes;
  if (kept.size() > kMaxNameBytes) kept = kept.substr(0, kMaxNameBytes);

  // Fast path for the common case, a plain ASCII name: it is the same text
  // in every code page, and upper-casing it touches only a..z.
  const bool ascii = std::all_of(kept.begin(), kept.end(), [](char c) { return static_cast<uint8_t>(c) < 0x80; });
  if (ascii) {
    out.assign(kept);
    for (char& c : out) {
      if (c >= 'a' && c <= 'z')
        c = static_cast<char>(c - 'a' + 'A');
      else if (c == '/')
        c = '\\';
    }
    return;
  }

  if (cut) {
    // A cut can split the last UTF-8 character of a UTF-8 name; drop that
    // fragment so that the rest is still read as UTF-8 and not as CP437.
    const std::string_view whole = kept.substr(0, withoutCutSequence(kept));
    if ((flags & kFlagUtf8Name) || isValidUtf8(whole))
      out = entryNameToUtf8(whole, static_cast<uint16_t>(flags | kFlagUtf8Name));
    else
      out = entryNameToUtf8(kept, flags);
  } else {
    out = entryNameToUtf8(kept, flags);
  }
  charUpper(out);
  std::replace(out.begin(), out.end(), '/', '\\');
}

std::string processEntryName(std::string_view kept, size_t storedLength, uint16_t flags, bool* cut) {
  std::string out;
  bool wasCut = false;
  processEntryNameInto(kept, storedLength, flags, out, wasCut);
  if (cut) *cut = wasCut;
  return out;
}

NameParts splitEntryName(std::string_view processed) {
  NameParts parts;
  const size_t slash = processed.rfind('\\');
  if (slash == std::string_view::npos) {
    parts.name = std::string(processed);
  } else {
    parts.directory = std::string(utf8Prefix(processed.substr(0, slash + 1), kMaxNameBytes));
    parts.name = std::string(processed.substr(slash + 1));
  }
  return parts;
}

}  // namespace vz::engine
