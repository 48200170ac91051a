// Helpers of the entry record: the name as it may be shown, and the ratio.
#include "manager/readers/entry_record.h"

namespace vz::readers {

std::string displayName(const std::string& name) {
  std::string out = name;
  for (char& c : out) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) c = '?';
  }
  return out;
}

int32_t compressionRatio(int64_t packed, int64_t unpacked) {
  if (unpacked <= 0 || packed < 0 || packed >= unpacked) return 0;
  // 100 - packed * 100 / unpacked, computed without overflowing for sizes
  // beyond 2^56.
  const long double saved = 100.0L - static_cast<long double>(packed) * 100.0L / static_cast<long double>(unpacked);
  const auto r = static_cast<int32_t>(saved);
  return r < 0 ? 0 : (r > 100 ? 100 : r);
}

}  // namespace vz::readers
