#include "tests/support/test_env.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace fs = std::filesystem;

namespace vz::test {

namespace {

std::string makeTempDir(std::string_view tag) {
  const char* base = std::getenv("VZ_TEST_TMP");
  std::string tmpl = (base && *base ? std::string(base) : fs::temp_directory_path().string());
  tmpl += "/" + std::string(tag) + "-XXXXXX";
  std::vector<char> buf(tmpl.begin(), tmpl.end());
  buf.push_back('\0');
  if (!mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed for " + tmpl);
  return buf.data();
}

void setOrUnset(const char* name, bool had, const std::string& value) {
  if (had)
    setenv(name, value.c_str(), 1);
  else
    unsetenv(name);
}

}  // namespace

ScratchDir::ScratchDir(std::string_view tag) : path_(makeTempDir(tag)) {}

ScratchDir::~ScratchDir() {
  std::error_code ec;
  // Read-only files and folders made by a test must not stop the clean-up.
  for (auto it = fs::recursive_directory_iterator(path_, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  }
  fs::remove_all(path_, ec);
}

std::string ScratchDir::file(std::string_view name) const { return path_ + "/" + std::string(name); }

ScopedRoot::ScopedRoot() : dir_("vzroot") {
  if (const char* v = std::getenv("VZ_ROOT")) hadRoot_ = true, oldRoot_ = v;
  if (const char* v = std::getenv("TMPDIR")) hadTmp_ = true, oldTmp_ = v;
  if (const char* v = std::getenv("VZ_DRIVES")) hadDrives_ = true, oldDrives_ = v;
  setenv("VZ_ROOT", dir_.path().c_str(), 1);
  fs::create_directories(dir_.path() + "/tmp");
  setenv("TMPDIR", (dir_.path() + "/tmp").c_str(), 1);
  unsetenv("VZ_DRIVES");
}

ScopedRoot::~ScopedRoot() {
  setOrUnset("VZ_ROOT", hadRoot_, oldRoot_);
  setOrUnset("TMPDIR", hadTmp_, oldTmp_);
  setOrUnset("VZ_DRIVES", hadDrives_, oldDrives_);
}

std::string binDir() {
  const char* v = std::getenv("VZ_BIN_DIR");
  return v && *v ? v : VZ_DEFAULT_BIN_DIR;
}

std::string corpusDir() {
  const char* v = std::getenv("VZ_CORPUS_DIR");
  return v && *v ? v : VZ_DEFAULT_CORPUS_DIR;
}

std::vector<std::string> corpusFiles() {
  std::vector<std::string> files;
  std::error_code ec;
  for (auto& e : fs::directory_iterator(corpusDir(), ec)) {
    if (e.is_regular_file() && e.path().filename() != "MANIFEST.tsv" && e.path().filename() != "README.md")
      files.push_back(e.path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::vector<uint8_t> readFile(const std::string& path) {
  // Read in blocks, not byte by byte: the tests read archives of tens of
  // megabytes, and a character iterator is slow in unoptimised and
  // sanitized builds.
  std::vector<uint8_t> out;
  std::ifstream in(path, std::ios::binary);
  constexpr size_t kBlock = 1 << 20;
  while (in) {
    const size_t have = out.size();
    out.resize(have + kBlock);
    in.read(reinterpret_cast<char*>(out.data() + have), static_cast<std::streamsize>(kBlock));
    out.resize(have + static_cast<size_t>(in.gcount()));
  }
  return out;
}

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void writeFile(const std::string& path, std::string_view text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

bool haveProgram(std::string_view name) {
  const char* pathEnv = std::getenv("PATH");
  if (!pathEnv) return false;
  std::string p = pathEnv;
  size_t start = 0;
  while (start <= p.size()) {
    size_t end = p.find(':', start);
    if (end == std::string::npos) end = p.size();
    std::string cand = p.substr(start, end - start) + "/" + std::string(name);
    if (access(cand.c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

namespace {
std::string drain(int fd) {
  std::string s;
  char buf[65536];
  ssize_t n;
  while ((n = read(fd, buf, sizeof buf)) > 0) s.append(buf, static_cast<size_t>(n));
  return s;
}
}  // namespace

int run(const std::vector<std::string>& argv, std::string* out, std::string* errOut, const std::string& cwd) {
  // Standard output and error go to temporary files rather than pipes, so a
  // chatty child can never block on a full pipe.
  ScratchDir tmp("vzrun");
  std::string outPath = tmp.file("out"), errPath = tmp.file("err");
  pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    int o = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int e = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int n = open("/dev/null", O_RDONLY);
    dup2(n, 0);
    dup2(o, 1);
    dup2(e, 2);
    if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
    std::vector<char*> args;
    for (auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
  }
  if (out) {
    int fd = open(outPath.c_str(), O_RDONLY);
    *out = drain(fd);
    close(fd);
  }
  if (errOut) {
    int fd = open(errPath.c_str(), O_RDONLY);
    *errOut = drain(fd);
    close(fd);
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return 128 + WTERMSIG(status);
}

}  // namespace vz::test
