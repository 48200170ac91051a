// Small helpers every benchmark program shares: running a peer tool quietly,
// timing a piece of work, and the median of repeated timings.
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

namespace vz::bench {

// Runs argv (looked up on PATH, no shell) with its output discarded, in cwd
// when given and with standard input from stdinFile when given; returns the
// exit status, -1 when the program could not run to an exit.
inline int runQuiet(const std::vector<std::string>& argv, const std::string& cwd = "",
                    const std::string& stdinFile = "") {
  const pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    if (!stdinFile.empty()) {
      const int in = open(stdinFile.c_str(), O_RDONLY);
      dup2(in, 0);
    }
    if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

// Wall-clock milliseconds that f takes.
template <class F>
double timeMs(F&& f) {
  const auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace vz::bench
