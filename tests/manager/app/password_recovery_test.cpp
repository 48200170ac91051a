// Password recovery on archives that peer tools encrypt at test time:
// zip -P (deflated, and stored through a pipe: both with data descriptors,
// so the check byte is the time's) and 7zz's ZipCrypto (no descriptor: the
// CRC's check byte). Each archive's password "dog" is found in a word list
// and by brute force; a list without it ends "not found" although many of
// its words pass the header check; Stop ends a search that would run for
// years.
#include "manager/app/password_recovery.h"

#include <gtest/gtest.h>

#include "tests/support/test_env.h"

namespace vz::manager {
namespace {

struct Maker {
  const char* name;
  std::vector<std::string> tool;  // what must be on PATH
  bool expectDescriptor;          // flag bit 3 on the entry
};

class PasswordRecoveryTest : public ::testing::TestWithParam<Maker> {
 protected:
  void SetUp() override {
    for (const std::string& t : GetParam().tool)
      if (!test::haveProgram(t)) GTEST_SKIP() << t << " missing";
    std::string text;
    for (int i = 0; i < 3000; ++i) text += "line " + std::to_string(i * 7919 % 1000) + " of the sample\n";
    test::writeFile(dir_.file("sample.txt"), text);
    archive_ = dir_.file("a.zip");
    std::string maker = GetParam().name;
    if (maker == "zip") {
      ASSERT_EQ(test::run({"zip", "-q", "-P", "dog", archive_, "sample.txt"}, nullptr, nullptr, dir_.path()), 0);
    } else if (maker == "zip-stored-pipe") {
      ASSERT_EQ(test::run({"sh", "-c", "zip -q -0 -P dog - sample.txt > a.zip"}, nullptr, nullptr, dir_.path()), 0);
    } else {
      ASSERT_EQ(
          test::run({"7zz", "a", "-pdog", "-mem=ZipCrypto", archive_, "sample.txt"}, nullptr, nullptr, dir_.path()), 0);
    }
    RecoveryStatus status;
    std::vector<EncryptedEntry> entries = listEncryptedEntries(archive_, &status);
    ASSERT_EQ(status, RecoveryStatus::Found);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "sample.txt");
    EXPECT_EQ((entries[0].flags & 8) != 0, GetParam().expectDescriptor);
    ASSERT_EQ(recovery_.open(archive_, entries[0].index), RecoveryStatus::Found);
  }

  std::string wordList(const std::vector<std::string>& words, const char* eol = "\n") {
    std::string text;
    for (const std::string& w : words) text += w + eol;
    std::string path = dir_.file("words.txt");
    test::writeFile(path, text);
    return path;
  }
  static std::vector<std::string> wrongWords(int n) {
    std::vector<std::string> words;
    for (int i = 0; i < n; ++i) words.push_back("w" + std::to_string(i));
    return words;
  }

  test::ScratchDir dir_{"vzrecover"};
  std::string archive_;
  PasswordRecovery recovery_;
};

TEST_P(PasswordRecoveryTest, WordListHit) {
  EXPECT_TRUE(recovery_.passesHeaderCheck("dog"));
  EXPECT_TRUE(recovery_.confirms("dog"));
  EXPECT_FALSE(recovery_.confirms("Dog"));
  std::vector<std::string> words = wrongWords(2500);
  words.insert(words.begin() + 1234, "dog");
  words.insert(words.begin() + 10, "");  // empty lines are skipped
  RecoveryOptions o;
  o.wordListPath = wordList(words, "\r\n");
  RecoveryResult r = recovery_.run(o, {}, nullptr);
  EXPECT_EQ(r.status, RecoveryStatus::Found);
  EXPECT_EQ(r.password, "dog");
  EXPECT_TRUE(r.confirmed);
  EXPECT_EQ(r.tried, 1235u);
}

TEST_P(PasswordRecoveryTest, BruteForceHitOfThreeLetters) {
  for (unsigned threads : {1u, 3u}) {
    RecoveryOptions o;
    o.alphabet = "abcdefghijklmnopqrstuvwxyz";
    o.maxLength = 3;
    o.threads = threads;
    uint64_t reports = 0;
    RecoveryResult r = recovery_.run(
        o,
        [&](const RecoveryProgress& p) {
          ++reports;
          EXPECT_EQ(p.phase, 1);
          EXPECT_LE(p.fraction, 1.0);
        },
        nullptr);
    EXPECT_EQ(r.status, RecoveryStatus::Found) << threads;
    EXPECT_EQ(r.password, "dog");
    EXPECT_TRUE(r.confirmed);
    EXPECT_GT(r.tried, 26u + 26u * 26u);  // every shorter string came first
    EXPECT_LE(r.tried, PasswordRecovery::bruteForceCount(26, 1, 3));
    EXPECT_GT(reports, 0u);
  }
}

TEST_P(PasswordRecoveryTest, WrongListEndsNotFound) {
  RecoveryOptions o;
  o.wordListPath = wordList(wrongWords(6000));
  o.alphabet = "xyz";  // then brute force, also without the password
  o.maxLength = 3;
  RecoveryResult r = recovery_.run(o, {}, nullptr);
  EXPECT_EQ(r.status, RecoveryStatus::NotFound);
  EXPECT_EQ(r.tried, 6000u + 3 + 9 + 27);
  EXPECT_GT(r.headerPasses, 0u);  // some wrong words pass the header check; decoding refutes them
  EXPECT_TRUE(r.password.empty());
}

TEST_P(PasswordRecoveryTest, StopEndsTheSearch) {
  RecoveryOptions o;
  for (char c = '!'; c <= '~'; ++c) o.alphabet += c;
  o.minLength = 4;
  o.maxLength = 9;
  o.threads = 2;
  std::atomic<bool> stop{false};
  std::string lastCurrent;
  RecoveryResult r = recovery_.run(
      o,
      [&](const RecoveryProgress& p) {
        lastCurrent = p.current;
        stop = true;
      },
      &stop);
  EXPECT_EQ(r.status, RecoveryStatus::Stopped);
  EXPECT_LT(r.tried, PasswordRecovery::bruteForceCount(94, 4, 9));
}

INSTANTIATE_TEST_SUITE_P(Makers, PasswordRecoveryTest,
                         ::testing::Values(Maker{"zip", {"zip"}, true}, Maker{"zip-stored-pipe", {"zip", "sh"}, true},
                                           Maker{"7zz", {"7zz"}, false}),
                         [](const auto& param_info) {
                           std::string n = param_info.param.name;
                           for (char& c : n)
                             if (c == '-') c = '_';
                           return n;
                         });

TEST(PasswordRecoveryEntries, OnlyTraditionallyEncryptedFilesAreOffered) {
  if (!test::haveProgram("zip")) GTEST_SKIP() << "zip missing";
  test::ScratchDir dir("vzrecover");
  test::writeFile(dir.file("plain.txt"), "plain\n");
  test::writeFile(dir.file("secret.txt"), "secret\n");
  ASSERT_EQ(test::run({"mkdir", "-p", dir.file("folder")}), 0);
  std::string zip = dir.file("m.zip");
  ASSERT_EQ(test::run({"zip", "-q", zip, "plain.txt", "folder"}, nullptr, nullptr, dir.path()), 0);
  ASSERT_EQ(test::run({"zip", "-q", "-P", "pw", zip, "secret.txt"}, nullptr, nullptr, dir.path()), 0);
  std::vector<EncryptedEntry> entries = listEncryptedEntries(zip);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, "secret.txt");
  EXPECT_EQ(entries[0].index, 2u);
  PasswordRecovery rec;
  EXPECT_EQ(rec.open(zip, 0), RecoveryStatus::NotEncrypted);
  EXPECT_EQ(rec.open(zip, 7), RecoveryStatus::NoSuchEntry);
  EXPECT_EQ(rec.run({}, {}, nullptr).status, RecoveryStatus::NoSuchEntry);  // nothing opened
  ASSERT_EQ(rec.open(zip, 2), RecoveryStatus::Found);
  EXPECT_EQ(rec.run({}, {}, nullptr).status, RecoveryStatus::NothingToTry);
  RecoveryOptions o;
  o.wordListPath = dir.file("missing.txt");
  EXPECT_EQ(rec.run(o, {}, nullptr).status, RecoveryStatus::WordListError);

  test::writeFile(dir.file("junk.zip"), "PK not really");
  RecoveryStatus status;
  EXPECT_TRUE(listEncryptedEntries(dir.file("junk.zip"), &status).empty());
  EXPECT_EQ(status, RecoveryStatus::NotZip);
  EXPECT_EQ(rec.open(dir.file("junk.zip"), 0), RecoveryStatus::NotZip);
  EXPECT_EQ(PasswordRecovery::bruteForceCount(26, 1, 3), 26u + 676u + 17576u);
  EXPECT_EQ(PasswordRecovery::bruteForceCount(94, 1, 40), UINT64_MAX);
}

}  // namespace
}  // namespace vz::manager
