// Record conversion between the engine's layout and the component's.
#include "zipwrap/zip_wrapper_records.h"

#include <algorithm>
#include <cstring>

namespace vz::zipwrap {

TZwDateTime dosStampToDateTime(uint16_t dosDate, uint16_t dosTime) {
  TZwDateTime t;
  t.year = 1980 + (dosDate >> 9);
  t.month = (dosDate >> 5) & 0x0F;
  t.day = dosDate & 0x1F;
  t.hour = dosTime >> 11;
  t.minute = (dosTime >> 5) & 0x3F;
  t.second = (dosTime & 0x1F) * 2;
  const bool valid =
      t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= 31 && t.hour <= 23 && t.minute <= 59 && t.second <= 59;
  return valid ? t : TZwDateTime{};
}

TZwFileStats fileStatsFromRecord(const ZwFileRecord& r) {
  TZwFileStats s;
  s.FileName = r.fileName != nullptr ? r.fileName : "";
  s.Size = r.size;
  s.ValueA = r.valueA;
  s.ValueB = r.valueB;
  s.Attributes = r.attributes & 0x3F;
  s.DateTime = dosStampToDateTime(r.dosDate, r.dosTime);
  s.ValueC = r.valueC;
  s.ByteA = r.byteA;
  s.PercentDone = r.percentDone;
  s.ByteB = r.byteB;
  s.FlagA = r.flagA != 0;
  s.ByteC = r.byteC;
  if (r.textA != nullptr)
    s.TextA = cutText(std::string_view(r.textA, strnlen(r.textA, kZwCommentMaxLength + 4)), kZwCommentMaxLength);
  return s;
}

std::string_view cutText(std::string_view text, size_t limit) {
  if (text.size() <= limit) return text;
  size_t n = limit;
  // Back off over continuation bytes (10xxxxxx) to the start of the
  // sequence that the cut would split.
  while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  return text.substr(0, n);
}

size_t copyToBuffer(char* buffer, size_t size, std::string_view text, size_t limit) {
  if (buffer == nullptr || size == 0) return 0;
  const std::string_view cut = cutText(text, std::min(limit, size - 1));
  const size_t n = cut.size();
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
  return n;
}

}  // namespace vz::zipwrap
