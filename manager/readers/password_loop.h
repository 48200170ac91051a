// The extractors' password loop for encrypted entries (TUnARJ, TUnBH, TUnARC):
// the password that opened an earlier entry of the run first, then each of
// the extractor's Passwords, then OnGetPassword for as long as the handler
// answers with a password and sets TryAgain after a wrong one (at most
// kMaxPasswordAsks questions per entry, so a handler that always says "try
// again" cannot hold the run).
#pragma once

#include <functional>
#include <string>

#include "manager/readers/un_base.h"

namespace vz::readers {

constexpr int kMaxPasswordAsks = 16;

class PasswordLoop {
 public:
  // Finds a password for the entry fn that works() accepts; false when none
  // did (the caller reports 25190).
  bool find(TUnBase& extractor, const std::string& fn, const std::function<bool(const std::string&)>& works,
            std::string& chosen);

 private:
  std::string last_;  // the password that opened the previous encrypted entry
};

}  // namespace vz::readers
