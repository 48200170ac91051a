// The lines of the printed file list.
#include "manager/app/print_layout.h"

namespace vz::manager {

namespace {

std::string padRight(std::string s, size_t width) {
  if (s.size() < width) s.append(width - s.size(), ' ');
  return s;
}

}  // namespace

std::vector<std::string> printLines(const std::string& archiveFile, const std::vector<ListedRow>& rows) {
  std::vector<std::string> lines;
  lines.reserve(rows.size() + 3);
  lines.push_back(std::string(kPrintTitle) + "                           file: " + archiveFile);
  lines.push_back("   File Name                              Size          Path");
  for (const ListedRow& row : rows)
    lines.push_back("  " + padRight(row.caption, 39) + " " + padRight(std::to_string(row.size), 12) + "  " +
                    row.folder);
  lines.push_back("                             -= End of Report =-");
  return lines;
}

}  // namespace vz::manager
