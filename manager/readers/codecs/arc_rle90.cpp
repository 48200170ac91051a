// Rle90Output (see arc_rle90.h).
#include "manager/readers/codecs/arc_rle90.h"

namespace vz::readers::codecs {

namespace {
constexpr uint8_t kMarker = 0x90;
}

bool Rle90Output::write(const uint8_t* data, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const uint8_t b = data[i];
    if (marker_) {
      marker_ = false;
      if (b == 0) {
        if (!window_.put(kMarker)) return false;
      } else {
        for (unsigned n = 1; n < b; ++n)
          if (!window_.put(last_)) return false;
      }
    } else if (b == kMarker) {
      marker_ = true;
    } else {
      last_ = b;
      if (!window_.put(b)) return false;
    }
  }
  return true;
}

ArcStatus arcStatusOf(engine::DecodeStatus s) {
  switch (s) {
    case engine::DecodeStatus::Ok:
      return ArcStatus::Ok;
    case engine::DecodeStatus::NoMemory:
      return ArcStatus::NoMemory;
    case engine::DecodeStatus::OutputStopped:
      return ArcStatus::OutputStopped;
    case engine::DecodeStatus::Cancelled:
      return ArcStatus::Cancelled;
    case engine::DecodeStatus::UnsupportedMethod:
      return ArcStatus::UnsupportedMethod;
    default:
      return ArcStatus::BadData;
  }
}

ArcStatus finishRle90(engine::DecodeStatus decoded, Rle90Output& rle) {
  const ArcStatus s = arcStatusOf(decoded);
  if (s == ArcStatus::OutputStopped || s == ArcStatus::Cancelled || s == ArcStatus::NoMemory) return s;
  // The bytes decoded before a fault are delivered too.
  if (!rle.finish()) return ArcStatus::OutputStopped;
  return s;
}

}  // namespace vz::readers::codecs
