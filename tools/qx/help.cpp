// The text `qx --help` prints: usage, options, how arguments and results
// are written, dialogs, exit statuses and examples. It documents the
// behaviour of options.cpp, host.cpp and exit_status.h; change them
// together.
#include "tools/qx/help.h"

namespace vz::qx {

std::string usageLine() {
  return "usage: qx [--events] [--answers FILE] [--] METHOD [ARG ...]\n"
         "       qx --list\n"
         "       qx --help\n";
}

std::string helpText() {
  return usageLine() +
         "\n"
         "Creates the compression control (ProgID \"Quorrin95.CompressCtrl.1\") and calls\n"
         "one of its automation methods. The control is created through the registry\n"
         "when it is registered (regsvr32 QX30W32.so); otherwise QX30W32.so is loaded\n"
         "from the folder of the qx program.\n"
         "\n"
         "METHOD is a method name of the control, in any case (qx --list shows them);\n"
         "the property hWnd can be read with `qx hWnd`. Each ARG is converted to the\n"
         "type of its parameter:\n"
         "  BSTR    the text as given\n"
         "  BOOL    1, 0, true or false (any case)\n"
         "  short   a whole decimal number from -32768 to 32767\n"
         "  long    a whole decimal number from -2147483648 to 2147483647\n"
         "  double  a decimal number\n"
         "\n"
         "The result is printed last on standard output: text as it is, numbers in\n"
         "decimal, BOOL as 1 or 0, a double as the shortest decimal that reads back the\n"
         "same; nothing for a method without result.\n"
         "\n"
         "Options (they come before METHOD; \"--\" ends them, so that an argument may\n"
         "start with \"-\"):\n"
         "  --events        print every event as it fires, one line each on standard\n"
         "                  output: the event's name, then its arguments, separated\n"
         "                  by tabs (tabs and line breaks inside a text argument are\n"
         "                  written as \\t and \\n)\n"
         "  --answers FILE  answer the control's dialogs from FILE, one line per\n"
         "                  question, used in order: the chosen button's text without\n"
         "                  \"&\" in lower case (ok, cancel, yes, no, ...), optionally\n"
         "                  followed by a blank and the text for the dialog's edit\n"
         "                  field; an empty line takes the dialog's default button;\n"
         "                  for a file or folder chooser, the line is the path\n"
         "  --list          print every method, property and event of the control\n"
         "                  with its DISPID, parameters and result type\n"
         "  -h, --help      print this text\n"
         "\n"
         "Dialogs: with --answers, the answers come from FILE; when no answer is left,\n"
         "a dialog gets the answer of closing its window. Without --answers and with a\n"
         "terminal on standard input, dialogs are asked on the terminal (drawn on\n"
         "standard error, or on the controlling terminal when standard error is\n"
         "redirected). Otherwise every dialog gets the answer of closing its window.\n"
         "Every question is written to standard error as one line: caption, text\n"
         "(line breaks as \\n) and buttons, separated by tabs; on a terminal that\n"
         "draws on standard error, the drawing takes the place of that line.\n"
         "\n"
         "Exit status:\n"
         "  0  the call was made, whatever its result (also after --list and --help)\n"
         "  1  the control refused the call or, with --events, the event connection;\n"
         "     or standard output could not be written\n"
         "  2  the command line does not fit: unknown option or method, wrong number\n"
         "     of arguments, an argument that does not parse or is out of range,\n"
         "     an unreadable --answers file\n"
         "  3  the control cannot be created\n"
         "\n"
         "Examples:\n"
         "  qx GetZipBufferSize\n"
         "  qx GetTotalSize /tmp/a.zip 1 0\n"
         "  qx IsFileNameInFilter readme.txt \"*.TXT\"\n"
         "  qx --events UnzipFiles /tmp/a.zip \"*.*\" /tmp/out 1 0 1 \"\" 0 1\n"
         "  qx --answers answers.txt AboutBox\n"
         "  qx -- IsFileNameInFilter -name- \"-*\"\n"
         "  qx --list\n";
}

}  // namespace vz::qx
