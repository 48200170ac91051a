// In-process servers: registration in our registry and object creation by
// CLSID or ProgID.
//
// Registration is driven by one list per item: classEntries() and
// typeLibEntries() spell out every key and value that registration writes
// (the layout documented in server.h). Registering writes the list;
// unregistering deletes exactly the values of the same list and then
// removes the keys of the list (and their parents) that are left empty, so
// anything another component stored beside our entries survives. A ProgID
// that meanwhile names another class belongs to that class, and is left
// alone when ours is unregistered.
//
// Libraries are loaded once and stay loaded for the rest of the process
// (an object or a factory handed out may live in them at any time); the
// loaded libraries are kept in a table that is deliberately never
// destroyed, so no library is closed during process exit.
#include "platform/com/server.h"

#include <dlfcn.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "platform/dynlib.h"
#include "platform/registry.h"

namespace vz::com {

namespace {

constexpr RegRoot kRoot = RegRoot::ClassesRoot;

// The proxy class registered for every dispatch interface (the standard
// marshaller of dispinterfaces); only written for completeness, nothing in
// our object model crosses a process boundary.
constexpr const char* kDispatchProxyClsid = "{00020420-0000-0000-C000-000000000046}";

// One item registration writes: a value (keyOnly false) or an empty key.
struct RegEntry {
  std::string key;
  std::string name;  // value name; "" is the key's default value
  std::string value;
  bool keyOnly = false;
};

std::string text(const char* s) { return s ? s : ""; }

std::string versionText(const TypeLibDesc& lib) { return std::to_string(lib.major) + "." + std::to_string(lib.minor); }

// A ProgID is one key name: not empty and without the separator.
bool validProgId(std::string_view progId) { return !progId.empty() && progId.find('\\') == std::string_view::npos; }

std::vector<RegEntry> classEntries(const CoClassDesc& cls, const TypeLibDesc* lib, const std::string& path,
                                   bool withProgId) {
  const std::string clsid = toString(cls.clsid);
  const std::string base = "CLSID\\" + clsid;
  std::vector<RegEntry> e;
  e.push_back({base, "", text(cls.typeName)});
  e.push_back({base + "\\InprocServer32", "", path});
  e.push_back({base + "\\InprocServer32", "ThreadingModel", "Apartment"});
  if (cls.progId) e.push_back({base + "\\ProgID", "", cls.progId});
  if (lib) {
    e.push_back({base + "\\TypeLib", "", toString(lib->guid)});
    e.push_back({base + "\\Version", "", versionText(*lib)});
  }
  if (cls.miscStatus != 0) e.push_back({base + "\\MiscStatus", "", std::to_string(cls.miscStatus)});
  if (cls.insertable) {
    e.push_back({base + "\\Insertable", "", "", true});
    e.push_back({base + "\\Control", "", "", true});
  }
  if (cls.progId && withProgId) {
    const std::string prog = cls.progId;
    e.push_back({prog, "", text(cls.typeName)});
    e.push_back({prog + "\\CLSID", "", clsid});
    if (cls.insertable) e.push_back({prog + "\\Insertable", "", "", true});
  }
  return e;
}

std::vector<RegEntry> typeLibEntries(const TypeLibDesc& lib, const std::string& path) {
  const std::string libGuid = toString(lib.guid);
  const std::string base = "TypeLib\\" + libGuid + "\\" + versionText(lib);
  std::vector<RegEntry> e;
  e.push_back({base, "", text(lib.name)});
  e.push_back({base + "\\0\\linux", "", path});
  e.push_back({base + "\\FLAGS", "", "2"});
  for (const InterfaceDesc* iface : lib.interfaces) {
    if (!iface) continue;
    const std::string key = "Interface\\" + toString(iface->iid);
    e.push_back({key, "", text(iface->name)});
    e.push_back({key + "\\ProxyStubClsid32", "", kDispatchProxyClsid});
    e.push_back({key + "\\TypeLib", "", libGuid});
  }
  return e;
}

bool writeEntries(const std::vector<RegEntry>& entries) {
  for (const RegEntry& e : entries) {
    bool ok = e.keyOnly ? reg::createKey(kRoot, e.key) : reg::setString(kRoot, e.key, e.name, e.value);
    if (!ok) return false;
  }
  return true;
}

size_t depth(const std::string& key) { return static_cast<size_t>(std::count(key.begin(), key.end(), '\\')); }

std::string parentOf(const std::string& key) {
  size_t p = key.rfind('\\');
  return p == std::string::npos ? std::string() : key.substr(0, p);
}

// Deletes the values of the list, then every key of the list (and each of
// its parents) that is left without values and subkeys. False when a value
// or an emptied key could not be removed.
bool removeEntries(const std::vector<RegEntry>& entries) {
  bool ok = true;
  for (const RegEntry& e : entries) {
    if (e.keyOnly) continue;
    if (!reg::deleteValue(kRoot, e.key, e.name) && reg::getValue(kRoot, e.key, e.name)) ok = false;
  }
  std::vector<std::string> keys;
  for (const RegEntry& e : entries) keys.push_back(e.key);
  // Deepest first, so children go before their parents.
  std::stable_sort(keys.begin(), keys.end(),
                   [](const std::string& a, const std::string& b) { return depth(a) > depth(b); });
  for (std::string key : keys) {
    while (!key.empty() && reg::keyExists(kRoot, key) && reg::subkeys(kRoot, key).empty() &&
           reg::valueNames(kRoot, key).empty()) {
      if (!reg::deleteKey(kRoot, key)) {
        ok = false;
        break;
      }
      key = parentOf(key);
    }
  }
  return ok;
}

// A path that names an existing file is made absolute, so that a library
// in the current folder is found (the dynamic loader searches only its own
// folders for a bare name) and registration records a usable path.
std::string resolvedPath(const std::string& path) {
  std::error_code ec;
  if (!path.empty() && std::filesystem::exists(path, ec)) {
    auto abs = std::filesystem::absolute(path, ec);
    if (!ec) return abs.lexically_normal().string();
  }
  return path;
}

// The process-wide table of loaded libraries, by resolved path. Never
// destroyed (see the file comment).
struct LoadedLibraries {
  std::mutex mutex;                                     // guards libs
  std::map<std::string, std::unique_ptr<DynLib>> libs;  // open libraries
};

LoadedLibraries& loaded() {
  static LoadedLibraries* table = new LoadedLibraries;
  return *table;
}

// Loads (or finds) the library and looks up one entry point. Returns
// CO_E_DLLNOTFOUND when the library cannot be loaded, CO_E_ERRORINDLL when
// the entry point is missing; *error describes either.
HRESULT findEntry(const std::string& path, const char* entry, void** fn, std::string* error) {
  *fn = nullptr;
  const std::string key = resolvedPath(path);
  LoadedLibraries& table = loaded();
  std::lock_guard<std::mutex> lock(table.mutex);
  try {
    auto it = table.libs.find(key);
    if (it == table.libs.end()) {
      auto lib = std::make_unique<DynLib>();
      if (key.empty() || !lib->open(key)) {
        if (error) *error = key.empty() ? std::string("no library named") : lib->error();
        return CO_E_DLLNOTFOUND;
      }
      it = table.libs.emplace(key, std::move(lib)).first;
    }
    *fn = it->second->symbol(entry);
    if (!*fn) {
      if (error) *error = std::string("the entry point ") + entry + " was not found in " + key;
      return CO_E_ERRORINDLL;
    }
  } catch (const std::bad_alloc&) {
    if (error) *error = "out of memory";  // short enough not to allocate
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

}  // namespace

bool registerTypeLib(const TypeLibDesc& lib, const std::string& libraryPath) {
  try {
    auto entries = typeLibEntries(lib, libraryPath);
    if (writeEntries(entries)) return true;
    removeEntries(entries);  // leave no half registration behind
  } catch (const std::bad_alloc&) {
  }
  return false;
}

bool unregisterTypeLib(const TypeLibDesc& lib) {
  try {
    return removeEntries(typeLibEntries(lib, {}));
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool registerClass(const CoClassDesc& cls, const TypeLibDesc& lib, const std::string& libraryPath) {
  if (cls.progId && !validProgId(cls.progId)) return false;
  try {
    auto entries = classEntries(cls, &lib, libraryPath, true);
    if (writeEntries(entries)) return true;
    removeEntries(entries);
  } catch (const std::bad_alloc&) {
  }
  return false;
}

bool unregisterClass(const CoClassDesc& cls) {
  if (cls.progId && !validProgId(cls.progId)) return false;
  try {
    // The ProgID's keys are ours only while the ProgID still names us.
    bool ownsProgId = true;
    if (cls.progId) {
      auto named = reg::getString(kRoot, std::string(cls.progId) + "\\CLSID", "");
      if (named) {
        auto g = parseGuid(*named);
        ownsProgId = g && *g == cls.clsid;
      }
    }
    // The type library's values are removed whatever library they name:
    // pass a stand-in so the TypeLib and Version entries are in the list.
    static const TypeLibDesc kAnyLib{};
    return removeEntries(classEntries(cls, &kAnyLib, {}, ownsProgId));
  } catch (const std::bad_alloc&) {
    return false;
  }
}

std::string libraryPathOf(const void* addressInLibrary) {
  Dl_info info{};
  if (!addressInLibrary || dladdr(addressInLibrary, &info) == 0 || !info.dli_fname) return {};
  char real[PATH_MAX];
  if (realpath(info.dli_fname, real)) return real;
  return info.dli_fname;
}

HRESULT clsidFromProgId(std::string_view progId, Guid* clsid) {
  if (!clsid) return E_POINTER;
  if (!validProgId(progId)) return CO_E_CLASSSTRING;
  auto value = reg::getString(kRoot, std::string(progId) + "\\CLSID", "");
  if (!value) return CO_E_CLASSSTRING;
  auto g = parseGuid(*value);
  if (!g) return CO_E_CLASSSTRING;
  *clsid = *g;
  return S_OK;
}

std::string serverPathOf(const Guid& clsid) {
  auto value = reg::getString(kRoot, "CLSID\\" + toString(clsid) + "\\InprocServer32", "");
  return value ? *value : std::string();
}

HRESULT createInstance(const Guid& clsid, const Guid& iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  std::string path = serverPathOf(clsid);
  if (path.empty()) return REGDB_E_CLASSNOTREG;
  return createInstanceFromLibrary(path, clsid, iid, out);
}

HRESULT createInstanceByProgId(std::string_view progId, const Guid& iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  Guid clsid;
  HRESULT h = clsidFromProgId(progId, &clsid);
  if (failed(h)) return h;
  return createInstance(clsid, iid, out);
}

HRESULT createInstanceFromLibrary(const std::string& libraryPath, const Guid& clsid, const Guid& iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  void* fn = nullptr;
  HRESULT h = findEntry(libraryPath, "DllGetClassObject", &fn, nullptr);
  if (failed(h)) return h;
  auto getClassObject = reinterpret_cast<DllGetClassObjectFn>(fn);
  IClassFactory* factory = nullptr;
  h = getClassObject(&clsid, &IID_IClassFactory, reinterpret_cast<void**>(&factory));
  if (failed(h)) return h;
  if (!factory) return E_UNEXPECTED;
  h = factory->CreateInstance(nullptr, iid, out);
  factory->Release();
  if (failed(h)) *out = nullptr;
  return h;
}

HRESULT callRegistrationEntry(const std::string& libraryPath, bool unregister, std::string* loadError) {
  if (loadError) loadError->clear();
  void* fn = nullptr;
  HRESULT h = findEntry(libraryPath, unregister ? "DllUnregisterServer" : "DllRegisterServer", &fn, loadError);
  if (failed(h)) return h;
  if (unregister) return reinterpret_cast<DllUnregisterServerFn>(fn)();
  return reinterpret_cast<DllRegisterServerFn>(fn)();
}

}  // namespace vz::com
