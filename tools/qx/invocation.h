// One call of a control method from command-line words: look the member up
// by name (GetIDsOfNames, ignoring case), convert each word to its
// parameter's automation type from the type information, Invoke, and turn
// the result into the text qx prints.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/com/dispatch.h"
#include "tools/qx/exit_status.h"

namespace vz::qx {

// Converts the words to the member's parameter types (for a property put:
// one word of the property's type). On failure returns false and *error
// names the argument, the parameter and the accepted form.
bool convertArguments(const com::FuncDesc& member, com::InvokeKind kind, const std::vector<std::string>& words,
                      std::vector<com::Variant>* args, std::string* error);

// The invoke kind for a member called with argCount words: methods are
// called, properties read without words and written with one (read-write
// only). nullopt with *error set when the member cannot be used that way.
std::optional<com::InvokeKind> invokeKindFor(const com::FuncDesc& member, size_t argCount, std::string* error);

struct CallOutcome {
  ExitStatus status = kExitOk;
  std::string error;                  // one line for standard error when status != 0
  std::optional<std::string> result;  // the text to print; nullopt for no result
};

// Makes the whole call. The result text is formatted for display
// (formatForDisplay); a member without result gives nullopt.
CallOutcome callMethod(com::IDispatch& control, const std::string& name, const std::vector<std::string>& words);

}  // namespace vz::qx
