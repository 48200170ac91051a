// The progress line of vz on standard error: the name being worked on and
// its PercentDone, redrawn in place with "\r" and cleared at the end. It is
// drawn only when standard error is a terminal; otherwise every call does
// nothing, so logs and pipes never see carriage returns.
//
// Other output to the same terminal (a line on standard output, a warning,
// a question) must call clear() first; the next update() draws again.
#pragma once

#include <cstdio>
#include <string>

namespace vz::cli {

class ProgressLine {
 public:
  // enabled: draw at all; out: where (standard error).
  ProgressLine(bool enabled, std::FILE* out);
  ~ProgressLine();

  void update(const std::string& name, int percent);
  // Keeps the name, changes the percentage (a phase's progress).
  void updatePercent(int percent);
  void clear();

 private:
  void draw();

  bool enabled_;           // standard error is a terminal
  std::FILE* out_;         // where the line is drawn
  std::string name_;       // what is worked on
  int percent_ = 0;        // 0..100
  size_t drawnWidth_ = 0;  // characters now on the line (0: nothing drawn)
  std::string drawn_;      // the text last drawn, to skip identical redraws
};

}  // namespace vz::cli
