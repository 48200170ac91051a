// Test data shared by the reader codec tests: text, random and repetitive
// bytes of a given size, made the same way on every run.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace vz::test::codecs {

enum class DataKind { Text, Random, Repetitive };

inline const char* kindName(DataKind k) {
  return k == DataKind::Text ? "text" : k == DataKind::Random ? "random" : "repetitive";
}

inline std::vector<uint8_t> makeData(DataKind kind, size_t size, uint32_t seed = 1) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> out;
  out.reserve(size);
  static const char* const kWords[] = {"archive", "folder", "entry", "the", "of",         "header", "block",
                                       "window",  "code",   "table", "a",   "compressed", "\n"};
  while (out.size() < size) {
    switch (kind) {
      case DataKind::Text: {
        const std::string w = kWords[rng() % 13];
        out.insert(out.end(), w.begin(), w.end());
        out.push_back(' ');
        break;
      }
      case DataKind::Random:
        out.push_back(static_cast<uint8_t>(rng()));
        break;
      case DataKind::Repetitive: {
        // Long runs and short repeated patterns (the KwKwK case comes up often).
        const size_t run = 1 + rng() % 300;
        const uint8_t b = static_cast<uint8_t>("aab\0"[rng() % 4]);
        out.insert(out.end(), run, b);
        break;
      }
    }
  }
  out.resize(size);
  return out;
}

}  // namespace vz::test::codecs
