// The printed file list: the lines the main window writes into its print
// document (font Courier 12, no word wrap) under the title
// "Vemora.Zip Archive contents list".
//
//   Vemora.Zip Archive contents list                           file: NAME
//      File Name                              Size          Path
//     <caption padded to 39> <size padded to 12>  <folder>      (one per row)
//                                -= End of Report =-
//
// Longer captions and sizes are not cut; the padding only fills.
#pragma once

#include <string>
#include <vector>

#include "manager/app/archive_listing.h"

namespace vz::manager {

inline constexpr const char* kPrintTitle = "Vemora.Zip Archive contents list";

// archiveFile: the archive's file name (the window passes its path).
std::vector<std::string> printLines(const std::string& archiveFile, const std::vector<ListedRow>& rows);

}  // namespace vz::manager
