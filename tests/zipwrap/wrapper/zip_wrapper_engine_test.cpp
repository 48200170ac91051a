// TZipWrapper against the scripted fake engine (tests/zipwrap/fake_engine):
// which library each operation calls and with what, the refusals, the
// result and secondary codes, every callback code's event and the replies
// written into the engine's records, the pump before every callback, Abort,
// and binding failures (240) that are retried on the next operation.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/window.h"
#include "tests/support/test_env.h"
#include "zipwrap/zip_wrapper.h"
#include "zipwrap/zip_wrapper_records.h"

namespace vz::zipwrap {
namespace {

using Tokens = std::vector<std::string>;

std::string unescape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size()) {
      const char c = s[++i];
      if (c != 'e') out += c == 's' ? ' ' : c == 't' ? '\t' : c == 'n' ? '\n' : c;
    } else {
      out += s[i];
    }
  }
  return out;
}

class ZipWrapperEngine : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("VZ_ENGINE_DIR", VZ_FAKE_ENGINE_DIR, 1);
    setenv("VZ_FAKE_ENGINE_LOG", scratch_.file("log").c_str(), 1);
    setenv("VZ_FAKE_ENGINE_SCRIPT", scratch_.file("script").c_str(), 1);
    w_ = std::make_unique<TZipWrapper>();
    w_->ZipFileName = "a.zip";
  }
  void TearDown() override {
    w_.reset();
    setMessagePump(nullptr);
    unsetenv("VZ_ENGINE_DIR");
    unsetenv("VZ_FAKE_ENGINE_LOG");
    unsetenv("VZ_FAKE_ENGINE_SCRIPT");
  }

  void script(const std::string& text) { test::writeFile(scratch_.file("script"), text); }
  // The log's lines, each split into unescaped words.
  std::vector<Tokens> log() const {
    std::vector<Tokens> lines;
    std::ifstream in(scratch_.file("log"));
    std::string line;
    while (std::getline(in, line)) {
      std::istringstream words(line);
      Tokens t;
      std::string word;
      while (words >> word) t.push_back(unescape(word));
      lines.push_back(t);
    }
    return lines;
  }
  // The "reply" lines, without the word "reply".
  std::vector<Tokens> replies() const {
    std::vector<Tokens> out;
    for (Tokens t : log()) {
      if (!t.empty() && t[0] == "reply") out.emplace_back(t.begin() + 1, t.end());
    }
    return out;
  }
  std::vector<Tokens> calls() const {
    std::vector<Tokens> out;
    for (Tokens t : log()) {
      if (!t.empty() && t[0] == "call") out.emplace_back(t.begin() + 1, t.end());
    }
    return out;
  }

  test::ScopedRoot root_;
  test::ScratchDir scratch_{"zw"};
  std::unique_ptr<TZipWrapper> w_;
};

// ---- Operations: library, vector, result, FilesToProcess ----

struct OperationCase {
  const char* name;
  const char* entry;  // the entry point the operation must reach
  std::function<int(TZipWrapper&)> run;
  Tokens firstArgs;  // the vector's first words after argc
};

void PrintTo(const OperationCase& c, std::ostream* os) { *os << c.name; }

class ZipWrapperOperation : public ZipWrapperEngine, public ::testing::WithParamInterface<OperationCase> {};

TEST_P(ZipWrapperOperation, ReachesItsLibraryAndEmptiesTheFileList) {
  script("result 327720\n");  // 5 << 16 | 40
  w_->FilesToProcess = {"f"};
  w_->Abort = true;
  const int code = GetParam().run(*w_);
  EXPECT_TRUE(w_->FilesToProcess.empty());
  EXPECT_FALSE(w_->Abort);
  const auto c = calls();
  ASSERT_EQ(c.size(), 1u);
  EXPECT_EQ(c[0][0], GetParam().entry);
  const Tokens head(c[0].begin() + 2, c[0].begin() + 2 + std::min(c[0].size() - 2, GetParam().firstArgs.size()));
  EXPECT_EQ(head, GetParam().firstArgs);
  if (std::string(GetParam().name) != "GetEntryCount") {
    EXPECT_EQ(code, 40);
    EXPECT_EQ(w_->SecondaryCode, 5);
  }
}

const OperationCase kOperations[] = {
    {"Add", "zwzip", [](TZipWrapper& w) { return w.AddFiles(0); }, {"", "-6"}},
    {"Freshen", "zwzip", [](TZipWrapper& w) { return w.AddFiles(1); }, {"", "-f", "-6"}},
    {"Delete", "zwzip", [](TZipWrapper& w) { return w.DeleteFiles(); }, {"", "-d", "a.zip", "f"}},
    {"Fix", "zwzip", [](TZipWrapper& w) { return w.FixArchive(true); }, {"", "-FF", "a.zip"}},
    {"WriteComment", "zwzip", [](TZipWrapper& w) { return w.WriteArchiveComment("c"); }, {"", "-z", "a.zip"}},
    {"Extract", "zwunzip", [](TZipWrapper& w) { return w.ExtractFiles(2); }, {"", "-u", "a.zip", "f"}},
    {"List", "zwunzip", [](TZipWrapper& w) { return w.ListArchive(); }, {"", "-v", "a.zip", "f"}},
    {"Test", "zwunzip", [](TZipWrapper& w) { return w.TestArchive(); }, {"", "-t", "a.zip", "f"}},
    {"ReadComment",
     "zwunzip",
     [](TZipWrapper& w) { return w.ReadArchiveComment() == "Error #40" ? 40 : -1; },
     {"", "-z", "a.zip"}},
    {"GetEntryCount", "zwunzip", [](TZipWrapper& w) { return w.GetEntryCount(); }, {"#0", "a.zip"}},
};

INSTANTIATE_TEST_SUITE_P(ZipWrapper, ZipWrapperOperation, ::testing::ValuesIn(kOperations),
                         [](const ::testing::TestParamInfo<OperationCase>& p) { return std::string(p.param.name); });

TEST_F(ZipWrapperEngine, MultidiskRefusalsCallNothing) {
  w_->MultidiskMode = true;
  const std::vector<std::function<int()>> refused = {
      [&] { return w_->AddFiles(1); },       [&] { return w_->AddFiles(2); },     [&] { return w_->DeleteFiles(); },
      [&] { return w_->FixArchive(false); }, [&] { return w_->ExtractFiles(1); }, [&] { return w_->ExtractFiles(2); },
  };
  for (const auto& op : refused) {
    w_->FilesToProcess = {"f"};
    EXPECT_EQ(op(), 430);
    EXPECT_TRUE(w_->FilesToProcess.empty());
  }
  TZipWrapper::ArchiveComment = "kept";
  w_->FilesToProcess = {"f"};
  EXPECT_EQ(w_->WriteArchiveComment("new"), 0);
  EXPECT_EQ(TZipWrapper::ArchiveComment, "kept");
  EXPECT_TRUE(w_->FilesToProcess.empty());
  EXPECT_TRUE(calls().empty());
  // What multi-disk mode still allows reaches the engine with "-!".
  EXPECT_EQ(w_->AddFiles(0), 0);
  EXPECT_EQ(w_->ExtractFiles(0), 0);
  EXPECT_EQ(w_->GetEntryCount(), 0);
  const auto c = calls();
  ASSERT_EQ(c.size(), 3u);
  EXPECT_EQ(c[2], (Tokens{"zwunzip", "1", "#1234567890", "a.zip"}));
}

TEST_F(ZipWrapperEngine, EntryCountAndCommentReturnRules) {
  script("cb 70 n=17\n");
  EXPECT_EQ(w_->GetEntryCount(), 17);
  script("cb 70 n=9\nresult 110\n");
  EXPECT_EQ(w_->GetEntryCount(), 0);
  EXPECT_EQ(w_->EntryCount, 9);

  // 130: the 16-bit length decides (shorter than the text here), cut to 255.
  script("cb 130 text=Hello\\sworld!! len=11\n");
  EXPECT_EQ(w_->ReadArchiveComment(), "Hello world");
  script("cb 130 text=" + std::string(300, 'x') + " len=300\n");
  EXPECT_EQ(w_->ReadArchiveComment(), std::string(255, 'x'));
  // No comment delivered: empty, never the previous archive's.
  script("");
  EXPECT_EQ(w_->ReadArchiveComment(), "");
  script("result 100\n");
  EXPECT_EQ(w_->ReadArchiveComment(), "Error #100");
}

TEST_F(ZipWrapperEngine, WriteCommentHandsTheCutTextToTheEngine) {
  script("cb 140\n");
  const std::string text = std::string(254, 'c') + "\xC3\xA9" + "tail";  // "é" straddles the cut
  EXPECT_EQ(w_->WriteArchiveComment(text), 0);
  EXPECT_EQ(TZipWrapper::ArchiveComment, std::string(254, 'c'));
  const auto r = replies();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0], (Tokens{"140", "0", "length=254", "status=1", "comment=" + std::string(254, 'c'), "terminated=1"}));
  script("cb 140\n");
  EXPECT_EQ(w_->WriteArchiveComment("short"), 0);
  EXPECT_EQ(replies()[1], (Tokens{"140", "0", "length=5", "status=1", "comment=short", "terminated=1"}));
}

TEST_F(ZipWrapperEngine, NewInstanceEmptiesTheSharedComment) {
  TZipWrapper::ArchiveComment = "x";
  TZipWrapper other;
  EXPECT_EQ(TZipWrapper::ArchiveComment, "");
}

// ---- Callbacks ----

TEST_F(ZipWrapperEngine, FileRecordsReachTheirEventsWithEveryField) {
  std::vector<std::pair<std::string, TZwFileStats>> seen;
  auto record = [&](const char* event) {
    return [&seen, event](TZipWrapper&, const TZwFileStats& s) { seen.emplace_back(event, s); };
  };
  w_->OnTesting = record("testing");
  w_->OnExtracting = record("extracting");
  w_->OnListing = record("listing");
  w_->OnUpdating = record("updating");
  w_->OnAdding = record("adding");
  w_->OnStatus = record("status");
  // 2024-02-29 13:45:58 = date (44 << 9 | 2 << 5 | 29), time (13 << 11 | 45 << 5 | 29).
  const std::string fields =
      " name=dir/f\\s1.txt size=4000000000 a=2 b=0xDEADBEEF attr=0xFF time=0x6DBD date=0x585D c=-1 ba=8 pct=100 "
      "bb=37 flag=2 text=note bc=3\n";
  script("cb 50" + fields + "cb 60" + fields + "cb 80" + fields + "cb 1000" + fields + "cb 1010" + fields + "cb 1030" +
         fields + "cb 90 name=a.zip size=9 b=2 date=0x0000\n");
  EXPECT_EQ(w_->TestArchive(), 0);
  const std::vector<std::string> order = {"testing", "extracting", "listing", "updating", "adding", "status"};
  ASSERT_EQ(seen.size(), order.size());
  for (size_t i = 0; i < order.size(); ++i) {
    SCOPED_TRACE(order[i]);
    const TZwFileStats& s = seen[i].second;
    EXPECT_EQ(seen[i].first, order[i]);
    EXPECT_EQ(s.FileName, "dir/f 1.txt");
    EXPECT_EQ(s.Size, 4000000000u);
    EXPECT_EQ(s.ValueA, 2u);
    EXPECT_EQ(s.ValueB, 0xDEADBEEFu);
    EXPECT_EQ(s.Attributes, 0x3F);
    EXPECT_EQ(s.DateTime.year, 2024);
    EXPECT_EQ(s.DateTime.month, 2);
    EXPECT_EQ(s.DateTime.day, 29);
    EXPECT_EQ(s.DateTime.hour, 13);
    EXPECT_EQ(s.DateTime.minute, 45);
    EXPECT_EQ(s.DateTime.second, 58);
    EXPECT_EQ(s.ValueC, -1);
    EXPECT_EQ(s.ByteA, 8);
    EXPECT_EQ(s.PercentDone, 100);
    EXPECT_EQ(s.ByteB, 37);
    EXPECT_TRUE(s.FlagA);
    EXPECT_EQ(s.ByteC, 3);
    EXPECT_EQ(s.TextA, "note");
  }
  // 90 raises nothing; its month-0 stamp carries 1 January 1980.
  EXPECT_EQ(w_->Totals.FileName, "a.zip");
  EXPECT_EQ(w_->Totals.Size, 9u);
  EXPECT_EQ(w_->Totals.ValueB, 2u);
  EXPECT_EQ(w_->Totals.DateTime.year, 1980);
  EXPECT_EQ(w_->Totals.DateTime.month, 1);
  EXPECT_EQ(w_->Totals.DateTime.day, 1);
}

TEST_F(ZipWrapperEngine, NameDiskAndSkipEvents) {
  Tokens seen;
  w_->OnDeleting = [&](TZipWrapper&, const std::string& n) { seen.push_back("deleting " + n); };
  w_->OnFixing = [&](TZipWrapper&, const std::string& n) { seen.push_back("fixing " + n); };
  w_->OnNewdisk = [&](TZipWrapper&, int d) { seen.push_back("disk " + std::to_string(d)); };
  w_->OnSkippingFile = [&](TZipWrapper&, const TZwSkipping& s) {
    seen.push_back("skip " + s.FileName + " " + std::to_string(s.Reason));
  };
  script("cb 1020 name=gone.txt\ncb 1070 name=kept.txt\ncb 110 n=0\ncb 110 n=3\ncb 1060 name=s reason=7\n");
  EXPECT_EQ(w_->DeleteFiles(), 0);
  EXPECT_EQ(seen, (Tokens{"deleting gone.txt", "fixing kept.txt", "disk 0", "disk 3", "skip s 7"}));
}

TEST_F(ZipWrapperEngine, ReplaceAndCommentAnswersAreWrittenBack) {
  w_->OnReplace = [](TZipWrapper&, TZwReplace& r) {
    EXPECT_EQ(r.FileName, "/out/x");
    EXPECT_EQ(r.NewName, "");
    r.NewName = "x (2)";
    r.Answer = 1;
  };
  w_->OnFileComment = [](TZipWrapper&, TZwFileComment& c) {
    EXPECT_EQ(c.Comment, "");
    c.Comment = c.FileName == "long" ? std::string(400, 'k') : "about " + c.FileName;
  };
  script("cb 10 name=/out/x\ncb 120 name=f.txt\ncb 120 name=long\n");
  EXPECT_EQ(w_->ExtractFiles(0), 0);
  const auto r = replies();
  ASSERT_EQ(r.size(), 3u);
  EXPECT_EQ(r[0], (Tokens{"10", "0", "newname=x (2)", "answer=1"}));
  EXPECT_EQ(r[1], (Tokens{"120", "0", "length=11", "comment=about f.txt"}));
  EXPECT_EQ(r[2], (Tokens{"120", "0", "length=255", "comment=" + std::string(255, 'k')}));
}

TEST_F(ZipWrapperEngine, PasswordQueryAskedOnlyWithoutPassword) {
  int asked = 0;
  w_->OnPwdQuery = [&](TZipWrapper&, TZwPwdQuery& q) {
    ++asked;
    EXPECT_EQ(q.FileName, "secret.txt");
    EXPECT_EQ(q.Password, "");
    q.Password = std::string(90, 'p');
    q.Answer = 1;
  };
  script("cb 100 name=secret.txt\n");
  EXPECT_EQ(w_->ExtractFiles(0), 0);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(replies().back(), (Tokens{"100", "0", "password=" + std::string(80, 'p'), "answer=1"}));

  w_->Password = std::string(85, 'q');
  EXPECT_EQ(w_->TestArchive(), 0);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(replies().back(), (Tokens{"100", "0", "password=" + std::string(80, 'q'), "answer=2"}));
}

TEST_F(ZipWrapperEngine, UnassignedHandlersAndNullRecordsLeaveRecordsAlone) {
  script("cb 10 name=x\ncb 100 name=y\ncb 120 name=z\ncb 60 null\ncb 10 null\ncb 1020 null\ncb 4242 name=q\n");
  EXPECT_EQ(w_->ExtractFiles(0), 0);
  const auto r = replies();
  ASSERT_EQ(r.size(), 7u);
  EXPECT_EQ(r[0], (Tokens{"10", "0", "newname=", "answer=0"}));
  EXPECT_EQ(r[1], (Tokens{"100", "0", "password=", "answer=0"}));
  EXPECT_EQ(r[2], (Tokens{"120", "0", "length=0", "comment="}));
}

TEST_F(ZipWrapperEngine, EveryCallbackPumpsFirstAndAbortStops) {
  Tokens order;
  setMessagePump([&] { order.push_back("pump"); });
  w_->OnListing = [&](TZipWrapper& w, const TZwFileStats& s) {
    order.push_back(s.FileName);
    if (s.FileName == "b") w.Abort = true;
  };
  script("cb 80 name=a\ncb 70 n=1\ncb 80 name=b\ncb 80 name=c\nresult 0\n");
  EXPECT_EQ(w_->ListArchive(), 190);
  EXPECT_FALSE(w_->Abort);
  EXPECT_EQ(order, (Tokens{"pump", "a", "pump", "pump", "b"}));
  const auto r = replies();
  ASSERT_EQ(r.size(), 3u);
  EXPECT_EQ(r[2], (Tokens{"80", "1"}));
}

TEST_F(ZipWrapperEngine, ThrowingHandlerStopsTheRun) {
  w_->OnAdding = [](TZipWrapper&, const TZwFileStats&) { throw std::runtime_error("handler failed"); };
  script("cb 1010 name=a\ncb 1010 name=b\n");
  EXPECT_EQ(w_->AddFiles(0), 190);
  EXPECT_EQ(replies().size(), 1u);
}

// ---- Binding ----

TEST_F(ZipWrapperEngine, MissingLibraryGives240AndIsRetried) {
  test::ScratchDir engines("zweng");
  setenv("VZ_ENGINE_DIR", engines.path().c_str(), 1);
  TZipWrapper w;
  w.ZipFileName = "a.zip";
  w.FilesToProcess = {"f"};
  EXPECT_EQ(w.AddFiles(0), 240);
  EXPECT_TRUE(w.FilesToProcess.empty());
  EXPECT_EQ(w.ListArchive(), 240);
  EXPECT_EQ(w.GetEntryCount(), 0);
  EXPECT_EQ(w.ReadArchiveComment(), "Error #240");

  // A library without the entry point fails the same way (the file's name
  // in another case is still found).
  std::filesystem::copy_file(VZ_FAKE_NOENTRY_LIB, engines.file("zwzip32.SO"));
  std::filesystem::copy_file(VZ_FAKE_NOENTRY_LIB, engines.file("ZWUNZ32.so"));
  EXPECT_EQ(w.DeleteFiles(), 240);
  EXPECT_EQ(w.TestArchive(), 240);
  EXPECT_TRUE(calls().empty());

  // Once the real libraries are there, the same instance binds them.
  std::filesystem::remove(engines.file("zwzip32.SO"));
  std::filesystem::remove(engines.file("ZWUNZ32.so"));
  std::filesystem::copy_file(std::string(VZ_FAKE_ENGINE_DIR) + "/ZWZIP32.so", engines.file("zwzip32.SO"));
  std::filesystem::copy_file(std::string(VZ_FAKE_ENGINE_DIR) + "/ZWUNZ32.so", engines.file("ZWUNZ32.so"));
  script("result 0\n");
  EXPECT_EQ(w.DeleteFiles(), 0);
  EXPECT_EQ(w.TestArchive(), 0);
  EXPECT_EQ(calls().size(), 2u);
}

// ---- Date conversion ----

TEST(ZipWrapperDates, InvalidStampsGiveFirstJanuary1980) {
  struct Row {
    int month, day, hour, minute, seconds2;
    bool valid;
  };
  const Row rows[] = {
      {1, 1, 0, 0, 0, true},      {12, 31, 23, 59, 29, true}, {2, 31, 0, 0, 0, true},  // day 31 of any month passes
      {0, 15, 10, 10, 10, false}, {13, 1, 0, 0, 0, false},    {6, 0, 0, 0, 0, false},
      {6, 1, 24, 0, 0, false},    {6, 1, 0, 60, 0, false},    {6, 1, 0, 0, 30, false},
  };
  for (const Row& r : rows) {
    const auto date = static_cast<uint16_t>((30 << 9) | (r.month << 5) | r.day);
    const auto time = static_cast<uint16_t>((r.hour << 11) | (r.minute << 5) | r.seconds2);
    const TZwDateTime t = dosStampToDateTime(date, time);
    SCOPED_TRACE(testing::Message() << r.month << "/" << r.day << " " << r.hour << ":" << r.minute);
    if (r.valid) {
      EXPECT_EQ(t.year, 2010);
      EXPECT_EQ(t.month, r.month);
      EXPECT_EQ(t.day, r.day);
      EXPECT_EQ(t.hour, r.hour);
      EXPECT_EQ(t.minute, r.minute);
      EXPECT_EQ(t.second, r.seconds2 * 2);
    } else {
      EXPECT_EQ(t.year, 1980);
      EXPECT_EQ(t.month, 1);
      EXPECT_EQ(t.day, 1);
      EXPECT_EQ(t.hour + t.minute + t.second, 0);
    }
  }
}

}  // namespace
}  // namespace vz::zipwrap
