// Splitting of ANSI paths in a double-byte code page (Shift-JIS on Japanese
// systems): a lead byte starts a two-byte character, and its trail byte is never
// taken for "\", "/", ":" or ".". On Windows the system's code page decides what a
// lead byte is; natively the code page 932 rule is used.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kestrun::platform {

bool IsLeadByte(unsigned char byte);
// The code page 932 rule (0x81-0x9F, 0xE0-0xFC), independent of the system.
bool IsCp932LeadByte(unsigned char byte);

// Offset of the file-name part: just past the last "\", "/" or ":" that is not a
// trail byte; 0 when there is none.
std::size_t FileNameOffset(std::string_view path);
// Offset of the extension (the last "." of the file-name part), or path.size()
// when the file name has none.
std::size_t ExtensionOffset(std::string_view path);
// The directory part without its trailing separator ("" when there is none).
std::string DirectoryOf(std::string_view path);
// folder + name with one backslash between them. None is added when the folder
// already ends in a separator (a drive root such as "C:\" does); a share's top
// folder "\\server\share" ends in none and gets one like any other folder. A
// trail byte equal to the backslash's code does not count as a separator.
std::string JoinFolderName(std::string_view folder, std::string_view name);
// The same for wide paths, as folders are listed.
std::wstring JoinFolderName(std::wstring_view folder, std::wstring_view name);
// Removes enclosing double quotes only when the whole text is quoted.
std::string UnquoteWhole(std::string_view text);
// The path in a pasted or dropped text: its first line that holds more than
// blanks, without the line end, the blanks around it and enclosing double quotes.
// Explorer's "Copy as path" quotes each path and puts one per line; the player
// opens one path, so the first is taken. The bytes looked for (CR, LF, space, tab
// and the quote) are never trail bytes of a double-byte character.
std::string_view PathInText(std::string_view text);
std::wstring_view PathInText(std::wstring_view text);
// True for "scheme://..." texts, as the player treats URLs.
bool LooksLikeUrl(std::string_view text);
// Case-insensitive ASCII comparison (extensions are compared this way).
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

}  // namespace kestrun::platform
