// regsvr32: registers or unregisters an in-process server library.
//
//   regsvr32 [/u] [/s] LIBRARY
//
// Loads LIBRARY and calls its DllRegisterServer (DllUnregisterServer with
// /u). The outcome is reported in a message box of the user-interface
// service unless /s is given: with a terminal on standard input the
// terminal back end draws it, otherwise the default back end writes it to
// standard error. The exit status tells the outcome to scripts (setup runs
// this tool): see ExitStatus.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "platform/com/server.h"
#include "platform/ui.h"

namespace {

// Exit statuses; the gaps keep the values the installer checks for.
enum ExitStatus : int {
  kSuccess = 0,
  kBadUsage = 1,
  kLoadFailed = 3,    // the library could not be loaded
  kNoEntryPoint = 4,  // the library lacks the entry point
  kEntryFailed = 5,   // the entry point returned a failure code
};

constexpr const char* kCaption = "RegSvr32";

constexpr const char* kUsage =
    "Usage: regsvr32 [/u] [/s] LIBRARY\n"
    "Registers the in-process server LIBRARY by calling its DllRegisterServer.\n"
    "  /u  unregister instead (calls DllUnregisterServer)\n"
    "  /s  silent: show no messages\n"
    "Options may also start with \"-\" and may be given in any case.\n";

struct Options {
  bool unregister = false;  // /u
  bool silent = false;      // /s
  std::string library;      // the library's path as given
};

// An option is "/" or "-" and one letter; anything longer is a path (so
// "/usr/lib/x.so" is a library, "/u" the option).
bool parseOptions(int argc, char** argv, Options* o) {
  bool haveLibrary = false;
  for (int i = 1; i < argc; ++i) {
    std::string_view a = argv[i];
    if (a.size() == 2 && (a[0] == '/' || a[0] == '-')) {
      char c = a[1];
      if (c == 'u' || c == 'U')
        o->unregister = true;
      else if (c == 's' || c == 'S')
        o->silent = true;
      else
        return false;
      continue;
    }
    if (a.empty() || haveLibrary || a[0] == '-') return false;
    o->library = a;
    haveLibrary = true;
  }
  return haveLibrary;
}

std::string hex8(vz::com::HRESULT h) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(static_cast<uint32_t>(h)));
  return buf;
}

}  // namespace

int main(int argc, char** argv) {
  Options opt;
  if (!parseOptions(argc, argv, &opt)) {
    std::fputs(kUsage, stderr);
    return kBadUsage;
  }
  if (!opt.silent && isatty(0)) vz::ui::setBackend(vz::ui::makeTerminalBackend(0, 2));

  const char* entry = opt.unregister ? "DllUnregisterServer" : "DllRegisterServer";
  std::string loadError;
  vz::com::HRESULT h = vz::com::callRegistrationEntry(opt.library, opt.unregister, &loadError);

  int status = kSuccess;
  std::string message;
  if (!loadError.empty() && h == vz::com::CO_E_ERRORINDLL) {
    status = kNoEntryPoint;
    message = opt.library + " was loaded, but the " + entry + " entry point was not found.";
  } else if (!loadError.empty()) {
    status = kLoadFailed;
    message = "LoadLibrary(\"" + opt.library + "\") failed.\n" + loadError;
  } else if (vz::com::failed(h)) {
    status = kEntryFailed;
    message = std::string(entry) + " in " + opt.library + " failed.\nReturn code was: " + hex8(h);
  } else {
    message = std::string(entry) + " in " + opt.library + " succeeded.";
  }
  if (!opt.silent) {
    unsigned icon = status == kSuccess ? vz::ui::MB_ICONINFORMATION : vz::ui::MB_ICONERROR;
    vz::ui::messageBox(message, kCaption, vz::ui::MB_OK | icon);
  }
  return status;
}
