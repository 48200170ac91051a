#include "manager/vz/progress_line.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace vz::cli {

namespace {

// The terminal's width less one, so the cursor never wraps; 79 when unknown.
size_t lineWidth(std::FILE* out) {
  winsize ws{};
  if (ioctl(fileno(out), TIOCGWINSZ, &ws) == 0 && ws.ws_col > 10) return ws.ws_col - 1;
  return 79;
}

}  // namespace

ProgressLine::ProgressLine(bool enabled, std::FILE* out) : enabled_(enabled), out_(out) {}

ProgressLine::~ProgressLine() { clear(); }

void ProgressLine::update(const std::string& name, int percent) {
  name_ = name;
  updatePercent(percent);
}

void ProgressLine::updatePercent(int percent) {
  percent_ = percent < 0 ? 0 : percent > 100 ? 100 : percent;
  draw();
}

void ProgressLine::draw() {
  if (!enabled_) return;
  std::string pct = " " + std::to_string(percent_) + "%";
  size_t width = lineWidth(out_);
  std::string name = name_;
  // Long names keep their end, which says most about the file.
  if (name.size() + pct.size() > width) {
    size_t keep = width > pct.size() + 3 ? width - pct.size() - 3 : 0;
    size_t from = name.size() - keep;
    // Start on a character, not inside one's UTF-8 sequence.
    while (from < name.size() && (static_cast<unsigned char>(name[from]) & 0xC0) == 0x80) ++from;
    name = "..." + name.substr(from);
  }
  std::string text = name + pct;
  if (text == drawn_ && drawnWidth_) return;
  std::string line = "\r" + text;
  if (text.size() < drawnWidth_) line += std::string(drawnWidth_ - text.size(), ' ') + "\r" + text;
  std::fputs(line.c_str(), out_);
  std::fflush(out_);
  drawn_ = text;
  drawnWidth_ = text.size();
}

void ProgressLine::clear() {
  if (!enabled_ || drawnWidth_ == 0) return;
  std::string blank = "\r" + std::string(drawnWidth_, ' ') + "\r";
  std::fputs(blank.c_str(), out_);
  std::fflush(out_);
  drawnWidth_ = 0;
  drawn_.clear();
}

}  // namespace vz::cli
