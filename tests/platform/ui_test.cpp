// The user-interface service: message boxes in the original flags, the
// one-line description, the default and scripted back ends, answers files.
#include "platform/ui.h"

#include <gtest/gtest.h>

#include "tests/support/test_env.h"

namespace {

using namespace vz::ui;

// A question like the control's replace dialog: rename disabled, and an
// OK that needs edit text like the rename dialog's.
Question sampleQuestion() {
  Question q;
  q.caption = "Replace...";
  q.text = "The file a.txt already exists.\nWould you like to replace it?";
  q.buttons = {{1, "&Yes", true, false, false},
               {2, "&No", false, false, false},
               {3, "&Rename...", false, true, false},
               {4, "Ok", false, false, true}};
  q.closeId = 2;
  return q;
}

// Installs a back end for one test and restores the previous one.
class BackendScope {
 public:
  explicit BackendScope(std::shared_ptr<Backend> b) : previous_(setBackend(std::move(b))) {}
  ~BackendScope() { setBackend(previous_); }

 private:
  std::shared_ptr<Backend> previous_;
};

std::vector<std::string> texts(const Question& q) {
  std::vector<std::string> out;
  for (auto& b : q.buttons) out.push_back(b.text);
  return out;
}

int defaultId(const Question& q) {
  for (auto& b : q.buttons)
    if (b.isDefault) return b.id;
  return 0;
}

TEST(MessageBox, ButtonSetsTextsDefaultsAndCloseAnswers) {
  Question q = messageBoxQuestion("text", "cap", MB_YESNOCANCEL | MB_DEFBUTTON2 | MB_ICONQUESTION);
  EXPECT_EQ(texts(q), (std::vector<std::string>{"&Yes", "&No", "Cancel"}));
  EXPECT_EQ(defaultId(q), IDNO);
  EXPECT_EQ(q.closeId, IDCANCEL);
  EXPECT_EQ(q.icon, Icon::Question);

  q = messageBoxQuestion("t", "c", MB_YESNO);
  EXPECT_EQ(defaultId(q), IDYES);
  EXPECT_EQ(q.closeId, IDNO);  // no Cancel: closing says No

  q = messageBoxQuestion("t", "c", MB_OK | MB_ICONSTOP);
  EXPECT_EQ(texts(q), (std::vector<std::string>{"OK"}));
  EXPECT_EQ(q.closeId, IDOK);
  EXPECT_EQ(q.icon, Icon::Error);

  q = messageBoxQuestion("t", "c", MB_ABORTRETRYIGNORE | MB_DEFBUTTON3 | MB_ICONWARNING);
  EXPECT_EQ(texts(q), (std::vector<std::string>{"&Abort", "&Retry", "&Ignore"}));
  EXPECT_EQ(defaultId(q), IDIGNORE);
  EXPECT_EQ(q.closeId, IDABORT);

  q = messageBoxQuestion("t", "c", MB_RETRYCANCEL | MB_DEFBUTTON3);  // no third button
  EXPECT_EQ(defaultId(q), IDRETRY);
  EXPECT_EQ(q.closeId, IDCANCEL);

  q = messageBoxQuestion("t", "c", MB_OKCANCEL | MB_ICONINFORMATION);
  EXPECT_EQ(texts(q), (std::vector<std::string>{"OK", "Cancel"}));
  EXPECT_EQ(q.icon, Icon::Information);
}

TEST(Describe, FormatsCaptionTextAndButtonsOnOneLine) {
  Question q = sampleQuestion();
  q.text = "Line one\r\nLine two\nthree\tend";
  EXPECT_EQ(describe(q), "Replace...\tLine one\\nLine two\\nthree\\tend\t[Yes]* [No] [Rename...]- [Ok]-");
  q.edit = EditField{"", "name.txt", 0, false};  // with edit text, Ok is enabled
  EXPECT_EQ(describe(q).substr(describe(q).rfind('\t') + 1), "[Yes]* [No] [Rename...]- [Ok]");
  EXPECT_EQ(plainButtonText("&Yes"), "yes");
  EXPECT_EQ(plainButtonText("Ne&ver"), "never");
  EXPECT_EQ(plainButtonText("R&&D"), "r&d");
}

TEST(DefaultBackend, AnswersWithTheDefaultAndReportsOnStandardError) {
  vz::test::ScopedRoot root;
  setBackend(nullptr);
  testing::internal::CaptureStderr();
  int r = messageBox("Disk full", "Backup", MB_RETRYCANCEL | MB_DEFBUTTON2);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(r, IDCANCEL);
  EXPECT_EQ(err, "Backup\tDisk full\t[Retry] [Cancel]*\n");

  Question q = sampleQuestion();
  q.buttons[0].disabled = true;  // the default cannot be pressed: first enabled one
  testing::internal::CaptureStderr();
  EXPECT_EQ(ask(q).buttonId, 2);
  testing::internal::GetCapturedStderr();
  for (auto& b : q.buttons) b.disabled = true;
  testing::internal::CaptureStderr();
  EXPECT_EQ(ask(q).buttonId, q.closeId);
  EXPECT_TRUE(backend().chooseFiles({}).empty());
  EXPECT_FALSE(backend().chooseFolder({}).has_value());
  testing::internal::GetCapturedStderr();
}

TEST(ScriptedBackend, ChoosesByTextOrIdAndRecordsEveryQuestion) {
  auto s = std::make_shared<ScriptedBackend>();
  BackendScope scope(s);
  s->pushButton("no");
  s->pushButton("&YES");  // compared in the plain form
  ScriptedBackend::Scripted byId;
  byId.buttonId = IDCANCEL;
  s->push(byId);
  EXPECT_EQ(s->pending(), 3u);
  EXPECT_EQ(ask(sampleQuestion()).buttonId, 2);
  EXPECT_EQ(messageBox("Continue?", "Q", MB_YESNO), IDYES);
  EXPECT_EQ(messageBox("Stop?", "Q2", MB_OKCANCEL), IDCANCEL);
  EXPECT_EQ(s->pending(), 0u);
  // The queue is empty: the close answer.
  EXPECT_EQ(messageBox("More?", "Q3", MB_YESNOCANCEL), IDCANCEL);
  ASSERT_EQ(s->asked().size(), 4u);
  EXPECT_EQ(s->asked()[0].caption, "Replace...");
  EXPECT_EQ(s->asked()[1].text, "Continue?");
  EXPECT_EQ(s->asked()[3].caption, "Q3");
  EXPECT_TRUE(s->errors().empty());
}

TEST(ScriptedBackend, DisabledUnknownAndEditDependentButtons) {
  ScriptedBackend s;
  Question q = sampleQuestion();
  s.pushButton("rename...");                    // disabled
  s.pushButton("always");                       // not in the question
  s.pushButton("ok");                           // needs edit text, none given
  s.pushButton("ok", std::string("new name"));  // the edit text enables it
  ScriptedBackend::Scripted badId;
  badId.buttonId = 99;
  s.push(badId);
  EXPECT_EQ(s.ask(q).buttonId, q.closeId);
  EXPECT_EQ(s.ask(q).buttonId, q.closeId);
  EXPECT_EQ(s.ask(q).buttonId, q.closeId);
  EXPECT_EQ(s.ask(q).buttonId, q.closeId);  // no edit field: the edit text does not count
  q.edit = EditField{"Name:", "", 0, false};
  s.pushButton("ok", std::string("new name"));
  Answer a = s.ask(q);  // badId first
  EXPECT_EQ(a.buttonId, q.closeId);
  a = s.ask(q);
  EXPECT_EQ(a.buttonId, 4);
  EXPECT_EQ(a.editText, "new name");
  ASSERT_EQ(s.errors().size(), 5u);
  EXPECT_NE(s.errors()[0].find("disabled"), std::string::npos) << s.errors()[0];
  EXPECT_NE(s.errors()[1].find("always"), std::string::npos) << s.errors()[1];
}

TEST(ScriptedBackend, ActionRunsAfterTheQuestionIsRecordedAndBeforeTheAnswer) {
  ScriptedBackend s;
  size_t askedDuringAction = 0;
  bool diskInserted = false;
  ScriptedBackend::Scripted step;
  step.buttonText = "ok";
  step.action = [&] {
    askedDuringAction = s.asked().size();
    diskInserted = true;
  };
  s.push(step);
  Answer a = s.ask(messageBoxQuestion("Insert disk 2", "Backup", MB_OKCANCEL));
  EXPECT_TRUE(diskInserted);
  EXPECT_EQ(askedDuringAction, 1u);
  EXPECT_EQ(a.buttonId, IDOK);
  // A step without a button takes the default, judged with its edit text.
  ScriptedBackend::Scripted def;
  def.editText = "pw";
  s.push(def);
  Question q = sampleQuestion();
  q.buttons[0].isDefault = false;
  q.buttons[3].isDefault = true;
  q.edit = EditField{"Password:", "", 0, true};
  a = s.ask(q);
  EXPECT_EQ(a.buttonId, 4);
  EXPECT_EQ(a.editText, "pw");
}

TEST(ScriptedBackend, ChoosersTakePathsAndCancelWhenEmpty) {
  ScriptedBackend s;
  s.pushPaths({"/tmp/a.zip"});
  s.pushPaths({});
  s.pushPaths({"/x", "/y"});
  s.pushPaths({"/x", "/y"});
  s.pushPaths({"/data"});
  FileChooser one;
  one.caption = "Build a new ZIP file...";
  EXPECT_EQ(s.chooseFiles(one), (std::vector<std::string>{"/tmp/a.zip"}));
  EXPECT_TRUE(s.chooseFiles(one).empty());
  EXPECT_TRUE(s.chooseFiles(one).empty());  // two paths for one choice: a script error
  FileChooser many = one;
  many.allowMultiple = true;
  EXPECT_EQ(s.chooseFiles(many).size(), 2u);
  EXPECT_EQ(s.chooseFolder({"Folder", "/"}).value(), "/data");
  EXPECT_FALSE(s.chooseFolder({"Folder", "/"}).has_value());  // queue empty
  EXPECT_EQ(s.fileChoosers().size(), 4u);
  EXPECT_EQ(s.folderChoosers().size(), 2u);
  EXPECT_EQ(s.errors().size(), 1u);
}

TEST(AnswersFile, LinesGiveButtonsEditTextsAndPaths) {
  vz::test::ScopedRoot root;
  std::string path = root.path() + "/answers.txt";
  vz::test::writeFile(path, std::string_view("retry my secret  pass\r\n"
                                             "\n"
                                             "/home/u/My Files/out.zip\n"
                                             "no"));  // no final line feed
  std::string error;
  auto s = loadAnswersFile(path, &error);
  ASSERT_NE(s, nullptr) << error;
  EXPECT_EQ(s->pending(), 4u);
  Question pw;
  pw.caption = "Password...";
  pw.buttons = {{16, "&Retry", true, false, false}, {17, "&Bypass", false, false, false}};
  pw.closeId = 17;
  pw.edit = EditField{"Password:", "", 0, true};
  testing::internal::CaptureStderr();
  Answer a = s->ask(pw);
  EXPECT_EQ(a.buttonId, 16);
  EXPECT_EQ(a.editText, "my secret  pass");
  EXPECT_EQ(s->ask(pw).buttonId, 16);  // empty line: the default
  EXPECT_EQ(s->chooseFiles({}), (std::vector<std::string>{"/home/u/My Files/out.zip"}));
  EXPECT_EQ(s->ask(messageBoxQuestion("Replace?", "Q", MB_YESNO)).buttonId, IDNO);
  std::string err = testing::internal::GetCapturedStderr();
  // Every question goes to standard error as its description.
  EXPECT_NE(err.find("Password...\t\t[Retry]* [Bypass]\n"), std::string::npos) << err;
  EXPECT_NE(err.find("Q\tReplace?\t[Yes]* [No]\n"), std::string::npos) << err;
  EXPECT_TRUE(s->errors().empty());

  EXPECT_EQ(loadAnswersFile(root.path() + "/missing.txt", &error), nullptr);
  EXPECT_NE(error.find("missing.txt"), std::string::npos);
}

// A button whose name has a blank ("Skip File") can be named on an answers
// line, with or without edit text after it; a one-word button still wins.
TEST(AnswersFile, MultiWordButtonNames) {
  vz::test::ScopedRoot root;
  std::string path = root.path() + "/answers.txt";
  vz::test::writeFile(path, std::string_view("skip file\nalways skip\nok Always Skip\nskip files\n"));
  std::string error;
  auto s = loadAnswersFile(path, &error);
  ASSERT_NE(s, nullptr) << error;
  Question pw;
  pw.caption = "Password";
  pw.buttons = {{2, "&OK", false, false, true}, {0, "&Skip File", true}, {1, "&Always Skip"}};
  pw.closeId = 0;
  pw.edit = EditField{"Password:", "", 80, true};
  testing::internal::CaptureStderr();
  EXPECT_EQ(s->ask(pw).buttonId, 0);
  EXPECT_EQ(s->ask(pw).buttonId, 1);
  Answer typed = s->ask(pw);
  EXPECT_EQ(typed.buttonId, 2);
  EXPECT_EQ(typed.editText, "Always Skip");
  EXPECT_TRUE(s->errors().empty());
  EXPECT_EQ(s->ask(pw).buttonId, 0);  // "skip files" names no button: the close answer
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(s->errors().size(), 1u);
}

}  // namespace
