// Small text helpers (see text.h).
#include "platform/text.h"

namespace vz::text {

std::string_view trim(std::string_view s, std::string_view chars) {
  const size_t b = s.find_first_not_of(chars);
  if (b == std::string_view::npos) return {};
  const size_t e = s.find_last_not_of(chars);
  return s.substr(b, e - b + 1);
}

}  // namespace vz::text
