// The registry: a hierarchical store of keys with named values, with the
// roots HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE and HKEY_CLASSES_ROOT. Each root
// is kept as one text file in windowsFolder()/registry/ (HKCU.reg, HKLM.reg,
// HKCR.reg). Every process sees the same store: each operation re-reads the
// file, and every change is written atomically under an exclusive file lock,
// so concurrent writers never lose each other's changes. Key names (path
// components separated by "\") and value names compare ignoring case; the
// empty value name is the key's default value.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vz {

enum class RegRoot { CurrentUser, LocalMachine, ClassesRoot };

struct RegValue {
  enum class Type { String, Integer, Binary };
  Type type = Type::String;
  std::string text;            // String
  uint32_t number = 0;         // Integer (REG_DWORD)
  std::vector<uint8_t> bytes;  // Binary
};

namespace reg {

// Creates the key and its missing parents.
bool createKey(RegRoot root, std::string_view key);
bool keyExists(RegRoot root, std::string_view key);
// Removes the key with all its subkeys and values; false when it is missing.
bool deleteKey(RegRoot root, std::string_view key);

// Writing a value creates the key when it is missing.
bool setString(RegRoot root, std::string_view key, std::string_view name, std::string_view value);
bool setInteger(RegRoot root, std::string_view key, std::string_view name, uint32_t value);
bool setBinary(RegRoot root, std::string_view key, std::string_view name, const std::vector<uint8_t>& value);
bool deleteValue(RegRoot root, std::string_view key, std::string_view name);

std::optional<RegValue> getValue(RegRoot root, std::string_view key, std::string_view name);
// The value as text: a String as is, an Integer in decimal; nullopt otherwise.
std::optional<std::string> getString(RegRoot root, std::string_view key, std::string_view name);
std::optional<uint32_t> getInteger(RegRoot root, std::string_view key, std::string_view name);

// Names of the direct subkeys and of the values, in the case they were
// created with, sorted ignoring case.
std::vector<std::string> subkeys(RegRoot root, std::string_view key);
std::vector<std::string> valueNames(RegRoot root, std::string_view key);

// Path of the file that holds one root (for diagnostics and tests).
std::string storeFile(RegRoot root);

}  // namespace reg
}  // namespace vz
