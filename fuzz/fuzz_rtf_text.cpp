// Fuzz target of the viewer's rich-text reader (manager/app/rtf_text.h):
// any bytes, as a document. Checks: the reader ends (linear time, bounded
// nesting), every run holds valid UTF-8, no run is empty, adjacent runs of
// a paragraph differ in a switch, and reading is deterministic.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "manager/app/rtf_text.h"

namespace {

bool validUtf8(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<uint8_t>(s[i]);
    size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return false;
    for (size_t k = 1; k < n; ++k)
      if ((static_cast<uint8_t>(s[i + k]) >> 6) != 2) return false;
    i += n;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view doc(reinterpret_cast<const char*>(data), size);
  const auto paragraphs = vz::manager::readRtf(doc);
  for (const auto& p : paragraphs) {
    for (size_t i = 0; i < p.runs.size(); ++i) {
      const auto& r = p.runs[i];
      if (r.text.empty() || !validUtf8(r.text)) std::abort();
      if (i > 0) {
        const auto& q = p.runs[i - 1];
        if (q.bold == r.bold && q.italic == r.italic && q.underline == r.underline) std::abort();
      }
    }
  }
  const auto again = vz::manager::readRtf(doc);
  if (again.size() != paragraphs.size()) std::abort();
  for (size_t i = 0; i < again.size(); ++i)
    if (again[i].plainText() != paragraphs[i].plainText()) std::abort();
  return 0;
}
