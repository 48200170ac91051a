// The argument vectors of TZipWrapper's operations, one function per
// operation, built from the component's properties alone so that tests can
// check them without calling the engine. argv[0] is the password (or an
// empty string for the comment calls); a switch whose condition is false is
// absent. The engine's grammar is zipwrap/engine/engine_command.h.
//
// File list with filters (fileListWithFilters): FilesToProcess in order. An
// entry starting with "<" is always held back as an exclude filter; one
// starting with ">" is held back as an include filter only when includes
// apply (add and delete), otherwise passed on as an ordinary entry, ">"
// and all; every other non-empty entry is passed on unchanged. When at
// least one ordinary entry was passed, "-i" and the include filters
// (without their ">") follow when there are any, then "-x" and the exclude
// filters (without their "<"). With no ordinary entry the filters are
// dropped.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "zipwrap/zip_wrapper.h"

namespace vz::zipwrap {

std::vector<std::string> fileListWithFilters(const std::vector<std::string>& files, bool includeFilters);
// ProcessSince as "mmddyy".
std::string formatSinceDate(const TZwDateTime& date);

// UpdateMode 0 add, 1 freshen ("-f"), 2 update ("-u").
std::vector<std::string> addFilesArgs(const TZipWrapper& w, int updateMode);
std::vector<std::string> deleteFilesArgs(const TZipWrapper& w);
std::vector<std::string> extractFilesArgs(const TZipWrapper& w, int updateMode);
std::vector<std::string> fixArchiveArgs(const TZipWrapper& w, bool thorough);
std::vector<std::string> listArchiveArgs(const TZipWrapper& w);
std::vector<std::string> testArchiveArgs(const TZipWrapper& w);
std::vector<std::string> readArchiveCommentArgs(const TZipWrapper& w);
std::vector<std::string> writeArchiveCommentArgs(const TZipWrapper& w);
// The entry-count call: argc 1, argv[0] points at this value (0, or
// kMultiDiskCountMarker in MultidiskMode), argv[1] is ZipFileName.
uint32_t entryCountMarker(const TZipWrapper& w);

}  // namespace vz::zipwrap
