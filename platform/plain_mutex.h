// A mutex for the platform's process-wide slots (the program launcher, the
// user-interface back end) whose lock never throws. Locking a default POSIX
// mutex cannot fail; std::mutex's failure path would link the library's
// error reporting (std::system_error and its messages) into the statically
// linked self-extractor stub. Used through std::lock_guard.
#pragma once

#include <pthread.h>

namespace vz {

class PlainMutex {
 public:
  PlainMutex() = default;
  PlainMutex(const PlainMutex&) = delete;
  PlainMutex& operator=(const PlainMutex&) = delete;
  ~PlainMutex() { pthread_mutex_destroy(&m_); }

  void lock() noexcept { pthread_mutex_lock(&m_); }
  void unlock() noexcept { pthread_mutex_unlock(&m_); }

 private:
  pthread_mutex_t m_ = PTHREAD_MUTEX_INITIALIZER;
};

}  // namespace vz
