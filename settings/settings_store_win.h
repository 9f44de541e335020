// The registry-backed settings store: HKEY_CURRENT_USER\Software\QuenfoldSoft\<path>.
// Keys are always opened with create semantics, so even reading the settings of a
// fresh user creates the empty keys. No failure here is ever shown to the user:
// a key that cannot be opened makes writes fail and reads fall back to defaults.
#pragma once

#include <windows.h>

#include <string>

namespace kestrun::settings {

inline constexpr char kSettingsRoot[] = "Software\\QuenfoldSoft\\";
inline constexpr char kProductKey[] = "Tovrin";
inline constexpr char kPlayerSubkey[] = "Player";
inline constexpr char kRegistrySubkey[] = "Registry";

// Opens (creating) Software\QuenfoldSoft\<relativePath> and makes it the current
// settings key, closing the previous one. Returns the key, or nullptr on failure.
HKEY OpenSettingsKey(const char* relativePath);
// Closes the current settings key.
void CloseSettingsKey();

// Store a value in <subkey> below the current settings key (created if missing).
// False when there is no current key or the subkey cannot be opened or written.
bool WriteSettingDword(const char* subkey, const char* valueName, DWORD value);
bool WriteSettingString(const char* subkey, const char* valueName, const char* text);

// Opens "Tovrin\<subkey>" as the current key and reads a REG_SZ value into buffer
// (capacity bytes, always terminated). A missing value, a value of another type, or a
// text that does not fit the buffer gives the default text. Closes the key.
void ReadSettingString(const char* subkey, const char* valueName, char* buffer, DWORD capacity,
                       const char* defaultText);

// Reads a 4-byte REG_DWORD from an open key. False (and value untouched) when the
// value is missing or is stored with another type or size.
bool ReadSettingNumber(HKEY key, const char* valueName, int& value);

}  // namespace kestrun::settings
