// The extractors' password loop (see password_loop.h).
#include "manager/readers/password_loop.h"

namespace vz::readers {

bool PasswordLoop::find(TUnBase& x, const std::string& fn, const std::function<bool(const std::string&)>& works,
                        std::string& chosen) {
  auto accept = [&](const std::string& p) {
    if (p.empty() || !works(p)) return false;
    chosen = last_ = p;
    return true;
  };
  if (accept(last_)) return true;
  for (const std::string& p : x.Passwords)
    if (accept(p)) return true;
  if (!x.OnGetPassword) return false;
  for (int ask = 0; ask < kMaxPasswordAsks; ++ask) {
    std::string password;
    bool tryAgain = false;
    x.OnGetPassword(x, fn, password, tryAgain);
    if (password.empty()) return false;
    if (accept(password)) return true;
    if (!tryAgain) return false;
  }
  return false;
}

}  // namespace vz::readers
