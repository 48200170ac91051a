#include "manager/vz/wrapper_events.h"

#include "manager/vz/interrupt.h"
#include "manager/vz/questions.h"

namespace vz::cli {

using zipwrap::TZipWrapper;
using zipwrap::TZwFileStats;

WrapperView::WrapperView(TZipWrapper& w, Command command, bool quiet, std::ostream& out, std::ostream& err,
                         ProgressLine& progress)
    : w_(w), command_(command), quiet_(quiet), out_(out), err_(err), progress_(progress) {
  bind();
}

WrapperView::~WrapperView() {
  // The handlers refer to this object: unbind them with it.
  w_.OnAdding = w_.OnExtracting = w_.OnListing = w_.OnTesting = w_.OnUpdating = w_.OnStatus = nullptr;
  w_.OnDeleting = w_.OnFixing = nullptr;
  w_.OnReplace = nullptr;
  w_.OnPwdQuery = nullptr;
  w_.OnSkippingFile = nullptr;
  w_.OnNewdisk = nullptr;
}

void WrapperView::fileLine(const char* verb, const std::string& name) {
  if (quiet_ || name == lastName_) return;
  lastName_ = name;
  progress_.clear();
  out_ << "  " << verb << ": " << name << '\n' << std::flush;
}

void WrapperView::listed(const TZwFileStats& e) {
  progress_.clear();
  if (!headerPrinted_) out_ << listingHeader();
  headerPrinted_ = true;
  out_ << listingLine(e);
  totals_.add(e);
}

void WrapperView::finishListing() {
  progress_.clear();
  if (!headerPrinted_) out_ << listingHeader();
  headerPrinted_ = true;
  out_ << totals_.text() << std::flush;
}

namespace {

// The handler f, followed by the Ctrl+C check that turns a request into Abort.
template <class F>
auto guarded(F f) {
  return [f](TZipWrapper& w, auto&&... args) {
    f(w, std::forward<decltype(args)>(args)...);
    if (interruptRequested()) w.Abort = true;
  };
}

}  // namespace

void WrapperView::bind() {
  w_.OnListing = guarded([this](TZipWrapper&, const TZwFileStats& e) { listed(e); });
  w_.OnAdding = guarded([this](TZipWrapper&, const TZwFileStats& e) {
    fileLine("adding", e.FileName);
    progress_.update(e.FileName, e.PercentDone);
  });
  w_.OnExtracting = guarded([this](TZipWrapper&, const TZwFileStats& e) {
    fileLine("extracting", e.FileName);
    progress_.update(e.FileName, e.PercentDone);
  });
  w_.OnUpdating = guarded([this](TZipWrapper&, const TZwFileStats& e) {
    fileLine("updating", e.FileName);
    progress_.update(e.FileName, e.PercentDone);
  });
  w_.OnTesting = guarded([this](TZipWrapper&, const TZwFileStats& e) {
    fileLine("testing", e.FileName);
    progress_.update(e.FileName, e.PercentDone);
  });
  w_.OnStatus = guarded([this](TZipWrapper&, const TZwFileStats& e) {
    if (e.FileName.empty())
      progress_.updatePercent(e.PercentDone);
    else
      progress_.update(e.FileName, e.PercentDone);
  });
  w_.OnDeleting = guarded([this](TZipWrapper&, const std::string& name) { fileLine("deleting", name); });
  w_.OnFixing = guarded([this](TZipWrapper&, const std::string& name) { fileLine("keeping", name); });
  w_.OnSkippingFile = guarded([this](TZipWrapper&, const zipwrap::TZwSkipping& s) {
    progress_.clear();
    err_ << skipWarning(s.FileName, s.Reason, command_ == Command::Test) << '\n' << std::flush;
    ++skips_;
    progress_.updatePercent(0);
  });
  w_.OnReplace = guarded([this](TZipWrapper& w, zipwrap::TZwReplace& r) {
    progress_.clear();
    ReplaceDecision d = askReplace(r.FileName);
    switch (d.kind) {
      case ReplaceDecision::Replace:
        r.Answer = 1;
        break;
      case ReplaceDecision::Keep:
        r.Answer = 0;
        break;
      case ReplaceDecision::Rename:
        r.Answer = 1;
        r.NewName = d.newName;
        break;
      case ReplaceDecision::Cancel:
        r.Answer = 0;
        w.Abort = true;
        break;
    }
  });
  w_.OnPwdQuery = guarded([this](TZipWrapper&, zipwrap::TZwPwdQuery& q) {
    progress_.clear();
    PasswordDecision d = askPassword(q.FileName);
    q.Answer = d.answer;
    q.Password = d.password;
  });
  w_.OnNewdisk = guarded([this](TZipWrapper& w, int disk) {
    progress_.clear();
    if (!askNewDisk(disk)) w.Abort = true;
  });
}

}  // namespace vz::cli
