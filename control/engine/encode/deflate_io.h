// The input and output interfaces of the deflate compressor.
//
// The compressor reads the file to be compressed through a DeflateInput and
// writes the compressed bytes through a DeflateOutput; it touches nothing
// else, so it runs the same over files (FileDeflateInput reading an open
// disk file, FileDeflateOutput writing into the archive being built at its
// current position) and over memory (MemoryDeflateInput, VectorDeflateOutput:
// tests, fuzzers and benchmarks).
//
// Input rule: read() fills as much of the request as the source still
// holds; it returns fewer bytes only at the end of the input. A return of 0
// ends the input, whether the file ended or could not be read (the
// compressor does not tell the two apart). The implementations here never
// return a short count before the end, so the compressor's reads, and with
// them its output, do not depend on how the operating system splits reads.
//
// Output rule: write() takes all bytes or fails; a failure sets the
// compressor's output-error flag.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vz {
class File;
}

namespace vz::engine {

class DeflateInput {
 public:
  DeflateInput() = default;
  virtual ~DeflateInput() = default;
  DeflateInput(const DeflateInput&) = delete;
  DeflateInput& operator=(const DeflateInput&) = delete;

  // Reads up to n (> 0) bytes into buf; the count read, 0 at the end of the
  // input or on a read error.
  virtual size_t read(uint8_t* buf, size_t n) = 0;
  // The input's length as known when compression starts; the progress rate
  // is measured against it.
  virtual uint64_t length() const = 0;
};

// Reads an open file from its current position to its end.
class FileDeflateInput final : public DeflateInput {
 public:
  explicit FileDeflateInput(File& file);
  size_t read(uint8_t* buf, size_t n) override;
  uint64_t length() const override { return length_; }

 private:
  File& file_;       // the open input file (not owned)
  uint64_t length_;  // bytes from the position at construction to the end
};

// Reads bytes in memory.
class MemoryDeflateInput final : public DeflateInput {
 public:
  MemoryDeflateInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  explicit MemoryDeflateInput(const std::vector<uint8_t>& bytes) : MemoryDeflateInput(bytes.data(), bytes.size()) {}
  size_t read(uint8_t* buf, size_t n) override;
  uint64_t length() const override { return size_; }

 private:
  const uint8_t* data_;  // the input (not owned)
  size_t size_;          // its length
  size_t offset_ = 0;    // bytes handed out so far
};

class DeflateOutput {
 public:
  DeflateOutput() = default;
  virtual ~DeflateOutput() = default;
  DeflateOutput(const DeflateOutput&) = delete;
  DeflateOutput& operator=(const DeflateOutput&) = delete;

  // Takes count (> 0) compressed bytes; false when they could not all be
  // written.
  virtual bool write(const uint8_t* data, size_t count) = 0;
};

// Writes into an open file at its current position (the archive being
// built, after the entry's local header).
class FileDeflateOutput final : public DeflateOutput {
 public:
  explicit FileDeflateOutput(File& file) : file_(file) {}
  bool write(const uint8_t* data, size_t count) override;

 private:
  File& file_;  // the open output file (not owned)
};

// Appends to a byte vector.
class VectorDeflateOutput final : public DeflateOutput {
 public:
  bool write(const uint8_t* data, size_t count) override;

  std::vector<uint8_t> bytes;  // everything written, in order
};

}  // namespace vz::engine
