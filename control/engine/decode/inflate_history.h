// Inflate behind a preset history: one deflate stream decoded into a buffer
// whose first bytes are the output of earlier streams, so that matches may
// reach back into them. CAB's MSZIP needs it: every data block of a folder
// is a deflate stream of its own, and its matches reach into the 32 KB
// decoded from the blocks before it.
//
//   buffer         buffer + historySize        buffer + historySize + room
//   | history ...  | decoded bytes go here ... |
#pragma once

#include <cstddef>
#include <cstdint>

#include "control/engine/decode/decode_io.h"
#include "control/engine/decode/decode_status.h"

namespace vz::engine {

// Decodes blocks until the one marked last into buffer[historySize ..
// historySize + room); produced is the number of bytes written there. A
// match may reach back to buffer[0] (historySize at most 32,768 is what
// deflate can reach). Statuses as inflateFlat (inflate_flat.h): data that
// would run past room gives OutputStopped with the room filled; nothing is
// written outside the room, but up to 31 bytes past produced may be
// overwritten when decoding ends early.
[[nodiscard]] DecodeStatus inflateAfterHistory(DecodeInput& input, uint8_t* buffer, size_t historySize, size_t room,
                                               size_t& produced, const DecodeHooks* hooks = nullptr);

}  // namespace vz::engine
