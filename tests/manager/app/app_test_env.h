// Shared pieces of the main window's logic tests: a fake MainView that
// records what the controller shows, an environment variable set for a
// scope, and a fixture with a private VZ_ROOT, a scripted user-interface
// back end and the engine folder chosen per test (the scripted fake engine
// or the stand-in engine).
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "manager/app/main_controller.h"
#include "platform/ui.h"
#include "tests/support/test_env.h"

namespace vz::manager::test {

class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (old_)
      setenv(name_, old_->c_str(), 1);
    else
      unsetenv(name_);
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

class FakeView : public MainView {
 public:
  void setCaption(const std::string& c) override { captions.push_back(c); }
  void setPanel(int panel, const std::string& text) override { panels[panel == 0 ? 0 : 1] = text; }
  void showRows(const std::vector<ListedRow>& r) override { rows = r; }
  void applyCommandState(const CommandState& s) override { state = s; }
  std::vector<int> selectedRows() const override { return selection; }
  void setRecentFiles(const std::vector<std::string>& f) override { recent = f; }
  void setSendToEntries(const std::vector<SendToEntry>& e) override { sendTo = e; }
  void applyViewSettings(int style, bool alpha, bool highlight) override {
    viewStyle = style;
    sortAlpha = alpha;
    buttonsHighlight = highlight;
  }
  void openProgress(char letter) override { progressLetters.push_back(letter); }
  void setProgress(int percent) override {
    progress.push_back(percent);
    if (onProgress) onProgress(percent);
  }
  void setFeedback(const std::string& text) override { feedback.push_back(text); }
  void closeProgress() override { ++progressClosed; }
  void bringToFront() override {}
  std::optional<std::string> askViewMethod(const std::string& ext) override {
    askedMethods.push_back(ext);
    return viewMethodAnswer;
  }
  void showInternalViewer(const std::string& file) override { viewed.push_back(file); }
  void waitForInstallation() override { ++installWaits; }

  std::vector<std::string> captions;
  std::string panels[2];
  std::vector<ListedRow> rows;
  CommandState state;
  std::vector<int> selection;
  std::vector<std::string> recent;
  std::vector<SendToEntry> sendTo;
  int viewStyle = -1;
  bool sortAlpha = false;
  bool buttonsHighlight = false;
  std::string progressLetters;
  std::vector<int> progress;
  std::function<void(int)> onProgress;
  std::vector<std::string> feedback;
  int progressClosed = 0;
  std::vector<std::string> askedMethods;
  std::optional<std::string> viewMethodAnswer;
  std::vector<std::string> viewed;
  int installWaits = 0;
};

// Private VZ_ROOT, scripted answers, and the fake engine replaying script().
class ControllerTest : public testing::Test {
 protected:
  ControllerTest()
      : engine_("VZ_ENGINE_DIR", VZ_FAKE_ENGINE_DIR),
        script_("VZ_FAKE_ENGINE_SCRIPT", dir_.file("script")),
        log_("VZ_FAKE_ENGINE_LOG", dir_.file("log")) {
    ui_ = std::make_shared<vz::ui::ScriptedBackend>();
    old_ = vz::ui::setBackend(ui_);
    script("");
  }
  ~ControllerTest() override { vz::ui::setBackend(old_); }

  void script(const std::string& text) { vz::test::writeFile(dir_.file("script"), text); }
  std::string engineLog() const {
    std::vector<uint8_t> b = vz::test::readFile(dir_.file("log"));
    return {b.begin(), b.end()};
  }
  // The texts of every question asked so far.
  std::vector<std::string> texts() const {
    std::vector<std::string> t;
    for (const vz::ui::Question& q : ui_->asked()) t.push_back(q.text);
    return t;
  }
  // An empty file under the scratch folder.
  std::string touch(const std::string& name) {
    vz::test::writeFile(dir_.file(name), std::string_view("x"));
    return dir_.file(name);
  }

  vz::test::ScopedRoot root_;
  vz::test::ScratchDir dir_{"vzapp"};
  ScopedEnv engine_, script_, log_;
  std::shared_ptr<vz::ui::ScriptedBackend> ui_;
  std::shared_ptr<vz::ui::Backend> old_;
  FakeView view_;
};

}  // namespace vz::manager::test
