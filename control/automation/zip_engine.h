// The write side's engine object of one control instance: the settings
// that the write methods hand to the archive writer (engine::WriteEngine:
// compression and overwrite modes, report window, pumping, cancel request,
// prompts), plus the 81-byte password buffer (80 characters and the
// terminator) that goes with it.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "control/engine/write/zip_writer_engine.h"
#include "platform/types.h"

namespace vz::control {

struct ZipEngine : engine::WriteEngine {
  // The password of the running call, zero-terminated; at most 80
  // characters.
  std::array<char, 81> password{};

  // Stores a password, cut to 80 characters.
  void setPassword(std::string_view text) {
    password.fill('\0');
    const size_t n = text.size() < password.size() - 1 ? text.size() : password.size() - 1;
    for (size_t i = 0; i < n; ++i) password[i] = text[i];
  }
};

}  // namespace vz::control
