// Version and method rules (see version_rules.h).
#include "control/engine/format/version_rules.h"

#include "control/engine/format/zip_records.h"

namespace vz::engine {

namespace {

constexpr int kHighestPlainHost = 8;       // hosts 0..8 are reported as they are
constexpr int kEngineHost = 11;            // the engine's own host value, reported as is
constexpr int kMaxVersionNeeded = 20;      // version 2.0: the newest format the engine reads
constexpr int kUnsupportedHostNeeded = 2;  // a version-needed high byte the engine refuses

}  // namespace

int16_t madeUnderOf(uint16_t versionMadeBy) {
  const int host = versionMadeBy >> 8;
  if (host <= kHighestPlainHost || host == kEngineHost) return static_cast<int16_t>(host);
  return kMadeUnderUnknown;
}

bool isExtractable(uint16_t method, uint16_t versionNeeded) {
  const bool knownMethod = method <= kMethodImploded || method == kMethodDeflated;
  return knownMethod && (versionNeeded & 0xFF) <= kMaxVersionNeeded && (versionNeeded >> 8) != kUnsupportedHostNeeded;
}

}  // namespace vz::engine
