// One run of qx: parse the options, then either print help or the type
// library, or install the dialog back end, create the control, connect the
// event printer when asked, make the call and print its result last.
// Everything the run set up is torn down in reverse order before it
// returns, so the function can run many times in one process.
#include "tools/qx/host.h"

#include "control/typelib/qx_typelib.h"
#include "tools/qx/control_factory.h"
#include "tools/qx/dialogs.h"
#include "tools/qx/event_connection.h"
#include "tools/qx/event_sink.h"
#include "tools/qx/exit_status.h"
#include "tools/qx/help.h"
#include "tools/qx/hresult_text.h"
#include "tools/qx/invocation.h"
#include "tools/qx/item_listing.h"
#include "tools/qx/listing.h"
#include "tools/qx/options.h"

namespace vz::qx {

namespace {

// Mode::Call: dialogs, control, optional event printer, the call, its
// result; torn down in reverse order of declaration.
int callControl(const Options& options, std::ostream& out, std::ostream& err, const HostEnvironment& env) {
  DialogScope dialogs;
  std::string error;
  if (!dialogs.install(options.answersFile, env.stdinIsTerminal, err, &error)) {
    err << "qx: " << error << '\n';
    return kExitUsage;
  }

  CreatedControl created = createControl(env.libraryFolder);
  if (!created.control) {
    err << "qx: " << created.error << '\n';
    return kExitNoControl;
  }

  com::Ref<EventPrinter> printer;
  EventConnection connection;
  if (options.events) {
    printer = EventPrinter::create(out, control::kDQXEvents);
    if (!printer) {
      err << "qx: out of memory for the event sink\n";
      return kExitCallFailed;
    }
    if (com::failed(connection.connect(*created.control.get(), control::DIID_DQXEvents, printer.get(), &error))) {
      err << "qx: " << error << '\n';
      return kExitCallFailed;
    }
  }

  CallOutcome outcome = callMethod(*created.control.get(), options.method(), options.arguments());

  if (com::HRESULT h = connection.disconnect(); com::failed(h))
    err << "qx: warning: removing the event sink failed: " << describeHresult(h) << '\n';
  for (const auto& e : dialogs.scriptErrors()) err << "qx: answers: " << e << '\n';

  if (outcome.status != kExitOk) {
    err << "qx: " << outcome.error << '\n';
    return outcome.status;
  }
  if (outcome.result) out << *outcome.result << '\n';
  return kExitOk;
}

// Mode::ListItems: the control and the item listing. No dialog is asked
// by the item-list methods, so no back end is installed for them.
int listArchiveItems(const Options& options, std::ostream& out, std::ostream& err, const HostEnvironment& env) {
  CreatedControl created = createControl(env.libraryFolder);
  if (!created.control) {
    err << "qx: " << created.error << '\n';
    return kExitNoControl;
  }
  return listItems(*created.control.get(), options.operands.front(), options.sortMode, out, err);
}

}  // namespace

int runQx(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, const HostEnvironment& env) {
  ParseResult parsed = parseCommandLine(args);
  if (!parsed.ok) {
    err << "qx: " << parsed.error << '\n' << usageLine();
    return kExitUsage;
  }
  const Options& options = parsed.options;
  int status = kExitOk;
  switch (options.mode) {
    case Mode::Help:
      out << helpText();
      break;
    case Mode::List:
      printTypeLibrary(out, control::kDQX, control::kDQXEvents);
      break;
    case Mode::Call:
      status = callControl(options, out, err, env);
      break;
    case Mode::ListItems:
      status = listArchiveItems(options, out, err, env);
      break;
  }
  // A result that never reached its reader (a full disk, a closed pipe)
  // must not pass for success.
  out.flush();
  if (!out && status == kExitOk) {
    err << "qx: cannot write to standard output\n";
    status = kExitCallFailed;
  }
  return status;
}

}  // namespace vz::qx
