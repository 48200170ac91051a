// Table-driven option parsing for qx. Each row names an option, says
// whether it takes a value and how it changes Options; the loop below knows
// nothing about individual options. After the loop, the operands are
// checked against the chosen mode.
#include "tools/qx/options.h"

#include <array>
#include <functional>
#include <string_view>

#include "platform/com/variant.h"

namespace vz::qx {

namespace {

struct OptionSpec {
  std::string_view longName;   // "--events"
  std::string_view shortName;  // "-h", or empty
  bool takesValue;             // the value follows as the next word or after "="
  // Applies the option; returns an error text, empty when it was accepted.
  std::function<std::string(Options&, const std::string& value)> apply;
};

std::string setMode(Options& o, Mode m, std::string_view name) {
  if (o.mode != Mode::Call && o.mode != m) return std::string(name) + " cannot be combined with another mode";
  o.mode = m;
  return {};
}

const std::array<OptionSpec, 5>& optionTable() {
  static const std::array<OptionSpec, 5> table = {{
      {"--help", "-h", false, [](Options& o, const std::string&) { return setMode(o, Mode::Help, "--help"); }},
      {"--list", "", false, [](Options& o, const std::string&) { return setMode(o, Mode::List, "--list"); }},
      {"--list-items", "", false,
       [](Options& o, const std::string&) { return setMode(o, Mode::ListItems, "--list-items"); }},
      {"--events", "", false,
       [](Options& o, const std::string&) {
         o.events = true;
         return std::string();
       }},
      {"--answers", "", true,
       [](Options& o, const std::string& v) {
         if (v.empty()) return std::string("--answers needs a file name");
         o.answersFile = v;
         return std::string();
       }},
  }};
  return table;
}

const OptionSpec* findOption(std::string_view word) {
  for (const auto& spec : optionTable()) {
    if (word == spec.longName || (!spec.shortName.empty() && word == spec.shortName)) return &spec;
  }
  return nullptr;
}

ParseResult failure(std::string message) {
  ParseResult r;
  r.error = std::move(message);
  return r;
}

}  // namespace

ParseResult parseCommandLine(const std::vector<std::string>& args) {
  ParseResult result;
  Options& o = result.options;
  size_t i = 0;
  for (; i < args.size(); ++i) {
    const std::string& word = args[i];
    if (word == "--") {
      ++i;
      break;
    }
    // A lone "-" is an operand, as is everything not starting with "-".
    if (word.size() < 2 || word[0] != '-') break;

    std::string name = word;
    std::optional<std::string> inlineValue;
    if (size_t eq = word.find('='); word.starts_with("--") && eq != std::string::npos) {
      name = word.substr(0, eq);
      inlineValue = word.substr(eq + 1);
    }
    const OptionSpec* spec = findOption(name);
    if (!spec) return failure("unknown option '" + word + "' (qx --help lists the options)");

    std::string value;
    if (spec->takesValue) {
      if (inlineValue) {
        value = *inlineValue;
      } else if (i + 1 < args.size()) {
        value = args[++i];
      } else {
        return failure(std::string(spec->longName) + " needs a value");
      }
    } else if (inlineValue) {
      return failure(std::string(spec->longName) + " takes no value");
    }
    if (std::string err = spec->apply(o, value); !err.empty()) return failure(err);
  }
  o.operands.assign(args.begin() + static_cast<std::ptrdiff_t>(i), args.end());

  switch (o.mode) {
    case Mode::Help:
      break;  // help ignores everything else
    case Mode::List:
      if (!o.operands.empty()) return failure("--list takes no method or arguments");
      break;
    case Mode::ListItems: {
      if (o.operands.empty() || o.operands.size() > 2)
        return failure("--list-items takes an archive and optionally a sort mode");
      if (o.operands.size() == 2) {
        const std::optional<com::Variant> mode = com::parseArgument(o.operands[1], com::VarType::I2);
        if (!mode) return failure("the sort mode '" + o.operands[1] + "' is not a whole number from -32768 to 32767");
        o.sortMode = mode->shortValue();
      }
      break;
    }
    case Mode::Call:
      if (o.operands.empty()) return failure("no method given (qx --help shows the usage)");
      if (o.operands.front().empty()) return failure("the method name is empty");
      break;
  }
  result.ok = true;
  return result;
}

}  // namespace vz::qx
