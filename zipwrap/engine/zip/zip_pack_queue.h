// Compressing the files of an update on worker threads while the calling
// thread writes the archive in order.
//
//   calling thread:  take(0) write  take(1) write  take(2) write ...
//   workers:         pack(0) pack(1) pack(2) pack(3) ...   (in job order)
//
// Every job is one file, packed whole and on its own: its compressed stream
// does not depend on any other file, so the archive is the same bytes
// whatever the number of workers. A file up to kInMemoryLimit is read and
// compressed into memory; a larger one is compressed from the file into a
// spool file in the temporary folder (memory stays small), or, when it does
// not shrink, left to be copied from its source by the writer.
//
// Memory is bounded by a budget of in-flight bytes: a worker starts the
// next job only while the jobs packed and not yet taken stay within it (or
// when none is in flight), so fast workers cannot run ahead of a slow
// writer without limit. Jobs are started in order and taken in order, so
// the job the writer waits for has always been started.
//
// Threads: workers never talk to the host. take() waits on a condition
// variable and wakes for the job's completion or for its progress, which it
// hands to its caller on the calling thread. With no workers (VZ_THREADS=1)
// take() packs the job itself.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vz::zipwrap {

class EntryCompressor;

// Files above this are packed through a spool file, not in memory.
constexpr uint64_t kInMemoryLimit = 4ull << 20;
// Progress is reported in steps of this many input bytes.
constexpr uint64_t kProgressStep = 1ull << 20;

struct PackJob {
  std::string native;  // the file to read
  uint64_t size = 0;   // its length when it was found
  int level = 6;       // 0: store without trying
  uint16_t method = 8;  // the method tried (8 deflate, 12, 14, 93, 95); stored when it does not shrink
};

enum class PackedKind {
  Memory,      // bytes holds the entry's data
  Spool,       // spoolPath holds the entry's (compressed) data
  FromSource,  // stored: the writer copies the source file (rawSize bytes, crc32 expected)
  Failed,      // see sourceFailed
};

struct PackedData {
  PackedKind kind = PackedKind::Failed;
  std::vector<uint8_t> bytes;  // Memory: the data as it goes into the entry
  std::string spoolPath;       // Spool: the file that holds it (the taker removes it)
  uint16_t method = 0;         // 0 stored, else the job's method
  uint64_t rawSize = 0;        // bytes of the file packed
  uint64_t packedSize = 0;     // bytes of data in the entry (before encryption)
  uint32_t crc32 = 0;          // of the file's bytes
  bool sourceFailed = false;   // Failed: the file could not be opened or read (skip it)
  int error = 0;               // Failed otherwise: errno of the spool write that failed
};

class PackQueue {
 public:
  // workers 0: every job is packed by take() on the calling thread.
  PackQueue(std::vector<PackJob> jobs, unsigned workers, std::string spoolFolder);
  ~PackQueue();
  PackQueue(const PackQueue&) = delete;
  PackQueue& operator=(const PackQueue&) = delete;

  // Waits for job index (taken in order, each once) and returns it; while
  // waiting, progress receives the bytes of the job read so far.
  PackedData take(size_t index, const std::function<void(uint64_t)>& progress);
  // Lets running jobs finish and starts no more (the destructor does it too).
  void stop();

 private:
  void workerLoop();
  uint64_t costOf(size_t index) const;

  std::vector<PackJob> jobs_;                // in writing order
  std::string spoolFolder_;                  // where spool files go
  uint64_t budget_ = 0;                      // most in-flight cost at once (a single job may exceed it)
  std::mutex mutex_;                         // guards everything below
  std::condition_variable workReady_;        // workers: a job may start (budget freed) or stop
  std::condition_variable jobChanged_;       // taker: a job finished or reported progress
  size_t next_ = 0;                          // first job not started
  uint64_t inFlight_ = 0;                    // cost of jobs started and not yet taken
  bool stopping_ = false;                    // no more jobs start
  std::vector<PackedData> results_;          // per job, valid once done_
  std::vector<char> done_;                   // per job: packed
  std::vector<char> taken_;                  // per job: handed to the taker
  std::vector<uint64_t> progress_;           // per job: input bytes read (in steps)
  uint64_t progressEpoch_ = 0;               // bumped at every progress step
  std::vector<std::thread> workers_;         // the worker threads
  std::unique_ptr<EntryCompressor> inline_;  // the compressor of take() without workers
};

// The worker count of VZ_THREADS (1 or less: no workers), else one per core
// (a single core: none).
unsigned packWorkerCount();

}  // namespace vz::zipwrap
