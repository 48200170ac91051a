// The data sets the codec benchmarks compress and decompress: generated
// text and files of this machine gathered up to a minimum size.
#pragma once

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace vz::bench {

inline std::vector<uint8_t> readFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeFile(const std::filesystem::path& p, const std::vector<uint8_t>& d) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(d.data()), static_cast<std::streamsize>(d.size()));
}

// Regular files under dir whose names pass keep, sorted.
template <class Keep>
std::vector<std::filesystem::path> listFiles(const std::filesystem::path& dir, Keep keep) {
  namespace fs = std::filesystem;
  std::vector<fs::path> files;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(dir, fs::directory_options::skip_permission_denied, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (it->is_regular_file(ec) && !it->is_symlink(ec) && keep(it->path())) files.push_back(it->path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

// Appends the files in order until out holds at least minSize bytes.
inline void appendUntilFull(const std::vector<std::filesystem::path>& files, size_t minSize,
                            std::vector<uint8_t>& out) {
  for (const auto& f : files) {
    if (out.size() >= minSize) break;
    const std::vector<uint8_t> d = readFile(f);
    out.insert(out.end(), d.begin(), d.end());
  }
}

// Sentences of dictionary words (a rough Zipf draw, so frequent words are
// much more frequent), at least minSize bytes; withNumbers sprinkles in a
// number now and then.
inline std::vector<uint8_t> makeText(size_t minSize, bool withNumbers) {
  std::vector<std::string> words;
  std::ifstream dict("/usr/share/dict/words");
  for (std::string w; std::getline(dict, w) && words.size() < 50000;) {
    if (!w.empty() && w.find('\'') == std::string::npos) words.push_back(w);
  }
  if (words.size() < 1000) {
    const char* base[] = {"the",     "of",     "and",      "to",     "in",      "is",    "that",  "for",
                          "it",      "as",     "was",      "with",   "be",      "by",    "on",    "not",
                          "he",      "this",   "are",      "or",     "his",     "from",  "at",    "which",
                          "archive", "window", "compress", "folder", "extract", "table", "entry", "method"};
    for (const char* b : base) {
      for (const char* suffix : {"", "s", "ed", "ing", "er", "ly", "ness", "able"}) {
        words.push_back(std::string(b) + suffix);
      }
    }
  }
  std::mt19937 rng(12345);
  std::vector<uint8_t> out;
  size_t sentence = 0;
  while (out.size() < minSize) {
    const double u = std::uniform_real_distribution<double>(0, 1)(rng);
    const size_t index = static_cast<size_t>(std::pow(static_cast<double>(words.size()), u)) - 1;
    std::string w = words[std::min(index, words.size() - 1)];
    if (sentence == 0 && !w.empty()) w[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(w[0])));
    out.insert(out.end(), w.begin(), w.end());
    ++sentence;
    const unsigned r = rng() % 100;
    if (sentence > 6 && r < 12) {
      out.push_back('.');
      out.push_back(rng() % 5 == 0 ? '\n' : ' ');
      sentence = 0;
    } else if (r < 18) {
      out.push_back(',');
      out.push_back(' ');
    } else {
      out.push_back(' ');
    }
    if (withNumbers && rng() % 400 == 0) {
      const std::string number = std::to_string(rng() % 100000);
      out.insert(out.end(), number.begin(), number.end());
      out.push_back(' ');
    }
  }
  return out;
}

}  // namespace vz::bench
