// Known folders under VZ_ROOT and, without it, the XDG locations.
#include "platform/folders.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/test_env.h"

namespace {

using vz::test::ScopedRoot;

bool isDir(const std::string& p) {
  struct stat st;
  return stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Sets or unsets environment variables for one test and restores them.
class EnvGuard {
 public:
  void set(const char* name, const char* value) {
    const char* old = std::getenv(name);
    saved_.push_back({name, old ? old : "", old != nullptr});
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~EnvGuard() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      if (it->had)
        setenv(it->name.c_str(), it->value.c_str(), 1);
      else
        unsetenv(it->name.c_str());
    }
  }

 private:
  struct Saved {
    std::string name, value;
    bool had;
  };
  std::vector<Saved> saved_;
};

TEST(Folders, EverythingLiesInsideVzRoot) {
  ScopedRoot root;
  const std::string r = root.path();
  EXPECT_EQ(vz::windowsFolder(), r + "/windows");
  EXPECT_EQ(vz::systemFolder(), r + "/system");
  EXPECT_EQ(vz::desktopFolder(), r + "/Desktop");
  EXPECT_EQ(vz::programsFolder(), r + "/applications");
  EXPECT_EQ(vz::sendToFolder(), r + "/windows/Sendto");
  EXPECT_EQ(vz::tempPath(), r + "/tmp");  // ScopedRoot points TMPDIR there
  EXPECT_EQ(vz::defaultInstallFolder(), r + "/opt/VemoraZip");
  for (const char* sub : {"/windows", "/system", "/Desktop", "/applications", "/windows/Sendto"})
    EXPECT_TRUE(isDir(r + sub)) << sub;
  EXPECT_FALSE(isDir(r + "/opt/VemoraZip"));  // setup creates it

  EnvGuard env;
  env.set("TMPDIR", nullptr);
  EXPECT_EQ(vz::tempPath(), r + "/tmp");
  env.set("TMPDIR", (r + "/mytmp/").c_str());
  EXPECT_EQ(vz::tempPath(), r + "/mytmp");
  EXPECT_TRUE(isDir(r + "/mytmp"));
}

TEST(Folders, XdgLocationsWithoutVzRoot) {
  ScopedRoot root;
  const std::string home = root.path() + "/home";
  EnvGuard env;
  env.set("VZ_ROOT", nullptr);
  env.set("HOME", home.c_str());
  env.set("XDG_CONFIG_HOME", (root.path() + "/cfg").c_str());
  env.set("XDG_DATA_HOME", (root.path() + "/data").c_str());
  env.set("XDG_DESKTOP_DIR", nullptr);
  env.set("TMPDIR", nullptr);

  EXPECT_EQ(vz::homeFolder(), home);
  EXPECT_EQ(vz::windowsFolder(), root.path() + "/cfg/VemoraZip");
  EXPECT_EQ(vz::systemFolder(), root.path() + "/data/VemoraZip/system");
  EXPECT_EQ(vz::programsFolder(), root.path() + "/data/applications");
  EXPECT_EQ(vz::tempPath(), "/tmp");
  EXPECT_EQ(vz::defaultInstallFolder(), home + "/.local/opt/VemoraZip");
  EXPECT_EQ(vz::desktopFolder(), home + "/Desktop");

  // The desktop named in user-dirs.dirs.
  vz::test::writeFile(root.path() + "/cfg/user-dirs.dirs",
                      "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n");
  EXPECT_EQ(vz::desktopFolder(), home + "/Schreibtisch");
  EXPECT_TRUE(isDir(home + "/Schreibtisch"));

  // Relative XDG variables are ignored, as the XDG rules say.
  env.set("XDG_CONFIG_HOME", "relative/cfg");
  EXPECT_EQ(vz::windowsFolder(), home + "/.config/VemoraZip");
  EXPECT_TRUE(isDir(home + "/.config/VemoraZip"));
}

}  // namespace
