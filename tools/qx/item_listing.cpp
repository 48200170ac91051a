// `qx --list-items` (see item_listing.h): builds the list through the
// control and reads every item back through the accessors by DISPID.
#include "tools/qx/item_listing.h"

#include <array>
#include <cstdio>
#include <limits>
#include <memory>

#include "platform/handles.h"
#include "tools/qx/exit_status.h"
#include "tools/qx/hresult_text.h"
#include "tools/qx/line_text.h"

namespace vz::qx {

namespace {

// The methods the listing calls.
enum Method : size_t {
  kBuild,
  kName,
  kDir,
  kIsDir,
  kIsEncrypted,
  kIsArchive,
  kIsHidden,
  kIsSystem,
  kIsReadOnly,
  kIsAnnotated,
  kMethod,
  kDay,
  kMonth,
  kYear,
  kHour,
  kMin,
  kRate,
  kSize,
  kCrc,
  kIcon,
  kMethodCount
};
// Their names, in the order of Method.
constexpr std::array<const char*, kMethodCount> kMethodNames = {
    "BuildZIPITEMList",      "GetZIPITEMName",         "GetZIPITEMDir",      "GetZIPITEMIsDir",
    "GetZIPITEMIsEncrypted", "GetZIPITEMIsArchive",    "GetZIPITEMIsHidden", "GetZIPITEMIsSystem",
    "GetZIPITEMIsReadOnly",  "GetZIPITEMIsAnnotated",  "GetZIPITEMMethod",   "GetZIPITEMDay",
    "GetZIPITEMMonth",       "GetZIPITEMYear",         "GetZIPITEMHour",     "GetZIPITEMMin",
    "GetZIPITEMRate",        "GetZIPITEMOriginalSize", "GetZIPITEMCrc",      "GetZIPITEMIconIndex",
};

// The list box of the run, removed from the handle table on every way out.
class ScopedListBox {
 public:
  ScopedListBox() : handle_(handles::add(std::make_shared<ListBox>())) {}
  ~ScopedListBox() {
    if (handle_) handles::destroy(handle_);
  }
  ScopedListBox(const ScopedListBox&) = delete;
  ScopedListBox& operator=(const ScopedListBox&) = delete;
  Handle handle() const { return handle_; }
  int count() const {
    auto box = handles::getAs<ListBox>(handle_);
    return box ? box->count() : 0;
  }

 private:
  Handle handle_;  // 0 when the table refused it
};

class Caller {
 public:
  explicit Caller(com::IDispatch& control) : control_(control) {}

  // Looks every method up; false with *error set when one is missing.
  bool lookUp(std::string* error) {
    for (size_t i = 0; i < kMethodCount; ++i) {
      const char* name = kMethodNames[i];
      std::vector<com::DispId> ids;
      const com::HRESULT h = control_.GetIDsOfNames({name}, ids);
      if (com::failed(h) || ids.empty()) {
        *error = std::string("the control has no method ") + name + " (" + describeHresult(h) + ")";
        return false;
      }
      ids_[i] = ids.front();
    }
    return true;
  }

  // Calls a method; false with *error set when Invoke fails.
  bool call(Method m, std::vector<com::Variant> args, com::Variant& result, std::string* error) {
    unsigned argError = 0;
    const com::HRESULT h = control_.Invoke(ids_[m], com::InvokeKind::Method, args, &result, &argError);
    if (com::failed(h)) {
      *error = std::string("calling ") + kMethodNames[m] + " failed: " + describeHresult(h);
      return false;
    }
    return true;
  }

 private:
  com::IDispatch& control_;
  std::array<com::DispId, kMethodCount> ids_{};  // DISPIDs by Method
};

}  // namespace

std::string itemFlagLetters(bool dir, bool encrypted, bool archive, bool hidden, bool system, bool readOnly,
                            bool comment) {
  std::string s = "-------";
  const bool set[] = {dir, encrypted, archive, hidden, system, readOnly, comment};
  const char letters[] = "DEAHSRC";
  for (size_t i = 0; i < 7; ++i)
    if (set[i]) s[i] = letters[i];
  return s;
}

std::string itemDateText(int year, int month, int day) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", year < 50 ? 2000 + year : 1900 + year, month, day);
  return buf;
}

int listItems(com::IDispatch& control, const std::string& archive, std::optional<int16_t> sortMode, std::ostream& out,
              std::ostream& err) {
  Caller caller(control);
  std::string error;
  if (!caller.lookUp(&error)) {
    err << "qx: " << error << '\n';
    return kExitCallFailed;
  }
  ScopedListBox box;
  if (!box.handle()) {
    err << "qx: the list box cannot be made\n";
    return kExitCallFailed;
  }

  com::Variant built;
  if (!caller.call(kBuild,
                   {com::Variant::fromText(archive), com::Variant::fromLong(box.handle()),
                    com::Variant::fromBool(false), com::Variant::fromText(""), com::Variant::fromBool(false),
                    com::Variant::fromShort(sortMode.value_or(-1)), com::Variant::fromBool(false)},
                   built, &error)) {
    err << "qx: " << error << '\n';
    return kExitCallFailed;
  }
  const int16_t result = built.shortValue();
  if (result == -1) {
    err << "qx: " << archive << ": the archive cannot be read\n";
    return kExitArchiveUnreadable;
  }

  const int count = box.count();
  const int readable = std::min<int>(count, std::numeric_limits<int16_t>::max());
  for (int i = 0; i < readable; ++i) {
    const std::vector<com::Variant> args = {com::Variant::fromLong(box.handle()),
                                            com::Variant::fromShort(static_cast<int16_t>(i)),
                                            com::Variant::fromBool(false)};
    std::array<com::Variant, kMethodCount> v;
    for (size_t m = kName; m < kMethodCount; ++m) {
      if (!caller.call(static_cast<Method>(m), args, v[m], &error)) {
        err << "qx: " << error << '\n';
        return kExitCallFailed;
      }
    }
    char crc[16];
    std::snprintf(crc, sizeof crc, "%08x", static_cast<unsigned>(v[kCrc].doubleValue()));
    char time[16];
    std::snprintf(time, sizeof time, "%02d:%02d", v[kHour].shortValue(), v[kMin].shortValue());
    out << escapeForLine(v[kName].text()) << '\t' << escapeForLine(v[kDir].text()) << '\t'
        << itemFlagLetters(v[kIsDir].boolValue(), v[kIsEncrypted].boolValue(), v[kIsArchive].boolValue(),
                           v[kIsHidden].boolValue(), v[kIsSystem].boolValue(), v[kIsReadOnly].boolValue(),
                           v[kIsAnnotated].boolValue())
        << '\t' << v[kMethod].shortValue() << '\t'
        << itemDateText(v[kYear].shortValue(), v[kMonth].shortValue(), v[kDay].shortValue()) << '\t' << time
        << '\t'
        // The size travels as a signed long; its bits are the unsigned size.
        << static_cast<uint32_t>(v[kSize].longValue()) << '\t' << v[kRate].shortValue() << '\t' << crc << '\t'
        << v[kIcon].shortValue() << '\n';
  }
  if (count > readable) {
    err << "qx: the list holds " << count << " items; the accessors reach the first " << readable << " only\n";
    return kExitCallFailed;
  }
  if (result != 0) {
    err << "qx: BuildZIPITEMList stopped early (result " << result << ")\n";
    return kExitCallFailed;
  }
  return kExitOk;
}

}  // namespace vz::qx
