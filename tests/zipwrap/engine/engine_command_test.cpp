// The engine's switch grammar: the argument vectors the wrapper builds parse
// into the commands they mean, and malformed ones are refused.
#include "zipwrap/engine/engine_command.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "zipwrap/engine/engine_abi.h"
#include "zipwrap/engine/engine_results.h"

namespace vz::zipwrap {
namespace {

uint16_t parse(EngineSide side, std::vector<std::string> args, EngineCommand& out) {
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  argv.push_back(nullptr);
  return parseEngineCommand(side, static_cast<int32_t>(args.size()), argv.data(), out);
}

TEST(EngineCommand, WrapperAddVectorWithEverySwitch) {
  EngineCommand c;
  ASSERT_EQ(parse(EngineSide::Writer,
                  {"pw", "-u", "-e", "-9", "-m", "-S", "-D", "-$", "-r", "-j", "-g", "-b", "", "-n",
                   ".ZIP;.LZH;.ARC", "-!", "-&", "-t", "123199", "a.zip", "one", "two", "-i", "*.c", "-x", "*.o"},
                  c),
            kResultOk);
  EXPECT_EQ(c.action, EngineAction::Update);
  EXPECT_EQ(c.password, "pw");
  EXPECT_TRUE(c.encrypt && c.moveFiles && c.includeHidden && c.directoryEntries && c.volumeLabel && c.recurse &&
              c.junkPaths && c.inPlace && c.multiDisk && c.wipeDisks);
  EXPECT_EQ(c.level, 9);
  EXPECT_EQ(c.tempDir, "");
  EXPECT_EQ(c.storedExtensions, (std::vector<std::string>{".ZIP", ".LZH", ".ARC"}));
  ASSERT_TRUE(c.since.has_value());
  EXPECT_EQ(c.since->year, 1999);
  EXPECT_EQ(c.since->month, 12);
  EXPECT_EQ(c.since->day, 31);
  EXPECT_EQ(c.archive, "a.zip");
  EXPECT_EQ(c.files, (std::vector<std::string>{"one", "two"}));
  EXPECT_EQ(c.includes, (std::vector<std::string>{"*.c"}));
  EXPECT_EQ(c.excludes, (std::vector<std::string>{"*.o"}));
  EXPECT_TRUE(hasStoredExtension(c, "dir/inner.zip"));
  EXPECT_FALSE(hasStoredExtension(c, "dir/inner.zipx"));
}

struct ActionCase {
  EngineSide side;
  std::vector<std::string> args;
  EngineAction action;
};

class EngineCommandActions : public testing::TestWithParam<ActionCase> {};

TEST_P(EngineCommandActions, ActionOfEachWrapperOperation) {
  EngineCommand c;
  ASSERT_EQ(parse(GetParam().side, GetParam().args, c), kResultOk);
  EXPECT_EQ(c.action, GetParam().action);
}

INSTANTIATE_TEST_SUITE_P(
    Vectors, EngineCommandActions,
    testing::Values(ActionCase{EngineSide::Writer, {"", "-6", "-t", "010180", "a.zip", "f"}, EngineAction::Add},
                    ActionCase{EngineSide::Writer, {"", "-f", "-6", "a.zip", "f"}, EngineAction::Freshen},
                    ActionCase{EngineSide::Writer, {"", "-d", "a.zip", "f"}, EngineAction::Delete},
                    ActionCase{EngineSide::Writer, {"", "-F", "a.zip"}, EngineAction::Fix},
                    ActionCase{EngineSide::Writer, {"", "-FF", "a.zip"}, EngineAction::FixThorough},
                    ActionCase{EngineSide::Writer, {"", "-z", "-g", "a.zip"}, EngineAction::WriteComment},
                    ActionCase{EngineSide::Reader, {"", "-v", "-!", "a.zip"}, EngineAction::List},
                    ActionCase{EngineSide::Reader, {"", "-!", "-t", "a.zip"}, EngineAction::Test},
                    ActionCase{EngineSide::Reader, {"", "-z", "a.zip"}, EngineAction::ReadComment},
                    ActionCase{EngineSide::Reader, {"", "-u", "-j", "-o", "a.zip", "f", "-d", "out"},
                               EngineAction::Extract}));

TEST(EngineCommand, ExtractionFolderAndOverwrite) {
  EngineCommand c;
  ASSERT_EQ(parse(EngineSide::Reader, {"", "-n", "a.zip", ">x", "-d", "/out dir"}, c), kResultOk);
  EXPECT_EQ(c.overwrite, ExtractOverwrite::Never);
  EXPECT_EQ(c.extractDir, "/out dir");
  EXPECT_EQ(c.files, (std::vector<std::string>{">x"}));
}

TEST(EngineCommand, EntryCountCall) {
  for (uint32_t marker : {0u, kMultiDiskCountMarker}) {
    std::string name = "set.zip";
    const char* argv[] = {reinterpret_cast<const char*>(&marker), name.c_str(), nullptr};
    EngineCommand c;
    ASSERT_EQ(parseEngineCommand(EngineSide::Reader, 1, argv, c), kResultOk);
    EXPECT_EQ(c.action, EngineAction::CountEntries);
    EXPECT_EQ(c.multiDisk, marker == kMultiDiskCountMarker);
    EXPECT_EQ(c.archive, name);
  }
}

TEST(EngineCommand, MalformedVectorsAreRefused) {
  const std::vector<std::pair<EngineSide, std::vector<std::string>>> bad = {
      {EngineSide::Writer, {"", "-q", "a.zip"}},          // unknown switch
      {EngineSide::Writer, {"", "-b"}},                   // value missing
      {EngineSide::Writer, {"", "-t", "133199", "a"}},    // month 13
      {EngineSide::Writer, {"", "-t", "1231", "a"}},      // short date
      {EngineSide::Writer, {"", "-d", "-z", "a.zip"}},    // two actions
      {EngineSide::Writer, {"", "-r"}},                   // no archive
      {EngineSide::Reader, {"", "-o", "-n", "a.zip"}},    // contradicting overwrite
      {EngineSide::Reader, {"", "a.zip", "-d"}},          // folder missing
      {EngineSide::Reader, {"", "-m", "a.zip"}},          // a writer switch
      {EngineSide::Writer, {}},
  };
  for (const auto& [side, args] : bad) {
    EngineCommand c;
    EXPECT_EQ(parse(side, args, c), kResultBadCommand) << args.size();
  }
}

}  // namespace
}  // namespace vz::zipwrap
