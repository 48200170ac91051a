// A small reader of rich text (RTF) for the internal viewer: it keeps the
// words, the paragraphs and the bold, italic and underline switches, and
// drops everything else (fonts, colours, pictures, tables' layout, fields'
// instructions, document information).
//
// RTF in a nutshell, as far as this reader goes:
//   {           opens a group: the character switches are saved
//   }           closes it: they are restored
//   \word[N]    a control word with an optional signed number, ended by a
//               blank (eaten) or any other non-letter, non-digit
//   \'hh        one byte in the document's code page (taken as Windows-1252)
//   \uN         one UTF-16 unit (negative N: N + 65536), followed by \ucN
//               (default 1) fallback characters that are skipped
//   \* { ... }  a destination a reader may ignore: the whole group is skipped
//   other bytes text; CR and LF are no text in RTF
// Paragraphs end at \par (and \line, \sect, \page, \row, \cell becomes a tab
// so table cells stay apart). A document that is not RTF gives no
// paragraphs.
//
// Bounds: groups nest 256 deep at most (deeper ones are skipped whole), so
// hostile input costs time linear in its size and no stack.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vz::manager {

// A stretch of text with one set of switches.
struct RtfRun {
  std::string text;  // UTF-8
  bool bold = false;
  bool italic = false;
  bool underline = false;
};

struct RtfParagraph {
  std::vector<RtfRun> runs;  // adjacent runs differ in a switch; may be empty (a blank line)
  std::string plainText() const;
};

// Whether the bytes start like a rich-text document ("{\rtf", after blanks).
bool looksLikeRtf(std::string_view data);

// The paragraphs of a rich-text document.
std::vector<RtfParagraph> readRtf(std::string_view data);

}  // namespace vz::manager
