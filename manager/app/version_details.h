// The rows of the options window's "&Version Details" page: the facts a
// support request needs (the program's version, the toolkit's, the
// platform, and the folders the program uses). The app library has no Qt,
// so the caller passes Qt's version in.
#pragma once

#include <string>
#include <vector>

namespace vz::manager {

struct VersionRow {
  std::string item;  // "Item" column
  std::string data;  // "Data" column
};

std::vector<VersionRow> versionDetails(const std::string& qtVersion);

}  // namespace vz::manager
