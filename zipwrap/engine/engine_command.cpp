// The switch parser of the external engine (grammar: engine_command.h).
#include "zipwrap/engine/engine_command.h"

#include <cstring>
#include <string_view>

#include "platform/charcase.h"
#include "zipwrap/engine/engine_abi.h"
#include "zipwrap/engine/engine_results.h"
#include "zipwrap/engine/methods/modern_encoders.h"

namespace vz::zipwrap {
namespace {

// Sets the action once; a second, different action is a bad command.
bool setAction(EngineCommand& out, bool& actionSet, EngineAction action) {
  if (actionSet && out.action != action) return false;
  out.action = action;
  actionSet = true;
  return true;
}

bool twoDigits(std::string_view s, size_t at, int& value) {
  if (s[at] < '0' || s[at] > '9' || s[at + 1] < '0' || s[at + 1] > '9') return false;
  value = (s[at] - '0') * 10 + (s[at + 1] - '0');
  return true;
}

// MMDDYY, years 80-99 in the 1900s and 00-79 in the 2000s.
bool parseDate(std::string_view text, SinceDate& out) {
  int month = 0, day = 0, year = 0;
  if (text.size() != 6 || !twoDigits(text, 0, month) || !twoDigits(text, 2, day) || !twoDigits(text, 4, year)) {
    return false;
  }
  if (month < 1 || month > 12 || day < 1 || day > 31) return false;
  out.month = month;
  out.day = day;
  out.year = year >= 80 ? 1900 + year : 2000 + year;
  return true;
}

void splitExtensions(std::string_view list, std::vector<std::string>& out) {
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find_first_of(";:", start);
    if (end == std::string_view::npos) end = list.size();
    std::string_view item = list.substr(start, end - start);
    while (!item.empty() && item.front() == ' ') item.remove_prefix(1);
    while (!item.empty() && item.back() == ' ') item.remove_suffix(1);
    if (!item.empty()) out.emplace_back(item);
    start = end + 1;
  }
}

// One grouped token of single-letter switches ("-rj"). False on a letter
// the side does not know.
bool applyLetters(EngineSide side, std::string_view letters, EngineCommand& out, bool& actionSet) {
  for (char c : letters) {
    bool ok = true;
    if (side == EngineSide::Writer) {
      switch (c) {
        case 'f': ok = setAction(out, actionSet, EngineAction::Freshen); break;
        case 'u': ok = setAction(out, actionSet, EngineAction::Update); break;
        case 'd': ok = setAction(out, actionSet, EngineAction::Delete); break;
        case 'z': ok = setAction(out, actionSet, EngineAction::WriteComment); break;
        case 'e': out.encrypt = true; break;
        case 'A':
          out.aes = true;
          out.encrypt = true;
          break;
        case 'm': out.moveFiles = true; break;
        case 'S': out.includeHidden = true; break;
        case 'D': out.directoryEntries = true; break;
        case '$': out.volumeLabel = true; break;
        case 'r': out.recurse = true; break;
        case 'j': out.junkPaths = true; break;
        case 'g': out.inPlace = true; break;
        case '!': out.multiDisk = true; break;
        case '&': out.wipeDisks = true; break;
        case 'c': out.askFileComments = true; break;
        default: return false;
      }
    } else {
      switch (c) {
        case 'v': ok = setAction(out, actionSet, EngineAction::List); break;
        case 't': ok = setAction(out, actionSet, EngineAction::Test); break;
        case 'z': ok = setAction(out, actionSet, EngineAction::ReadComment); break;
        case 'f': out.freshenOnly = true; break;
        case 'u': out.updateOnly = true; break;
        case 'j': out.junkPaths = true; break;
        case 'o':
          if (out.overwrite == ExtractOverwrite::Never) return false;
          out.overwrite = ExtractOverwrite::Always;
          break;
        case 'n':
          if (out.overwrite == ExtractOverwrite::Always) return false;
          out.overwrite = ExtractOverwrite::Never;
          break;
        case '!': out.multiDisk = true; break;
        default: return false;
      }
    }
    if (!ok) return false;
  }
  return true;
}

}  // namespace

uint16_t parseEngineCommand(EngineSide side, int32_t argc, const char* const* argv, EngineCommand& out) {
  out = EngineCommand{};
  out.side = side;
  if (argv == nullptr || argc < 1) return kResultBadCommand;

  // The entry-count call: argv[0] points at the marker, argv[1] the name.
  if (argc == 1) {
    if (side != EngineSide::Reader || argv[0] == nullptr || argv[1] == nullptr || argv[1][0] == '\0') {
      return kResultBadCommand;
    }
    uint32_t marker = 0;
    std::memcpy(&marker, argv[0], sizeof marker);
    out.action = EngineAction::CountEntries;
    out.multiDisk = marker == kMultiDiskCountMarker;
    out.archive = argv[1];
    return kResultOk;
  }

  for (int32_t i = 0; i < argc; ++i) {
    if (argv[i] == nullptr) return kResultBadCommand;
  }
  out.password = argv[0];
  if (side == EngineSide::Reader) out.action = EngineAction::Extract;
  bool actionSet = false;

  int32_t i = 1;
  // Switches up to the archive name.
  for (; i < argc; ++i) {
    std::string_view token = argv[i];
    if (token.empty() || token[0] != '-') break;
    std::string_view body = token.substr(1);
    if (body.empty()) return kResultBadCommand;
    if (side == EngineSide::Writer) {
      if (body.size() == 1 && body[0] >= '0' && body[0] <= '9') {
        out.level = body[0] - '0';
        continue;
      }
      if (body == "F" || body == "FF") {
        if (!setAction(out, actionSet, body == "F" ? EngineAction::Fix : EngineAction::FixThorough)) {
          return kResultBadCommand;
        }
        continue;
      }
      if (body == "b" || body == "n" || body == "t" || body == "Z") {
        if (i + 1 >= argc) return kResultBadCommand;
        std::string_view value = argv[++i];
        if (body == "b") {
          out.tempDir = value;
        } else if (body == "n") {
          splitExtensions(value, out.storedExtensions);
        } else if (body == "Z") {
          const std::optional<uint16_t> method = methodFromName(value);
          if (!method) return kResultBadCommand;
          out.method = *method;
        } else {
          SinceDate date;
          if (!parseDate(value, date)) return kResultBadCommand;
          out.since = date;
        }
        continue;
      }
    }
    if (!applyLetters(side, body, out, actionSet)) return kResultBadCommand;
  }
  if (i >= argc) return kResultBadCommand;
  out.archive = argv[i++];
  if (out.archive.empty()) return kResultBadCommand;

  // Patterns and the list switches.
  enum class ListKind { Files, Includes, Excludes } kind = ListKind::Files;
  for (; i < argc; ++i) {
    std::string_view token = argv[i];
    if (token == "-i") {
      kind = ListKind::Includes;
      continue;
    }
    if (token == "-x") {
      kind = ListKind::Excludes;
      continue;
    }
    if (token == "-d" && side == EngineSide::Reader) {
      if (i + 1 >= argc) return kResultBadCommand;
      out.extractDir = argv[++i];
      continue;
    }
    if (token.empty()) continue;
    switch (kind) {
      case ListKind::Files: out.files.emplace_back(token); break;
      case ListKind::Includes: out.includes.emplace_back(token); break;
      case ListKind::Excludes: out.excludes.emplace_back(token); break;
    }
  }

  if (side == EngineSide::Reader && out.freshenOnly && out.updateOnly) return kResultBadCommand;
  return kResultOk;
}

bool hasStoredExtension(const EngineCommand& command, const std::string& fileName) {
  size_t slash = fileName.find_last_of('/');
  std::string_view base = std::string_view(fileName).substr(slash == std::string::npos ? 0 : slash + 1);
  for (const std::string& ext : command.storedExtensions) {
    std::string_view e = ext;
    if (e.size() > base.size()) continue;
    if (equalsNoCase(base.substr(base.size() - e.size()), e)) {
      // ".ZIP" must match the whole extension, "ZIP" (no dot) too.
      if (e[0] == '.' || base.size() == e.size() || base[base.size() - e.size() - 1] == '.') return true;
    }
  }
  return false;
}

}  // namespace vz::zipwrap
