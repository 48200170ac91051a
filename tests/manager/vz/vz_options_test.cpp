// vz's command line in-process: every option changes exactly the wrapper
// property it names (a table against a snapshot of all properties), the
// file list reaches the wrapper's argument vector with its filters, and
// command lines that do not fit are refused with a message.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "manager/vz/command_line.h"
#include "manager/vz/wrapper_setup.h"
#include "zipwrap/zip_wrapper.h"
#include "zipwrap/zip_wrapper_args.h"

namespace {

using vz::cli::parseCommandLine;
using vz::zipwrap::TZipWrapper;

std::vector<std::string> words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> out;
  for (std::string w; in >> w;) out.push_back(w);
  return out;
}

// Every published property but the archive and the file list, as text.
std::map<std::string, std::string> properties(const TZipWrapper& w) {
  auto b = [](bool v) { return std::string(v ? "true" : "false"); };
  const vz::LocalTime& s = w.ProcessSince;
  return {
      {"Compression", std::to_string(w.Compression)},
      {"ClearDisks", b(w.ClearDisks)},
      {"MoveFiles", b(w.MoveFiles)},
      {"MultidiskMode", b(w.MultidiskMode)},
      {"ExtractDirectory", w.ExtractDirectory},
      {"IncludeHiddenFiles", b(w.IncludeHiddenFiles)},
      {"IncludeDirectoryEntries", b(w.IncludeDirectoryEntries)},
      {"IncludeVolumeLabel", b(w.IncludeVolumeLabel)},
      {"Overwrite", std::to_string(int(w.Overwrite))},
      {"Recurse", b(w.Recurse)},
      {"Password", w.Password},
      {"StoredExtensions", w.StoredExtensions},
      {"TempPath", w.TempPath},
      {"UsePaths", b(w.UsePaths)},
      {"UseTempFile", b(w.UseTempFile)},
      {"ProcessSince", std::to_string(s.year) + "-" + std::to_string(s.month) + "-" + std::to_string(s.day)},
  };
}

struct MappingRow {
  std::string args;                            // the command line after "vz"
  std::map<std::string, std::string> changed;  // the properties that differ from the manager's configuration
};

class OptionMapping : public testing::TestWithParam<MappingRow> {};

TEST_P(OptionMapping, ChangesOnlyTheNamedProperties) {
  const MappingRow& row = GetParam();
  vz::cli::ParseResult parsed = parseCommandLine(words(row.args));
  ASSERT_TRUE(parsed.ok) << parsed.error;

  TZipWrapper baseline;
  vz::cli::configureAsManager(baseline);
  TZipWrapper w;
  vz::cli::configureAsManager(w);
  vz::cli::applyToWrapper(parsed.line, w);

  std::map<std::string, std::string> expected = properties(baseline);
  for (const auto& [name, value] : row.changed) {
    ASSERT_TRUE(expected.count(name)) << name;
    expected[name] = value;
  }
  EXPECT_EQ(properties(w), expected);
  EXPECT_EQ(w.ZipFileName, "z.zip");
}

INSTANTIATE_TEST_SUITE_P(
    Table, OptionMapping,
    testing::Values(
        MappingRow{"l z.zip", {}}, MappingRow{"a -r z.zip f", {{"Recurse", "true"}}},
        MappingRow{"x -j z.zip", {{"UsePaths", "false"}}}, MappingRow{"t -p s3cret z.zip", {{"Password", "s3cret"}}},
        MappingRow{"x -pKEY z.zip", {{"Password", "KEY"}}}, MappingRow{"a -0 z.zip f", {{"Compression", "0"}}},
        MappingRow{"u -9 z.zip f", {{"Compression", "9"}}}, MappingRow{"x -o z.zip", {{"Overwrite", "2"}}},
        MappingRow{"x -n z.zip", {{"Overwrite", "1"}}}, MappingRow{"x -d out z.zip", {{"ExtractDirectory", "out"}}},
        MappingRow{"a -S z.zip f", {{"IncludeHiddenFiles", "true"}}},
        MappingRow{"u -D z.zip f", {{"IncludeDirectoryEntries", "true"}}},
        MappingRow{"f -m z.zip f", {{"MoveFiles", "true"}}}, MappingRow{"l --span z.zip", {{"MultidiskMode", "true"}}},
        MappingRow{"a --wipe z.zip f", {{"ClearDisks", "true"}}},
        MappingRow{"d --temp /var/t z.zip f", {{"TempPath", "/var/t"}}},
        MappingRow{"c --in-place -z hi z.zip", {{"UseTempFile", "false"}}},
        MappingRow{"a --since 070425 z.zip f", {{"ProcessSince", "2025-7-4"}}},
        MappingRow{"a --since=123199 z.zip f", {{"ProcessSince", "1999-12-31"}}},
        MappingRow{"a --volume z.zip f", {{"IncludeVolumeLabel", "true"}}},
        MappingRow{"a --store .GZ;.JPG z.zip f", {{"StoredExtensions", ".GZ;.JPG"}}},
        MappingRow{"fix --thorough z.zip", {}},
        // Grouped short options, options behind the operands.
        MappingRow{"a z.zip f -rjm9",
                   {{"Recurse", "true"}, {"UsePaths", "false"}, {"MoveFiles", "true"}, {"Compression", "9"}}}));

// The manager's wrapper stores the archive formats it knows, .BH and .CAB
// included; nothing else differs from a new instance.
TEST(OptionMapping, StartsFromTheManagersConfiguration) {
  TZipWrapper fresh, manager;
  vz::cli::configureAsManager(manager);
  auto expected = properties(fresh);
  expected["StoredExtensions"] = ".ZIP;.LZH;.ARC;.ARJ;.ZOO;.BH;.CAB";
  EXPECT_EQ(properties(manager), expected);
}

struct FilesRow {
  std::string args;
  std::vector<std::string> filesToProcess;
  std::vector<std::string> argsTail;  // the end of the wrapper's argument vector
};

class FileList : public testing::TestWithParam<FilesRow> {};

TEST_P(FileList, ReachesTheWrappersVector) {
  const FilesRow& row = GetParam();
  vz::cli::ParseResult parsed = parseCommandLine(words(row.args));
  ASSERT_TRUE(parsed.ok) << parsed.error;
  TZipWrapper w;
  vz::cli::applyToWrapper(parsed.line, w);
  EXPECT_EQ(w.FilesToProcess, row.filesToProcess);

  std::vector<std::string> v;
  switch (parsed.line.command) {
    case vz::cli::Command::Add:
      v = vz::zipwrap::addFilesArgs(w, 0);
      break;
    case vz::cli::Command::Delete:
      v = vz::zipwrap::deleteFilesArgs(w);
      break;
    case vz::cli::Command::Extract:
      v = vz::zipwrap::extractFilesArgs(w, 0);
      break;
    default:
      v = vz::zipwrap::listArchiveArgs(w);
      break;
  }
  ASSERT_GE(v.size(), row.argsTail.size());
  EXPECT_EQ(std::vector<std::string>(v.end() - static_cast<std::ptrdiff_t>(row.argsTail.size()), v.end()),
            row.argsTail);
}

INSTANTIATE_TEST_SUITE_P(Table, FileList,
                         testing::Values(FilesRow{"a z.zip src -i *.c -x *.o",
                                                  {"src", ">*.c", "<*.o"},
                                                  {"z.zip", "src", "-i", "*.c", "-x", "*.o"}},
                                         FilesRow{"d z.zip a b -x b", {"a", "b", "<b"}, {"z.zip", "a", "b", "-x", "b"}},
                                         // A lone -x on a reading command applies to every entry.
                                         FilesRow{"x z.zip -x *.o", {"*", "<*.o"}, {"z.zip", "*", "-x", "*.o"}},
                                         FilesRow{"l z.zip", {}, {"-v", "z.zip"}},
                                         // After "--" a word starting with "-" is a file.
                                         FilesRow{"a z.zip -- -odd", {"-odd"}, {"z.zip", "-odd"}}));

struct UsageRow {
  std::string args;
  std::string error;  // a part of the message
};

class UsageError : public testing::TestWithParam<UsageRow> {};

TEST_P(UsageError, IsRefusedWithItsReason) {
  vz::cli::ParseResult parsed = parseCommandLine(words(GetParam().args));
  EXPECT_FALSE(parsed.ok);
  EXPECT_NE(parsed.error.find(GetParam().error), std::string::npos) << parsed.error;
}

INSTANTIATE_TEST_SUITE_P(
    Table, UsageError,
    testing::Values(UsageRow{"", "no command"}, UsageRow{"zz z.zip", "unknown command 'zz'"},
                    UsageRow{"l", "needs an archive"}, UsageRow{"a -d out z.zip f", "-d does not apply to 'vz a'"},
                    UsageRow{"l -r z.zip", "-r does not apply"}, UsageRow{"x -o -n z.zip", "exclude each other"},
                    UsageRow{"x z.zip -p", "-p needs a value"},
                    UsageRow{"a --since 1399 z.zip f", "--since wants a date"},
                    UsageRow{"a --since 130125 z.zip f", "--since wants a date"},
                    UsageRow{"a --since 013225 z.zip f", "--since wants a date"},
                    UsageRow{"a -i *.c z.zip", "name at least one"}, UsageRow{"fix z.zip more", "the archive alone"},
                    UsageRow{"c -z a --comment-file b z.zip", "one of -z and --comment-file"},
                    UsageRow{"l --bogus z.zip", "unknown option '--bogus'"},
                    UsageRow{"l --span=1 z.zip", "takes no value"}, UsageRow{"t -Q z.zip", "unknown option '-Q'"}));

}  // namespace
