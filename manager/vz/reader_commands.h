// vz over the multi-format readers: `vz l` and `vz x` on an archive whose
// content is not a ZIP.
//
// The archive's kind is detected by its content (detectArchiveType), never
// by its name. ZIP archives (plain or inside a program), files the
// detection does not know and files it cannot read stay with the wrapper,
// whose path and messages are unchanged; every other kind the lister can
// walk is listed through TArcLister, in the wrapper listing's columns, and
// extracted through the format's extractor when the family has one.
//
// Listing: every entry (folders too) whose name matches one of FILES (all
// when none are given) and none of the -x patterns, with "*" and "?" as the
// lister matches them; names are shown with control characters replaced.
// A lister error is written as "vz: ARCHIVE: TEXT (CODE)"; the entries
// before it stay listed.
//
// Exit status: 0 when the listing went well, 1 when nothing matched, 2
// when the lister reported an error or the kind cannot be extracted yet.
#pragma once

#include <ostream>

#include "manager/readers/arc_types.h"
#include "manager/vz/command_line.h"

namespace vz::cli {

// The readers' type of the command's archive when the readers serve it,
// atNA when the wrapper does.
readers::TArcType readerArchiveType(const CommandLine& line);

// The kind as vz names it in messages: the display name without its
// padding ("TAR", "ARJ SFX").
std::string readerKindName(readers::TArcType type);

// Runs l or x over the readers; returns the exit status.
int runWithReaders(const CommandLine& line, readers::TArcType type, std::ostream& out, std::ostream& err);

}  // namespace vz::cli
