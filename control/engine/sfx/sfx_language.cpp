// The configuration block's texts from a language file (see sfx_config.h).
// Kept apart from the block's reader so that the stub, which only reads the
// block, links no profile code.
#include <string>

#include "control/engine/sfx/sfx_config.h"
#include "control/engine/sfx/sfx_fields.h"
#include "platform/profile.h"

namespace vz::engine {

namespace {

using sfx_fields::kFields;
using sfx_fields::TextField;

// Language-file values are read into a 512-byte buffer: at most 511
// characters survive.
constexpr size_t kLanguageValueMax = 511;

}  // namespace

SfxConfig sfxConfigFromLanguageFile(const std::string& languageFile, std::optional<std::string> caption,
                                    std::optional<std::string> runCommand, int overwriteMode, bool askDirectory) {
  SfxConfig c;
  // The first character of the mode in decimal ("-1" gives "-").
  const std::string digits = std::to_string(overwriteMode);
  c.overwriteMode = digits[0];
  c.askDirectory = askDirectory ? '1' : '0';
  for (const TextField& f : kFields) {
    if (!f.key) continue;
    std::string v = getProfileString("Main", f.key, "", languageFile);
    if (v.size() > kLanguageValueMax) v.resize(kLanguageValueMax);
    v = iniUnescape(v);
    c.*(f.member) = v.empty() ? std::string(f.def) : v;
  }
  c.caption = caption ? *caption : std::string(kDefaultSfxCaption);
  c.runCommand = runCommand ? *runCommand : std::string();
  return c;
}

}  // namespace vz::engine
