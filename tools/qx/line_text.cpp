#include "tools/qx/line_text.h"

namespace vz::qx {

std::string escapeForLine(const std::string& text) {
  std::string s;
  s.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '\t':
        s += "\\t";
        break;
      case '\n':
        s += "\\n";
        break;
      case '\r':
        s += "\\r";
        break;
      default:
        s += c;
    }
  }
  return s;
}

}  // namespace vz::qx
