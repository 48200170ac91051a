// The exit statuses of qx. Scripts and tests rely on these values, and
// `qx --help` documents them; keep the three in step.
#pragma once

namespace vz::qx {

enum ExitStatus : int {
  // The call was made (whatever the method returned), or --help / --list
  // did their work.
  kExitOk = 0,
  // The control refused the call itself (Invoke failed for a reason other
  // than the arguments) or refused the event connection asked for by
  // --events; or the output could not be written.
  kExitCallFailed = 1,
  // The command line does not fit: an unknown option, a missing method,
  // an unknown method, a wrong argument count, an argument that does not
  // parse or is out of range, an unreadable --answers file.
  kExitUsage = 2,
  // The control could not be created, neither through the registry nor
  // from the library beside qx.
  kExitNoControl = 3,
  // --list-items: the archive cannot be read (BuildZIPITEMList gave -1).
  kExitArchiveUnreadable = 4,
};

}  // namespace vz::qx
