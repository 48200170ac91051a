// The registry store: values of every type, awkward names, case rules,
// recursive deletion, hand-edited files and concurrent writers.
#include "platform/registry.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>
#include <string>
#include <vector>

#include "platform/folders.h"
#include "tests/support/test_env.h"

namespace {

using vz::RegRoot;
namespace reg = vz::reg;

class Registry : public ::testing::Test {
 protected:
  vz::test::ScopedRoot root_;
};

TEST_F(Registry, ValueTypes) {
  const char* key = "Software\\VemoraZip";
  ASSERT_TRUE(reg::setString(RegRoot::CurrentUser, key, "Text", "hello"));
  ASSERT_TRUE(reg::setInteger(RegRoot::CurrentUser, key, "Max", 0xFFFFFFFFu));
  ASSERT_TRUE(reg::setInteger(RegRoot::CurrentUser, key, "Zero", 0));
  ASSERT_TRUE(reg::setBinary(RegRoot::CurrentUser, key, "Blob", {0x00, 0xFF, 0x10}));
  ASSERT_TRUE(reg::setBinary(RegRoot::CurrentUser, key, "NoBytes", {}));
  ASSERT_TRUE(reg::setString(RegRoot::CurrentUser, key, "", "default"));

  EXPECT_EQ(reg::getString(RegRoot::CurrentUser, key, "Text"), "hello");
  EXPECT_EQ(reg::getInteger(RegRoot::CurrentUser, key, "Max"), 0xFFFFFFFFu);
  EXPECT_EQ(reg::getString(RegRoot::CurrentUser, key, "Max"), "4294967295");  // integers read as text too
  EXPECT_EQ(reg::getInteger(RegRoot::CurrentUser, key, "Zero"), 0u);
  EXPECT_EQ(reg::getInteger(RegRoot::CurrentUser, key, "Text"), std::nullopt);
  EXPECT_EQ(reg::getString(RegRoot::CurrentUser, key, "Blob"), std::nullopt);
  auto blob = reg::getValue(RegRoot::CurrentUser, key, "Blob");
  ASSERT_TRUE(blob);
  EXPECT_EQ(blob->type, vz::RegValue::Type::Binary);
  EXPECT_EQ(blob->bytes, (std::vector<uint8_t>{0x00, 0xFF, 0x10}));
  auto none = reg::getValue(RegRoot::CurrentUser, key, "NoBytes");
  ASSERT_TRUE(none);
  EXPECT_TRUE(none->bytes.empty());
  EXPECT_EQ(reg::getString(RegRoot::CurrentUser, key, ""), "default");

  // Changing the type of a value replaces it.
  ASSERT_TRUE(reg::setInteger(RegRoot::CurrentUser, key, "Text", 7));
  EXPECT_EQ(reg::getValue(RegRoot::CurrentUser, key, "Text")->type, vz::RegValue::Type::Integer);
  // The roots are separate files in windowsFolder()/registry.
  EXPECT_EQ(reg::storeFile(RegRoot::ClassesRoot), vz::windowsFolder() + "/registry/HKCR.reg");
  EXPECT_FALSE(reg::keyExists(RegRoot::ClassesRoot, key));
  EXPECT_FALSE(reg::keyExists(RegRoot::LocalMachine, key));
  EXPECT_EQ(access(reg::storeFile(RegRoot::CurrentUser).c_str(), F_OK), 0);
}

TEST_F(Registry, KeysAndValuesIgnoreCaseAndKeepTheirFirstSpelling) {
  ASSERT_TRUE(reg::setString(RegRoot::ClassesRoot, "CLSID\\{ABC}\\InprocServer32", "ThreadingModel", "Apartment"));
  ASSERT_TRUE(reg::setString(RegRoot::ClassesRoot, "clsid\\{abc}\\INPROCSERVER32", "THREADINGMODEL", "Both"));
  EXPECT_EQ(reg::subkeys(RegRoot::ClassesRoot, "Clsid"), std::vector<std::string>{"{ABC}"});
  EXPECT_EQ(reg::valueNames(RegRoot::ClassesRoot, "CLSID\\{ABC}\\InprocServer32"),
            std::vector<std::string>{"ThreadingModel"});
  EXPECT_EQ(reg::getString(RegRoot::ClassesRoot, "CLSID\\{ABC}\\inprocserver32", "threadingmodel"), "Both");
  EXPECT_TRUE(reg::keyExists(RegRoot::ClassesRoot, "\\clsid\\\\{Abc}\\"));  // empty components ignored

  for (const char* name : {"beta", "Alpha", "gamma", "ALPHA2", "Ärger", "zeta"})
    ASSERT_TRUE(reg::createKey(RegRoot::CurrentUser, std::string("Sorted\\") + name));
  EXPECT_EQ(reg::subkeys(RegRoot::CurrentUser, "sorted"),
            (std::vector<std::string>{"Alpha", "ALPHA2", "beta", "gamma", "zeta", "Ärger"}));
  EXPECT_TRUE(reg::subkeys(RegRoot::CurrentUser, "Sorted\\beta").empty());  // empty keys persist
  EXPECT_TRUE(reg::keyExists(RegRoot::CurrentUser, "SORTED\\BETA"));
}

TEST_F(Registry, AwkwardNamesAndValuesRoundTrip) {
  std::string everyByte;
  for (int b = 0; b < 256; ++b) everyByte += static_cast<char>(b);
  const std::vector<std::string> keyParts = {"quote\"d",   "a=b",       "[bracket]", "per%cent",
                                             "line\nfeed", "cr\rtab\t", " spaced ",  "Grüße 日本",
                                             "@",          ";semi",     "#hash",     "slash/forward"};
  const std::vector<std::string> texts = {"",        "\"", "back\\slash", "a=b", "[x]",  "line1\nline2\r\n",
                                          everyByte, "@",  " padded ",    "%41", "\\x41"};
  std::vector<uint8_t> allBytes(everyByte.begin(), everyByte.end());
  for (size_t i = 0; i < keyParts.size(); ++i) {
    const std::string key = "Odd\\" + keyParts[i] + "\\" + keyParts[(i + 1) % keyParts.size()];
    for (size_t j = 0; j < texts.size(); ++j)
      ASSERT_TRUE(reg::setString(RegRoot::CurrentUser, key, texts[j] + "#" + std::to_string(j), texts[j]));
    ASSERT_TRUE(reg::setBinary(RegRoot::CurrentUser, key, everyByte, allBytes));
  }
  // A further write rewrites the whole file; everything must still read back.
  ASSERT_TRUE(reg::setString(RegRoot::CurrentUser, "Other", "x", "y"));
  std::vector<std::string> expectedKeys;
  for (size_t i = 0; i < keyParts.size(); ++i) {
    const std::string key = "Odd\\" + keyParts[i] + "\\" + keyParts[(i + 1) % keyParts.size()];
    ASSERT_TRUE(reg::keyExists(RegRoot::CurrentUser, key)) << i;
    for (size_t j = 0; j < texts.size(); ++j)
      EXPECT_EQ(reg::getString(RegRoot::CurrentUser, key, texts[j] + "#" + std::to_string(j)), texts[j])
          << i << "/" << j;
    auto v = reg::getValue(RegRoot::CurrentUser, key, everyByte);
    ASSERT_TRUE(v);
    EXPECT_EQ(v->bytes, allBytes);
    EXPECT_EQ(reg::valueNames(RegRoot::CurrentUser, key).size(), texts.size() + 1);
  }
  EXPECT_EQ(reg::subkeys(RegRoot::CurrentUser, "Odd").size(), keyParts.size());
  // The default value and a value literally named "@" are different values.
  ASSERT_TRUE(reg::setString(RegRoot::CurrentUser, "At", "", "default"));
  ASSERT_TRUE(reg::setString(RegRoot::CurrentUser, "At", "@", "named"));
  EXPECT_EQ(reg::getString(RegRoot::CurrentUser, "At", ""), "default");
  EXPECT_EQ(reg::getString(RegRoot::CurrentUser, "At", "@"), "named");
}

TEST_F(Registry, DeleteKeyIsRecursive) {
  ASSERT_TRUE(reg::setString(RegRoot::LocalMachine, "A\\B\\C\\D", "v", "1"));
  ASSERT_TRUE(reg::setString(RegRoot::LocalMachine, "A\\B", "v", "2"));
  ASSERT_TRUE(reg::setString(RegRoot::LocalMachine, "A\\Bee", "v", "3"));
  ASSERT_TRUE(reg::deleteKey(RegRoot::LocalMachine, "a\\b"));
  EXPECT_FALSE(reg::keyExists(RegRoot::LocalMachine, "A\\B"));
  EXPECT_FALSE(reg::keyExists(RegRoot::LocalMachine, "A\\B\\C\\D"));
  EXPECT_EQ(reg::getString(RegRoot::LocalMachine, "A\\Bee", "v"), "3");
  EXPECT_EQ(reg::subkeys(RegRoot::LocalMachine, "A"), std::vector<std::string>{"Bee"});
  // Recreating the key does not bring back old contents.
  ASSERT_TRUE(reg::createKey(RegRoot::LocalMachine, "A\\B"));
  EXPECT_TRUE(reg::subkeys(RegRoot::LocalMachine, "A\\B").empty());
  EXPECT_FALSE(reg::deleteKey(RegRoot::LocalMachine, "A\\Missing"));
  EXPECT_FALSE(reg::deleteKey(RegRoot::LocalMachine, "Missing\\Deeper"));
  EXPECT_FALSE(reg::deleteKey(RegRoot::LocalMachine, ""));
  EXPECT_FALSE(reg::deleteValue(RegRoot::LocalMachine, "A\\Bee", "nope"));
  EXPECT_TRUE(reg::deleteValue(RegRoot::LocalMachine, "a\\bee", "V"));
  EXPECT_TRUE(reg::valueNames(RegRoot::LocalMachine, "A\\Bee").empty());
}

TEST_F(Registry, HandEditedAndDamagedFiles) {
  ASSERT_TRUE(reg::createKey(RegRoot::CurrentUser, "X"));  // creates the folder
  // Unsorted, duplicated keys, CR LF, comments and lines that make no sense.
  vz::test::writeFile(reg::storeFile(RegRoot::CurrentUser),
                      "; edited by hand\r\n"
                      "\"orphan\"=\"before any key\"\r\n"
                      "[Zeta]\r\n\"a\"=\"1\"\r\n"
                      "[Alpha\\Sub]\r\n  \"b\"=dword:0000000A  \r\n"
                      "[zeta]\r\n\"A\"=\"ignored duplicate\"\r\n\"c\"=hex:01,02\r\n"
                      "garbage line\r\n\"bad\"=\"unterminated\r\n\"badhex\"=hex:1\r\n\"big\"=dword:123456789\r\n"
                      "[Broken%zz]\r\n[unclosed\r\n");
  EXPECT_EQ(reg::subkeys(RegRoot::CurrentUser, ""), (std::vector<std::string>{"Alpha", "Zeta"}));
  EXPECT_EQ(reg::getString(RegRoot::CurrentUser, "ZETA", "a"), "1");
  EXPECT_EQ(reg::getValue(RegRoot::CurrentUser, "Zeta", "c")->bytes, (std::vector<uint8_t>{1, 2}));
  EXPECT_EQ(reg::getInteger(RegRoot::CurrentUser, "alpha\\sub", "B"), 10u);
  EXPECT_EQ(reg::valueNames(RegRoot::CurrentUser, "Zeta"), (std::vector<std::string>{"a", "c"}));
  ASSERT_TRUE(reg::setString(RegRoot::CurrentUser, "Zeta", "d", "4"));
  EXPECT_EQ(reg::valueNames(RegRoot::CurrentUser, "Zeta"), (std::vector<std::string>{"a", "c", "d"}));

  // Random bytes never crash a reader or a writer.
  const std::string kAlphabet = "[]\\\"=@%;:#hexdword0123456789abcdefXYZ\r\n\t ,\x01\xC3\xFF";
  std::mt19937 rng(1234);
  for (int round = 0; round < 200; ++round) {
    std::string junk(rng() % 400, '\0');
    for (char& c : junk) c = kAlphabet[rng() % kAlphabet.size()];
    vz::test::writeFile(reg::storeFile(RegRoot::CurrentUser), junk);
    (void)reg::subkeys(RegRoot::CurrentUser, "");
    (void)reg::getValue(RegRoot::CurrentUser, "a", "b");
    ASSERT_TRUE(reg::setString(RegRoot::CurrentUser, "After", "v", "ok"));
    ASSERT_EQ(reg::getString(RegRoot::CurrentUser, "after", "V"), "ok");
  }
  // Paths deeper than the store allows are refused, not recursed into.
  std::string deep;
  for (int i = 0; i < 600; ++i) deep += "k\\";
  EXPECT_FALSE(reg::setString(RegRoot::CurrentUser, deep, "v", "x"));
  EXPECT_FALSE(reg::keyExists(RegRoot::CurrentUser, deep));
}

TEST_F(Registry, ConcurrentWritersLoseNothing) {
  constexpr int kWriters = 2, kValues = 50;
  ASSERT_TRUE(reg::createKey(RegRoot::CurrentUser, "Shared"));
  std::vector<pid_t> kids;
  for (int w = 0; w < kWriters; ++w) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      bool ok = true;
      for (int k = 0; k < kValues; ++k) {
        const std::string n = std::to_string(w) + "_" + std::to_string(k);
        ok = reg::setInteger(RegRoot::CurrentUser, "Shared", "v" + n, static_cast<uint32_t>(k)) && ok;
        ok = reg::createKey(RegRoot::CurrentUser, "Shared\\k" + n) && ok;
      }
      _exit(ok ? 0 : 1);
    }
    kids.push_back(pid);
  }
  for (pid_t pid : kids) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  EXPECT_EQ(reg::valueNames(RegRoot::CurrentUser, "Shared").size(), static_cast<size_t>(kWriters * kValues));
  EXPECT_EQ(reg::subkeys(RegRoot::CurrentUser, "Shared").size(), static_cast<size_t>(kWriters * kValues));
  // Neither a temporary file nor the lock file is left in the store folder.
  std::vector<std::string> entries;
  if (DIR* d = opendir((vz::windowsFolder() + "/registry").c_str())) {
    while (const dirent* e = readdir(d))
      if (e->d_name[0] != '.' || (std::string(e->d_name) != "." && std::string(e->d_name) != ".."))
        entries.push_back(e->d_name);
    closedir(d);
  }
  EXPECT_EQ(entries, std::vector<std::string>{"HKCU.reg"});
}

}  // namespace
