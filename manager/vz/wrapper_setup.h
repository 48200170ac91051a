// From vz's command line to the wrapper's properties: the one place where
// each option becomes the property it names. A plain function over a
// TZipWrapper, so that tests check the mapping without running anything.
//
// The wrapper starts as the manager's main window configures its own
// (Compression 6, StoredExtensions ".ZIP;.LZH;.ARC;.ARJ;.ZOO;.BH;.CAB"), so
// that `vz a` stores the same files the window would; the options then
// change what they name and leave everything else at that configuration.
#pragma once

#include <string>
#include <vector>

#include "manager/vz/command_line.h"
#include "zipwrap/zip_wrapper.h"

namespace vz::cli {

// The StoredExtensions of the manager's main wrapper.
inline constexpr const char* kManagerStoredExtensions = ".ZIP;.LZH;.ARC;.ARJ;.ZOO;.BH;.CAB";

// The main window's configuration of its wrapper.
void configureAsManager(zipwrap::TZipWrapper& w);

// Sets ZipFileName, FilesToProcess and every property the command line
// gives a value (an unset option leaves the property as it is).
void applyToWrapper(const CommandLine& line, zipwrap::TZipWrapper& w);

// FilesToProcess for the command line: the files in order, then ">" and
// each -i pattern, then "<" and each -x pattern. The wrapper drops filters
// when no ordinary entry is given, so for the reading commands (l, t, x),
// where naming no file means every entry, "*" stands for the files when
// only -x patterns are given.
std::vector<std::string> filesToProcess(const CommandLine& line);

}  // namespace vz::cli
