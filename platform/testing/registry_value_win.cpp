#include "platform/testing/registry_value_win.h"

#include <algorithm>
#include <utility>

namespace kestrun::testing {
namespace {

// Opens key under root with access, or nullptr; closes it when it goes.
class OpenKey {
 public:
  OpenKey(HKEY root, const std::string& key, REGSAM access, bool create) {
    const LONG result = create ? RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, access, nullptr, &key_, nullptr)
                               : RegOpenKeyExA(root, key.c_str(), 0, access, &key_);
    if (result != ERROR_SUCCESS) key_ = nullptr;
  }
  ~OpenKey() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  OpenKey(const OpenKey&) = delete;
  OpenKey& operator=(const OpenKey&) = delete;
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

// The names of the values of an open key.
std::vector<std::string> ValueNames(HKEY key) {
  std::vector<std::string> names;
  for (DWORD index = 0;; ++index) {
    char name[16384] = {};  // the longest value name the registry allows
    DWORD size = sizeof(name);
    if (RegEnumValueA(key, index, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.emplace_back(name, size);
  }
  return names;
}

}  // namespace

std::optional<RegistryValue> ReadRegistryValue(HKEY root, const std::string& key, const std::string& name) {
  OpenKey opened(root, key, KEY_QUERY_VALUE, false);
  if (opened.get() == nullptr) return std::nullopt;
  RegistryValue value;
  // The value may change size between the two reads; read again until it fits.
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD size = 0;
    if (RegQueryValueExA(opened.get(), name.c_str(), nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS) {
      return std::nullopt;
    }
    value.bytes.assign(size, '\0');
    const LONG read = RegQueryValueExA(opened.get(), name.c_str(), nullptr, &value.type,
                                       reinterpret_cast<BYTE*>(value.bytes.data()), &size);
    if (read == ERROR_SUCCESS) {
      value.bytes.resize(size);
      return value;
    }
    if (read != ERROR_MORE_DATA) return std::nullopt;
  }
  return std::nullopt;
}

bool WriteRegistryValue(HKEY root, const std::string& key, const std::string& name,
                        const std::optional<RegistryValue>& value) {
  if (!value) {
    OpenKey opened(root, key, KEY_SET_VALUE, false);
    if (opened.get() == nullptr) return true;  // no key, so no value either
    const LONG result = RegDeleteValueA(opened.get(), name.c_str());
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
  }
  OpenKey opened(root, key, KEY_SET_VALUE, true);
  return opened.get() != nullptr &&
         RegSetValueExA(opened.get(), name.c_str(), 0, value->type, reinterpret_cast<const BYTE*>(value->bytes.data()),
                        static_cast<DWORD>(value->bytes.size())) == ERROR_SUCCESS;
}

std::optional<DWORD> ReadRegistryDword(HKEY root, const std::string& key, const std::string& name) {
  const auto value = ReadRegistryValue(root, key, name);
  if (!value || value->type != REG_DWORD || value->bytes.size() != sizeof(DWORD)) return std::nullopt;
  DWORD number = 0;
  value->bytes.copy(reinterpret_cast<char*>(&number), sizeof(number));
  return number;
}

bool WriteRegistryDword(HKEY root, const std::string& key, const std::string& name, std::optional<DWORD> value) {
  if (!value) return WriteRegistryValue(root, key, name, std::nullopt);
  const std::string bytes(reinterpret_cast<const char*>(&*value), sizeof(DWORD));
  return WriteRegistryValue(root, key, name, RegistryValue{REG_DWORD, bytes});
}

std::optional<std::string> ReadRegistryText(HKEY root, const std::string& key, const std::string& name) {
  auto value = ReadRegistryValue(root, key, name);
  if (!value || value->type != REG_SZ) return std::nullopt;
  // Stored texts may or may not carry their zero; what follows one is not text.
  const auto end = value->bytes.find('\0');
  if (end != std::string::npos) value->bytes.resize(end);
  return std::move(value->bytes);
}

bool WriteRegistryText(HKEY root, const std::string& key, const std::string& name, const std::string& text) {
  return WriteRegistryValue(root, key, name, RegistryValue{REG_SZ, text + '\0'});
}

ScopedRegistryValue::ScopedRegistryValue(HKEY root, std::string key, std::string name)
    : root_(root), key_(std::move(key)), name_(std::move(name)), saved_(ReadRegistryValue(root_, key_, name_)) {}

ScopedRegistryValue::~ScopedRegistryValue() { WriteRegistryValue(root_, key_, name_, saved_); }

ScopedRegistryKey::ScopedRegistryKey(HKEY root, std::string key) : root_(root), key_(std::move(key)) {
  OpenKey opened(root_, key_, KEY_QUERY_VALUE, false);
  if (opened.get() == nullptr) return;
  for (const std::string& name : ValueNames(opened.get())) {
    if (auto value = ReadRegistryValue(root_, key_, name)) saved_.emplace_back(name, std::move(*value));
  }
}

ScopedRegistryKey::~ScopedRegistryKey() {
  {
    OpenKey opened(root_, key_, KEY_QUERY_VALUE | KEY_SET_VALUE, false);
    if (opened.get() != nullptr) {
      for (const std::string& name : ValueNames(opened.get())) {
        const bool wasSaved = std::any_of(saved_.begin(), saved_.end(), [&](const auto& v) { return v.first == name; });
        if (!wasSaved) RegDeleteValueA(opened.get(), name.c_str());
      }
    }
  }
  for (const auto& [name, value] : saved_) WriteRegistryValue(root_, key_, name, value);
}

}  // namespace kestrun::testing
