// The wrapper's argument vectors. Two checks that do not restate the
// builder: a table of whole vectors written out by hand (order and
// presence of every switch), and every combination of the properties that
// the operations distinguish, parsed back with the engine's own grammar
// and compared with what the properties mean.
#include "zipwrap/zip_wrapper_args.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "zipwrap/engine/engine_abi.h"
#include "zipwrap/engine/engine_command.h"
#include "zipwrap/engine/engine_results.h"

namespace vz::zipwrap {
namespace {

using Args = std::vector<std::string>;

// ---- Whole vectors, written out ----

struct VectorCase {
  const char* name;
  std::function<void(TZipWrapper&)> setup;
  std::function<Args(const TZipWrapper&)> build;
  Args expected;
};

void PrintTo(const VectorCase& c, std::ostream* os) { *os << c.name; }

class WrapperVector : public ::testing::TestWithParam<VectorCase> {};

TEST_P(WrapperVector, IsExactly) {
  TZipWrapper w;
  w.ZipFileName = "a.zip";
  GetParam().setup(w);
  EXPECT_EQ(GetParam().build(w), GetParam().expected);
}

const Args kDefaultsTail = {"-b", "", "-n", ".ZIP;.LZH;.ARC;.ARJ;.ZOO", "-t", "010180", "a.zip"};

Args withTail(Args head, Args tail = kDefaultsTail, Args files = {}) {
  head.insert(head.end(), tail.begin(), tail.end());
  head.insert(head.end(), files.begin(), files.end());
  return head;
}

auto add(int mode) {
  return [mode](const TZipWrapper& w) { return addFilesArgs(w, mode); };
}
auto extract(int mode) {
  return [mode](const TZipWrapper& w) { return extractFilesArgs(w, mode); };
}
void everyAddFlag(TZipWrapper& w) {
  w.Password = "pw";
  w.Compression = 9;
  w.MoveFiles = w.IncludeHiddenFiles = w.IncludeDirectoryEntries = w.IncludeVolumeLabel = w.Recurse = true;
  w.ClearDisks = w.MultidiskMode = true;
  w.TempPath = "/tmp/t";
  w.StoredExtensions = ".GZ";
  w.ProcessSince = {2003, 7, 4, 12, 0, 0};
  w.FilesToProcess = {"x", ">*.c", "<*.o"};
}

const VectorCase kVectors[] = {
    {"AddDefaults", [](TZipWrapper&) {}, add(0), withTail({"", "-6"})},
    {"AddEverything", everyAddFlag, add(0), {"pw",     "-e",    "-9",     "-m", "-S",  "-D", "-$", "-r",
                                             "-g",     "-b",    "/tmp/t", "-n", ".GZ", "-!", "-&", "-t",
                                             "070403", "a.zip", "x",      "-i", "*.c", "-x", "*.o"}},
    {"UpdateKeepsHiddenAndFoldersNotLabel",
     [](TZipWrapper& w) {
       everyAddFlag(w);
       w.MultidiskMode = false;
       w.UseTempFile = false;
     },
     add(2),
     {"pw", "-u",  "-e", "-9", "-m",     "-S",    "-D", "-r", "-g",  "-b", "/tmp/t",
      "-n", ".GZ", "-&", "-t", "070403", "a.zip", "x",  "-i", "*.c", "-x", "*.o"}},
    {"DeleteDefaults",
     [](TZipWrapper& w) {
       w.FilesToProcess = {"a", ">b", "<c"};
     },
     deleteFilesArgs,
     {"", "-d", "a.zip", "a", "-i", "b", "-x", "c"}},
    {"DeleteWithTempAndPassword",
     [](TZipWrapper& w) {
       w.TempPath = "/t";
       w.Password = "p";
       w.MultidiskMode = true;  // refused by the operation, not by the builder
     },
     deleteFilesArgs,
     {"p", "-d", "-b", "/t", "a.zip"}},
    {"ExtractDefaults", [](TZipWrapper&) {}, extract(0), {"", "a.zip"}},
    {"ExtractEverything",
     [](TZipWrapper& w) {
       w.Password = "pw";
       w.UsePaths = false;
       w.MultidiskMode = true;
       w.Overwrite = zowNever;
       w.ExtractDirectory = "/out";
       w.FilesToProcess = {"a", ">b", "<c"};
     },
     extract(0),
     {"pw", "-j", "-!", "-n", "a.zip", "a", ">b", "-x", "c", "-d", "/out"}},
    {"ExtractUpdateAlways", [](TZipWrapper& w) { w.Overwrite = zowAlways; }, extract(2), {"", "-u", "-o", "a.zip"}},
    {"ExtractFreshen", [](TZipWrapper&) {}, extract(1), {"", "-f", "a.zip"}},
    {"FixStandard",
     [](TZipWrapper& w) { w.Password = "p"; },
     [](const TZipWrapper& w) { return fixArchiveArgs(w, false); },
     {"p", "-F", "a.zip"}},
    {"FixThorough",
     [](TZipWrapper& w) { w.FilesToProcess = {"ignored"}; },
     [](const TZipWrapper& w) { return fixArchiveArgs(w, true); },
     {"", "-FF", "a.zip"}},
    {"List",
     [](TZipWrapper& w) {
       w.MultidiskMode = true;
       w.Password = "p";
       w.FilesToProcess = {">in", "<ex", "f"};
     },
     listArchiveArgs,
     {"p", "-v", "-!", "a.zip", ">in", "f", "-x", "ex"}},
    {"Test",
     [](TZipWrapper& w) {
       w.MultidiskMode = true;
       w.FilesToProcess = {"f"};
     },
     testArchiveArgs,
     {"", "-!", "-t", "a.zip", "f"}},
    {"ReadCommentIgnoresPasswordAndFiles",
     [](TZipWrapper& w) {
       w.Password = "p";
       w.MultidiskMode = true;
       w.FilesToProcess = {"f"};
     },
     readArchiveCommentArgs,
     {"", "-z", "a.zip"}},
    {"WriteComment", [](TZipWrapper& w) { w.Password = "p"; }, writeArchiveCommentArgs, {"", "-z", "a.zip"}},
    {"WriteCommentInPlaceWithTemp",
     [](TZipWrapper& w) {
       w.UseTempFile = false;
       w.TempPath = "/t";
     },
     writeArchiveCommentArgs,
     {"", "-z", "-g", "-b", "/t", "a.zip"}},
};

INSTANTIATE_TEST_SUITE_P(Wrapper, WrapperVector, ::testing::ValuesIn(kVectors),
                         [](const ::testing::TestParamInfo<VectorCase>& p) { return std::string(p.param.name); });

TEST(WrapperFileList, FiltersNeedAnOrdinaryEntry) {
  EXPECT_EQ(fileListWithFilters({">a", "<b", ""}, true), Args{});
  EXPECT_EQ(fileListWithFilters({"<b"}, false), Args{});
  // Without includes, ">" entries are ordinary and carry the excludes.
  EXPECT_EQ(fileListWithFilters({">a", "<b"}, false), (Args{">a", "-x", "b"}));
  EXPECT_EQ(fileListWithFilters({"<x", "a", "", ">i", "b", "<y", ">j"}, true),
            (Args{"a", "b", "-i", "i", "j", "-x", "x", "y"}));
}

TEST(WrapperFileList, SinceDateAndCountMarker) {
  EXPECT_EQ(formatSinceDate({1980, 1, 1, 0, 0, 0}), "010180");
  EXPECT_EQ(formatSinceDate({2024, 12, 31, 23, 59, 59}), "123124");
  TZipWrapper w;
  EXPECT_EQ(entryCountMarker(w), 0u);
  w.MultidiskMode = true;
  EXPECT_EQ(entryCountMarker(w), kMultiDiskCountMarker);
}

// ---- Every combination, parsed back by the engine ----

EngineCommand parsed(EngineSide side, const Args& args) {
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  argv.push_back(nullptr);
  EngineCommand c;
  EXPECT_EQ(parseEngineCommand(side, static_cast<int32_t>(args.size()), argv.data(), c), kResultOk);
  return c;
}

TEST(WrapperVectorCombinations, AddMeansWhatThePropertiesSay) {
  int checked = 0;
  for (int mode = 0; mode <= 2; ++mode) {
    for (unsigned bits = 0; bits < (1u << 11); ++bits) {
      auto on = [bits](int i) { return ((bits >> i) & 1) != 0; };
      TZipWrapper w;
      w.UsePaths = on(0);
      w.UseTempFile = on(1);
      w.MultidiskMode = on(2);
      w.Password = on(3) ? "secret" : "";
      w.ClearDisks = on(4);
      w.MoveFiles = on(5);
      w.IncludeHiddenFiles = on(6);
      w.IncludeDirectoryEntries = on(7);
      w.IncludeVolumeLabel = on(8);
      w.Recurse = on(9);
      w.TempPath = on(10) ? "/tmp/x" : "";
      w.Compression = static_cast<int>(bits % 10);
      w.ZipFileName = "/a/b.zip";
      w.FilesToProcess = {"f1", ">*.txt", "<*.bak"};
      const EngineCommand c = parsed(EngineSide::Writer, addFilesArgs(w, mode));
      SCOPED_TRACE(testing::Message() << "mode " << mode << " bits " << bits);
      EXPECT_EQ(c.action, mode == 0 ? EngineAction::Add : mode == 1 ? EngineAction::Freshen : EngineAction::Update);
      EXPECT_EQ(c.password, w.Password);
      EXPECT_EQ(c.encrypt, !w.Password.empty());
      EXPECT_EQ(c.level, w.Compression);
      EXPECT_EQ(c.moveFiles, w.MoveFiles);
      EXPECT_EQ(c.includeHidden, w.IncludeHiddenFiles && mode != 1);
      EXPECT_EQ(c.directoryEntries, w.IncludeDirectoryEntries && w.UsePaths && mode != 1);
      EXPECT_EQ(c.volumeLabel, w.IncludeVolumeLabel && mode == 0);
      EXPECT_EQ(c.recurse, w.Recurse);
      EXPECT_EQ(c.junkPaths, !w.UsePaths);
      EXPECT_EQ(c.inPlace, !w.UseTempFile || w.MultidiskMode);
      EXPECT_EQ(c.tempDir, w.TempPath);
      EXPECT_EQ(c.storedExtensions, (Args{".ZIP", ".LZH", ".ARC", ".ARJ", ".ZOO"}));
      EXPECT_EQ(c.multiDisk, w.MultidiskMode);
      EXPECT_EQ(c.wipeDisks, w.ClearDisks);
      ASSERT_TRUE(c.since.has_value());
      EXPECT_EQ(c.since->year, 1980);
      EXPECT_EQ(c.archive, "/a/b.zip");
      EXPECT_EQ(c.files, Args{"f1"});
      EXPECT_EQ(c.includes, Args{"*.txt"});
      EXPECT_EQ(c.excludes, Args{"*.bak"});
      ++checked;
    }
  }
  EXPECT_EQ(checked, 3 * 2048);
}

TEST(WrapperVectorCombinations, ReaderOperationsMeanWhatThePropertiesSay) {
  for (unsigned bits = 0; bits < 64; ++bits) {
    auto on = [bits](int i) { return ((bits >> i) & 1) != 0; };
    TZipWrapper w;
    w.UsePaths = on(0);
    w.MultidiskMode = on(1);
    w.Password = on(2) ? "pw" : "";
    w.ExtractDirectory = on(3) ? "/dest" : "";
    w.Overwrite = static_cast<TZwOverwrite>((bits >> 4) % 3);
    w.ZipFileName = "z.zip";
    w.FilesToProcess = {">inc", "spec", "<exc"};
    SCOPED_TRACE(testing::Message() << "bits " << bits);
    for (int mode = 0; mode <= 2; ++mode) {
      const EngineCommand x = parsed(EngineSide::Reader, extractFilesArgs(w, mode));
      EXPECT_EQ(x.action, EngineAction::Extract);
      EXPECT_EQ(x.password, w.Password);
      EXPECT_EQ(x.freshenOnly, mode == 1);
      EXPECT_EQ(x.updateOnly, mode == 2);
      EXPECT_EQ(x.junkPaths, !w.UsePaths);
      EXPECT_EQ(x.multiDisk, w.MultidiskMode);
      EXPECT_EQ(x.overwrite, w.Overwrite == zowAsk     ? ExtractOverwrite::Ask
                             : w.Overwrite == zowNever ? ExtractOverwrite::Never
                                                       : ExtractOverwrite::Always);
      EXPECT_EQ(x.extractDir, w.ExtractDirectory);
      EXPECT_EQ(x.files, (Args{">inc", "spec"}));
      EXPECT_TRUE(x.includes.empty());
      EXPECT_EQ(x.excludes, Args{"exc"});
    }
    const EngineCommand l = parsed(EngineSide::Reader, listArchiveArgs(w));
    EXPECT_EQ(l.action, EngineAction::List);
    EXPECT_EQ(l.multiDisk, w.MultidiskMode);
    const EngineCommand t = parsed(EngineSide::Reader, testArchiveArgs(w));
    EXPECT_EQ(t.action, EngineAction::Test);
    EXPECT_EQ(t.multiDisk, w.MultidiskMode);
    EXPECT_EQ(t.password, w.Password);
    const EngineCommand f = parsed(EngineSide::Writer, fixArchiveArgs(w, on(5)));
    EXPECT_EQ(f.action, on(5) ? EngineAction::FixThorough : EngineAction::Fix);
    const EngineCommand d = parsed(EngineSide::Writer, deleteFilesArgs(w));
    EXPECT_EQ(d.action, EngineAction::Delete);
    EXPECT_EQ(d.includes, Args{"inc"});
    EXPECT_EQ(parsed(EngineSide::Reader, readArchiveCommentArgs(w)).action, EngineAction::ReadComment);
    EXPECT_EQ(parsed(EngineSide::Writer, writeArchiveCommentArgs(w)).action, EngineAction::WriteComment);
  }
}

}  // namespace
}  // namespace vz::zipwrap
