// Registry values as tests read, set and put back: a value of any type read raw
// (absent as nullopt), numbers and texts; ScopedRegistryValue, which saves a value
// when made and puts it back as it was (or removes it again) when destroyed, and
// ScopedRegistryKey, the same for every value of a key, so a test that changes the
// player's stored settings leaves them as it found them.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kestrun::testing {

// A value as stored: its type and its bytes.
struct RegistryValue {
  DWORD type = REG_NONE;
  std::string bytes;
  bool operator==(const RegistryValue& other) const { return type == other.type && bytes == other.bytes; }
};

// The value name of key under root; nullopt when the key or the value is missing.
// An empty name is the key's default value.
std::optional<RegistryValue> ReadRegistryValue(HKEY root, const std::string& key, const std::string& name);
// Stores value under name, making key when missing; nullopt removes the value.
bool WriteRegistryValue(HKEY root, const std::string& key, const std::string& name,
                        const std::optional<RegistryValue>& value);

// A REG_DWORD value; nullopt when missing or of another type.
std::optional<DWORD> ReadRegistryDword(HKEY root, const std::string& key, const std::string& name);
// Stores a REG_DWORD value; nullopt removes the value.
bool WriteRegistryDword(HKEY root, const std::string& key, const std::string& name, std::optional<DWORD> value);

// A REG_SZ value without its terminating zero; nullopt when missing or of another type.
std::optional<std::string> ReadRegistryText(HKEY root, const std::string& key, const std::string& name);
// Stores a REG_SZ value with its terminating zero.
bool WriteRegistryText(HKEY root, const std::string& key, const std::string& name, const std::string& text);

class ScopedRegistryValue {
 public:
  ScopedRegistryValue(HKEY root, std::string key, std::string name);
  ~ScopedRegistryValue();
  ScopedRegistryValue(const ScopedRegistryValue&) = delete;
  ScopedRegistryValue& operator=(const ScopedRegistryValue&) = delete;

  // The value as it was when saved.
  const std::optional<RegistryValue>& saved() const { return saved_; }

 private:
  HKEY root_;
  std::string key_;
  std::string name_;
  std::optional<RegistryValue> saved_;
};

// Saves every value of a key when made; when destroyed, removes the values added since
// and gives the others their saved type and data back.
class ScopedRegistryKey {
 public:
  ScopedRegistryKey(HKEY root, std::string key);
  ~ScopedRegistryKey();
  ScopedRegistryKey(const ScopedRegistryKey&) = delete;
  ScopedRegistryKey& operator=(const ScopedRegistryKey&) = delete;

 private:
  HKEY root_;
  std::string key_;
  std::vector<std::pair<std::string, RegistryValue>> saved_;
};

}  // namespace kestrun::testing
