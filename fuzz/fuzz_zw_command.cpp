// Fuzz target of the stand-in engine's switch parser: the input is split at
// zero bytes into an argument vector (the first byte chooses the writer or
// the reader side), parsed, and checked: a command that parses has an
// archive name, a level 0..9 and no contradicting overwrite switches, and
// parsing the same vector twice gives the same command.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "zipwrap/engine/engine_command.h"
#include "zipwrap/engine/engine_results.h"

using vz::zipwrap::EngineCommand;
using vz::zipwrap::EngineSide;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const EngineSide side = (data[0] & 1) ? EngineSide::Reader : EngineSide::Writer;
  std::vector<std::string> args(1);
  for (size_t i = 1; i < size; ++i) {
    if (data[i] == 0) {
      args.emplace_back();
    } else {
      args.back().push_back(static_cast<char>(data[i]));
    }
  }
  if (args.size() > 256) return 0;
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  argv.push_back(nullptr);
  const auto argc = static_cast<int32_t>(args.size());
  // argc 1 is the entry-count call, whose argv[0] points at a 32-bit value:
  // give it one.
  uint32_t marker = 0;
  if (argc == 1) argv[0] = reinterpret_cast<const char*>(&marker);

  EngineCommand first;
  EngineCommand second;
  const uint16_t r1 = vz::zipwrap::parseEngineCommand(side, argc, argv.data(), first);
  const uint16_t r2 = vz::zipwrap::parseEngineCommand(side, argc, argv.data(), second);
  if (r1 != r2) std::abort();
  if (r1 != vz::zipwrap::kResultOk) {
    if (r1 != vz::zipwrap::kResultBadCommand) std::abort();
    return 0;
  }
  if (first.archive.empty() || first.level < 0 || first.level > 9) std::abort();
  if (first.archive != second.archive || first.files != second.files || first.includes != second.includes ||
      first.excludes != second.excludes || first.action != second.action) {
    std::abort();
  }
  (void)vz::zipwrap::hasStoredExtension(first, first.archive);
  return 0;
}
