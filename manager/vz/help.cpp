#include "manager/vz/help.h"

#include "manager/vz/command_line.h"

#ifndef VZ_VERSION
#define VZ_VERSION "0.0"
#endif

namespace vz::cli {

std::string helpText() {
  std::string t =
      "Usage: vz COMMAND [OPTIONS] ARCHIVE [FILES...]\n"
      "       vz --help | --version\n"
      "\n"
      "The archive manager's ZIP work from a shell, through the same engine.\n"
      "\n"
      "Commands:\n"
      "  l    list the entries: size, packed size, space saved, date, time, name\n"
      "       (\" *\" marks an encrypted entry), then the totals\n"
      "  t    test the entries (FILES: only those)\n"
      "  x    extract the entries (FILES: only those) into the current folder or -d DIR\n"
      "  a    add FILES (patterns such as \"docs/*.txt\"; folders with -r)\n"
      "  f    freshen: replace the entries whose FILES are newer, add nothing new\n"
      "  u    update: replace the entries whose FILES are newer and add new ones\n"
      "  d    delete the entries matching FILES\n"
      "  fix  repair the archive's directory from its local headers (--thorough)\n"
      "  c    print the archive comment; with -z TEXT or --comment-file FILE\n"
      "       write it (at most 255 characters; an empty text removes it)\n"
      "\n"
      "l and x also take the other kinds the readers know (ARC, ARJ, BH, CAB, GZip,\n"
      "HA, LHA, PAK, RAR, TAR, Z, ZOO, and programs carrying one), told by content.\n"
      "\n"
      "Options (anywhere after the command; \"--\" ends them; short ones group, \"-rj9\"):\n";
  for (const std::string& line : optionHelpLines()) t += line + "\n";
  t += "  -h, --help              this text\n"
       "  --version               the version\n"
       "\n"
       "  FILES, -i and -x are matched by the engine (\"*\" and \"?\" wildcards). -i and\n"
       "  -x filter the FILES named; for l, t and x a lone -x applies to every entry.\n"
       "\n"
       "Questions (a file to replace, a password, a disk to insert) are asked on the\n"
       "terminal when standard input is one. With --answers FILE each line of FILE\n"
       "answers one question in turn: the button's name, then a blank and the text\n"
       "to type where the question has a field. An empty line takes the default\n"
       "button; with no line left a question is cancelled. Without a terminal and\n"
       "without --answers each question takes its default button. The questions:\n"
       "  replace      yes | no (default) | rename... | cancel (stops the run);\n"
       "               rename... asks the new name: ok NEWNAME, or cancel to be\n"
       "               asked again; a name without a folder goes beside the file\n"
       "  password     ok PASSWORD | skip file (default) | always skip (every\n"
       "               encrypted file from now on)\n"
       "  new disk     ok (default) | cancel (stops the run)\n"
       "Every question asked is also written to standard error as one line:\n"
       "CAPTION<tab>TEXT<tab>BUTTONS. Skipped files are reported there too.\n"
       "\n"
       "A progress line (name and percent done) is drawn on standard error when it\n"
       "is a terminal. Messages about the result go to standard error.\n"
       "\n"
       "Exit status: 0 success, 1 warning (for example some files skipped, nothing\n"
       "matched, the archive is empty, the operation was cancelled), 2 error or\n"
       "usage error.\n"
       "\n"
       "Environment:\n"
       "  VZ_ENGINE_DIR   the folder of ZWZIP32.so and ZWUNZ32.so (default: beside vz)\n"
       "  VZ_THREADS      compression threads of the engine (1: none beside the caller)\n"
       "  VZ_ROOT         keep settings and temporary files inside this folder\n"
       "\n"
       "Examples:\n"
       "  vz a -r -9 backup.zip docs        add the folder docs and everything below it\n"
       "  vz a -r backup.zip src -x '*.o'   the same without object files\n"
       "  vz l backup.zip                   list it\n"
       "  vz t backup.zip                   test it\n"
       "  vz x -d out backup.zip 'docs/*'   extract part of it into out\n"
       "  vz d backup.zip docs/old.txt      delete an entry\n"
       "  vz c -z 'Nightly backup' backup.zip\n";
  return t;
}

std::string versionText() { return std::string("vz (Vemora.Zip) ") + VZ_VERSION + "\n"; }

}  // namespace vz::cli
