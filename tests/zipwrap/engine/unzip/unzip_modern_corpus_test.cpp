// The corpus against the peers: every ZIP archive of the corpus (split-set
// parts included) that 7zz extracts, the engine extracts to the same names
// and the same bytes. The run prints, file by file, which of 7zz, unzip, the
// control's UnzipFiles and this engine extract it, and the totals.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "control/engine/common/unzip_state.h"
#include "control/engine/extract/extract_run.h"
#include "tests/zipwrap/engine/unzip/reader_test_support.h"
#include "zipwrap/engine/engine_results.h"

namespace vz::zipwrap::test {
namespace {

using vz::test::ScratchDir;

bool isUtf8(const std::string& s) {
  for (size_t i = 0; i < s.size();) {
    const unsigned char c = s[i];
    const size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return false;
    for (size_t k = 1; k < n; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += n;
  }
  return true;
}

// 7zz writes a stored name's bytes as they are: a name that is no UTF-8 is
// read here as CP437 (python3 decodes it), "\" is a separator, and the
// parts that would climb out ("..", ".", empty) are dropped, which is what
// the engine makes of such names.
std::string peerName(const std::string& raw) {
  std::string name = raw;
  if (!isUtf8(name)) {
    std::string hex;
    for (unsigned char c : name) {
      char b[3];
      std::snprintf(b, sizeof b, "%02x", c);
      hex += b;
    }
    name.clear();
    vz::test::run({"python3", "-c", "import sys; sys.stdout.write(bytes.fromhex(sys.argv[1]).decode('cp437'))", hex},
                  &name);
  }
  std::string out;
  size_t i = 0;
  while (i <= name.size()) {
    size_t end = name.find_first_of("/\\", i);
    if (end == std::string::npos) end = name.size();
    const std::string part = name.substr(i, end - i);
    if (!part.empty() && part != "." && part != "..") out += "/" + part;
    i = end + 1;
  }
  return out;
}

// Files (with their bytes), links and folders below root; the peer's names
// are read as peerName says. Folders that only lead to files are left out
// (the engine makes a file's folders whether or not they are entries).
std::map<std::string, std::string> contents(const std::string& root, bool peer) {
  std::map<std::string, std::string> out;
  for (const auto& [path, item] : snapshot(root))
    out[peer ? peerName(path) : path] = std::string(1, item.type) + item.data;
  for (auto it = out.begin(); it != out.end();) {
    auto next = std::next(it);
    const bool leads = it->second == "d" && next != out.end() && next->first.rfind(it->first + "/", 0) == 0;
    it = leads ? out.erase(it) : next;
  }
  return out;
}

std::string describeDiff(const std::map<std::string, std::string>& a, const std::map<std::string, std::string>& b) {
  std::string out;
  for (const auto& [p, v] : a) {
    auto it = b.find(p);
    if (it == b.end())
      out += "only ours: " + p + "\n";
    else if (it->second != v)
      out += "differs: " + p + "\n";
  }
  for (const auto& [p, v] : b)
    if (!a.count(p)) out += "only 7zz: " + p + "\n";
  return out;
}

struct CorpusZip {
  std::string file;      // the corpus file's path
  std::string password;  // the password the manifest names, or ""
};

// The ZIP archives and split parts the manifest lists, with their passwords.
std::vector<CorpusZip> corpusZips() {
  std::vector<CorpusZip> out;
  std::ifstream in(vz::test::corpusDir() + "/MANIFEST.tsv");
  std::string line;
  while (std::getline(in, line)) {
    std::vector<std::string> cols;
    std::stringstream ss(line);
    for (std::string c; std::getline(ss, c, '\t');) cols.push_back(c);
    if (cols.size() < 3 || (cols[2] != "ZIP" && cols[2] != "VOLPART")) continue;
    CorpusZip z{vz::test::corpusDir() + "/" + cols[1], ""};
    if (cols.size() > 17 && !cols[17].empty()) z.password = cols[17].substr(0, cols[17].find(' '));
    out.push_back(z);
  }
  return out;
}

bool controlExtracts(const std::string& file, const std::string& password, const std::string& dest) {
  engine::UnzipState st;
  st.pump = false;
  st.askPassword = false;
  st.password = password;
  return engine::unzipFiles(st, file, "", dest, true, 2) == engine::ReadStatus::Ok;
}

TEST(ModernCorpus, ExtractsEverythingSevenZipExtractsToTheSameBytes) {
  if (!vz::test::haveProgram("7zz") || !vz::test::haveProgram("unzip")) GTEST_SKIP() << "7zz or unzip missing";
  const std::vector<CorpusZip> zips = corpusZips();
  if (zips.empty()) GTEST_SKIP() << "no corpus";
  vz::test::ScopedRoot root;
  int seven = 0, unzip = 0, control = 0, ours = 0, same = 0;
  std::string table = "7zz unzip control ours  archive\n";
  for (const CorpusZip& z : zips) {
    SCOPED_TRACE(z.file);
    ScratchDir dir("zwm");
    const std::string peer = dir.file("7zz"), mine = dir.file("mine");
    const bool sevenOk =
        vz::test::run({"7zz", "x", "-y", "-bd", "-p" + z.password, "-o" + peer, z.file}, nullptr, nullptr) == 0;
    const int unzipRc = vz::test::run({"unzip", "-qq", "-o", "-P", z.password, z.file, "-d", dir.file("unzip")});
    const bool unzipOk = unzipRc == 0 || unzipRc == 1;
    const bool controlOk = controlExtracts(z.file, z.password, dir.file("control"));
    RecordingHost host;
    const uint16_t result = host.run({z.password, z.file, "-d", mine}) & 0xFFFF;
    // Extracted: everything written (a name made safe counts, 30).
    const bool oursOk = result == kResultOk || result == kResultMinorIssues || result == kResultEmptyArchive;
    seven += sevenOk;
    unzip += unzipOk;
    control += controlOk;
    ours += oursOk;
    char row[64];
    std::snprintf(row, sizeof row, "%-3s %-5s %-7s %-4s  ", sevenOk ? "ok" : "-", unzipOk ? "ok" : "-",
                  controlOk ? "ok" : "-", oursOk ? "ok" : "-");
    table += row + z.file.substr(z.file.rfind('/') + 1) + "\n";
    if (!sevenOk) continue;
    EXPECT_TRUE(oursOk) << "result " << result;
    const std::string diff = describeDiff(contents(mine, false), contents(peer, true));
    EXPECT_EQ(diff, "");
    same += diff.empty();
  }
  std::printf("%s", table.c_str());
  std::printf("extracted: 7zz %d, unzip %d, control %d, engine %d of %zu; same as 7zz: %d\n", seven, unzip, control,
              ours, zips.size(), same);
  EXPECT_GE(ours, seven);
  EXPECT_EQ(same, seven);
}

}  // namespace
}  // namespace vz::zipwrap::test
