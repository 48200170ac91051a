// A scripted stand-in for the external engine, for the wrapper's tests. The
// same source is built as ZWZIP32.so (entry point zwzip), ZWUNZ32.so
// (zwunzip) and a library whose only export has another name (the
// missing-entry-point case); VZ_FAKE_ENTRY names the export.
//
// Each call appends to the log file $VZ_FAKE_ENGINE_LOG:
//   call <entry> <argc> <arg> <arg> ...    one line; each argument escaped
//                                           (space "\s", tab "\t", line feed
//                                           "\n", backslash "\\", an empty
//                                           argument "\e"); the
//                                           entry-count call logs
//                                           "#<marker>" for argv[0]
//   reply <code> <callback's reply> key=value ...   after each callback,
//                                           what the host wrote back
// and replays the script $VZ_FAKE_ENGINE_SCRIPT, one line each:
//   result <n>                  the 32-bit value the call returns (default 0)
//   cb <code> key=value ...     a callback with the record's fields; values
//                               are unescaped as above, numbers may be hex
//   cb <code> null              the callback with a null record
// A callback that replies 1 ends the replay and the call returns 190.
// Keys: file record name size a b attr time date c ba pct bb flag text bc;
// skip name reason; replace/password/comment name; count and disk n;
// archive comment out text len.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "zipwrap/engine/engine_abi.h"

using namespace vz::zipwrap;

namespace {

std::string escape(std::string_view s) {
  if (s.empty()) return "\\e";
  std::string out;
  for (char c : s) {
    switch (c) {
      case ' ':
        out += "\\s";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\\':
        out += "\\\\";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string unescape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\' || i + 1 == s.size()) {
      out += s[i];
      continue;
    }
    const char c = s[++i];
    if (c != 'e') out += c == 's' ? ' ' : c == 't' ? '\t' : c == 'n' ? '\n' : c;
  }
  return out;
}

struct Line {
  uint32_t code = 0;
  bool null = false;
  std::map<std::string, std::string> fields;
  std::string text(const std::string& key) const {
    auto it = fields.find(key);
    return it == fields.end() ? std::string() : it->second;
  }
  long long number(const std::string& key) const {
    auto it = fields.find(key);
    return it == fields.end() ? 0 : std::strtoll(it->second.c_str(), nullptr, 0);
  }
};

void logLine(const std::string& line) {
  const char* path = std::getenv("VZ_FAKE_ENGINE_LOG");
  if (path == nullptr) return;
  std::ofstream(path, std::ios::app) << line << "\n";
}

// Runs one scripted callback and logs what the host wrote back.
uint32_t replay(const Line& l, EngineCallback cb, void* user) {
  std::ostringstream reply;
  uint32_t rc = 0;
  if (l.null) {
    rc = cb(l.code, nullptr, user);
    logLine("reply " + std::to_string(l.code) + " " + std::to_string(rc));
    return rc;
  }
  const std::string name = l.text("name");
  switch (l.code) {
    case kCbReplace: {
      char buffer[kZwNameBufferSize] = {};
      ZwReplaceRecord r{name.c_str(), buffer, 0};
      rc = cb(l.code, &r, user);
      reply << " newname=" << escape(buffer) << " answer=" << int(r.answer);
      break;
    }
    case kCbPassword: {
      char buffer[kZwPasswordBufferSize] = {};
      ZwPasswordRecord r{name.c_str(), buffer, 0};
      rc = cb(l.code, &r, user);
      reply << " password=" << escape(buffer) << " answer=" << int(r.answer);
      break;
    }
    case kCbFileComment: {
      char buffer[kZwCommentBufferSize] = {};
      ZwCommentRecord r{name.c_str(), buffer, 0};
      rc = cb(l.code, &r, user);
      reply << " length=" << int(r.length) << " comment=" << escape(std::string(buffer, r.length));
      break;
    }
    case kCbArchiveCommentIn: {
      char buffer[kZwCommentBufferSize] = {};
      ZwArchiveCommentIn r{buffer, 0, 0};
      rc = cb(l.code, &r, user);
      reply << " length=" << r.length << " status=" << r.status << " comment=" << escape(std::string(buffer, r.length))
            << " terminated=" << (buffer[r.length] == '\0' ? 1 : 0);
      break;
    }
    case kCbArchiveCommentOut: {
      const std::string text = l.text("text");
      ZwArchiveCommentOut r{text.c_str(), static_cast<uint16_t>(l.number("len"))};
      rc = cb(l.code, &r, user);
      break;
    }
    case kCbEntryCount: {
      ZwCountRecord r{static_cast<uint32_t>(l.number("n"))};
      rc = cb(l.code, &r, user);
      break;
    }
    case kCbNewDisk: {
      ZwDiskRecord r{static_cast<uint32_t>(l.number("n"))};
      rc = cb(l.code, &r, user);
      break;
    }
    case kCbSkipping: {
      ZwSkipRecord r{name.c_str(), static_cast<uint8_t>(l.number("reason"))};
      rc = cb(l.code, &r, user);
      break;
    }
    case kCbDeleting:
    case kCbFixing:
      rc = cb(l.code, const_cast<char*>(name.c_str()), user);
      break;
    default: {
      // The file record (codes 50, 60, 80, 90, 1000, 1010, 1030 and any
      // other number).
      const std::string text = l.text("text");
      ZwFileRecord r{};
      r.fileName = name.c_str();
      r.size = static_cast<uint32_t>(l.number("size"));
      r.valueA = static_cast<uint32_t>(l.number("a"));
      r.valueB = static_cast<uint32_t>(l.number("b"));
      r.attributes = static_cast<uint8_t>(l.number("attr"));
      r.dosTime = static_cast<uint16_t>(l.number("time"));
      r.dosDate = static_cast<uint16_t>(l.number("date"));
      r.valueC = static_cast<int32_t>(l.number("c"));
      r.byteA = static_cast<uint8_t>(l.number("ba"));
      r.percentDone = static_cast<uint8_t>(l.number("pct"));
      r.byteB = static_cast<uint8_t>(l.number("bb"));
      r.flagA = static_cast<uint8_t>(l.number("flag"));
      r.textA = text.c_str();
      r.byteC = static_cast<uint8_t>(l.number("bc"));
      rc = cb(l.code, &r, user);
    }
  }
  logLine("reply " + std::to_string(l.code) + " " + std::to_string(rc) + reply.str());
  return rc;
}

uint32_t fakeCall(const char* entry, uint32_t magic, int32_t argc, char** argv, EngineCallback cb, void* user) {
  std::string call = std::string("call ") + entry + " " + std::to_string(argc);
  if (argc == 1) {
    uint32_t marker = 0;
    std::memcpy(&marker, argv[0], sizeof marker);
    call += " #" + std::to_string(marker) + " " + escape(argv[1]);
  } else {
    for (int32_t i = 0; i < argc; ++i) call += " " + escape(argv[i]);
  }
  if (magic != kEngineCallMagic) call += " (bad magic)";
  logLine(call);

  uint32_t result = 0;
  const char* scriptPath = std::getenv("VZ_FAKE_ENGINE_SCRIPT");
  std::ifstream script(scriptPath != nullptr ? scriptPath : "");
  std::string text;
  while (std::getline(script, text)) {
    std::istringstream words(text);
    std::string verb;
    words >> verb;
    if (verb == "result") {
      words >> result;
    } else if (verb == "cb" && cb != nullptr) {
      Line l;
      words >> l.code;
      std::string word;
      while (words >> word) {
        const size_t eq = word.find('=');
        if (word == "null") l.null = true;
        if (eq != std::string::npos) l.fields[word.substr(0, eq)] = unescape(word.substr(eq + 1));
      }
      if (replay(l, cb, user) != kReplyContinue) return 190;
    }
  }
  return result;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) uint32_t VZ_FAKE_ENTRY(uint32_t magic, int32_t argc, char** argv,
                                                                         EngineCallback cb, void* user) {
  return fakeCall(VZ_FAKE_ENTRY_NAME, magic, argc, argv, cb, user);
}
