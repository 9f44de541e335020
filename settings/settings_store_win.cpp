#include "settings/settings_store_win.h"

#include <cstdio>
#include <cstring>

#include "platform/limits.h"
#include "platform/win32_handles_win.h"

namespace kestrun::settings {
namespace {

// The one current settings key of the process (user-interface thread only).
platform::RegistryKey g_currentKey;

HKEY CreateKey(HKEY parent, const char* path) {
  HKEY key = nullptr;
  DWORD disposition = 0;
  char emptyClass[] = "";
  if (RegCreateKeyExA(parent, path, 0, emptyClass, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                      &disposition) != ERROR_SUCCESS) {
    return nullptr;
  }
  return key;
}

}  // namespace

HKEY OpenSettingsKey(const char* relativePath) {
  CloseSettingsKey();
  std::string path = kSettingsRoot;
  path += relativePath;
  g_currentKey.reset(CreateKey(HKEY_CURRENT_USER, path.c_str()));
  return g_currentKey.get();
}

void CloseSettingsKey() { g_currentKey.reset(); }

bool WriteSettingDword(const char* subkey, const char* valueName, DWORD value) {
  if (!g_currentKey) return false;
  platform::RegistryKey key(CreateKey(g_currentKey.get(), subkey));
  if (!key) return false;
  return RegSetValueExA(key.get(), valueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value)) ==
         ERROR_SUCCESS;
}

bool WriteSettingString(const char* subkey, const char* valueName, const char* text) {
  if (!g_currentKey) return false;
  platform::RegistryKey key(CreateKey(g_currentKey.get(), subkey));
  if (!key) return false;
  // REG_SZ data includes its terminating NUL.
  const DWORD size = static_cast<DWORD>(std::strlen(text) + 1);
  return RegSetValueExA(key.get(), valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), size) == ERROR_SUCCESS;
}

void ReadSettingString(const char* subkey, const char* valueName, char* buffer, DWORD capacity,
                       const char* defaultText) {
  if (buffer == nullptr || capacity == 0) return;
  auto useDefault = [&] { std::snprintf(buffer, capacity, "%s", defaultText != nullptr ? defaultText : ""); };
  char path[platform::kPathCapacity];
  std::snprintf(path, sizeof(path), "%s\\%s", kProductKey, subkey);
  HKEY key = OpenSettingsKey(path);
  if (key == nullptr) {
    useDefault();
    return;
  }
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExA(key, valueName, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ ||
      size > capacity) {
    // Missing, of another type, or longer than the buffer: the default stands.
    useDefault();
    CloseSettingsKey();
    return;
  }
  size = capacity;
  if (RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS) {
    useDefault();
  } else {
    // Stored data need not be terminated; never read past the buffer.
    buffer[size < capacity ? size : capacity - 1] = '\0';
  }
  CloseSettingsKey();
}

bool ReadSettingNumber(HKEY key, const char* valueName, int& value) {
  if (key == nullptr) return false;
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExA(key, valueName, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
  if (type != REG_DWORD || size != sizeof(DWORD)) return false;
  DWORD data = 0;
  size = sizeof(data);
  if (RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) != ERROR_SUCCESS) {
    return false;
  }
  value = static_cast<int>(data);
  return true;
}

}  // namespace kestrun::settings
