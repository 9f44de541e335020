#include "tags/editor/tag_editor_dialog_win.h"

#include <commdlg.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "platform/limits.h"
#include "platform/modal_guard_win.h"
#include "platform/shared_texts.h"
#include "platform/shell_path_win.h"
#include "resources/resource_ids.h"
#include "tags/editor/tag_format.h"
#include "tags/id3/genre_names.h"
#include "tags/id3/id3v1.h"
#include "tags/id3/id3v2.h"
#include "tags/wm/wm_fields.h"

namespace kestrun::tags {

const char kReadFailedText[] = "読込失敗";

namespace {

constexpr char kReadSucceeded[] = "読込成功";
constexpr char kWriteSucceeded[] = "書込成功";
constexpr char kWriteFailed[] = "書込失敗";
// An ID3v2.4 tag is written only while "UnicodeTags" reads it; otherwise the file
// is left as it is.
constexpr char kVersion24NotWritten[] = "ID3v2.4のタグには書き込めません";
constexpr char kDefaultGenre[] = "Blues";
constexpr char kOpenTitle[] = "Open MP3/WMT File...";
constexpr char kOpenFilter[] =
    "Media Files\0*.mp3;*.wma;*.asf;*.wmv\0"
    "MP3 Files (*.mp3)\0*.mp3\0"
    "WMT Files (*.wma; *.asf; *.wmv)\0*.wma;*.asf; *.wmv\0";
constexpr char kIconName[] = "MY_ICON";

// The Windows Media year and track are read back with at most 7 bytes; every
// other field whole, so an untouched long text is never written back cut.
constexpr int kWmShortBuffer = 8;
// The controls of the seven fields, in TagFields order.
constexpr int kFieldControls[] = {IDC_TAG_TITLE,   IDC_TAG_ARTIST, IDC_TAG_ALBUM, IDC_TAG_YEAR,
                                  IDC_TAG_COMMENT, IDC_TAG_TRACK,  IDC_TAG_GENRE};

bool IsMp3(std::string_view path) { return TagFormatOf(path) == TagFormat::Id3; }
bool IsWm(std::string_view path) { return TagFormatOf(path) == TagFormat::WindowsMedia; }

// The control's whole text, or at most capacity - 1 bytes of it.
std::string ItemText(HWND dialog, int id, int capacity = 0) {
  if (capacity <= 0) capacity = GetWindowTextLengthA(GetDlgItem(dialog, id)) + 1;
  std::string text(static_cast<std::size_t>(capacity), '\0');
  const UINT length = GetDlgItemTextA(dialog, id, text.data(), capacity);
  text.resize(length);
  return text;
}

void SetText(HWND dialog, int id, const std::string& text) { SetDlgItemTextA(dialog, id, text.c_str()); }

void Enable(HWND dialog, int id, bool enabled) { EnableWindow(GetDlgItem(dialog, id), enabled ? TRUE : FALSE); }

void SelectSource(HWND dialog, TagSource source) {
  CheckRadioButton(dialog, IDC_TAG_SOURCE_ID3V1, IDC_TAG_SOURCE_ID3V2,
                   source == TagSource::Id3v1 ? IDC_TAG_SOURCE_ID3V1 : IDC_TAG_SOURCE_ID3V2);
}

void SelectGenreByName(HWND dialog, const char* name) {
  HWND genre = GetDlgItem(dialog, IDC_TAG_GENRE);
  const LRESULT index =
      SendMessageA(genre, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(name));
  SendMessageA(genre, CB_SETCURSEL, index == CB_ERR ? 0 : static_cast<WPARAM>(index), 0);
}

// The six text fields from TagFields (title, artist, album, year, comment, track).
void ShowTexts(HWND dialog, const TagFields& fields) {
  SetText(dialog, IDC_TAG_TITLE, fields.title);
  SetText(dialog, IDC_TAG_ARTIST, fields.artist);
  SetText(dialog, IDC_TAG_ALBUM, fields.album);
  SetText(dialog, IDC_TAG_YEAR, fields.year);
  SetText(dialog, IDC_TAG_COMMENT, fields.comment);
  SetText(dialog, IDC_TAG_TRACK, fields.track);
}

// A file without the tag: empty fields, "Blues", "読込失敗".
void ShowNoTag(HWND dialog) {
  ShowTexts(dialog, TagFields{});
  SetText(dialog, IDC_TAG_GENRE_NUMBER, "");
  SetText(dialog, IDC_TAG_STATUS, kReadFailedText);
  SelectGenreByName(dialog, kDefaultGenre);
}

// Fields from the shared ID3v1 record just read.
void ShowId3v1Record(HWND dialog) {
  const TagFields fields = DecodeId3v1Record(Id3v1Record);
  ShowTexts(dialog, fields);
  SelectGenreByName(dialog, fields.genre.c_str());
  SetText(dialog, IDC_TAG_GENRE_NUMBER, Id3v1GenreNumberText(Id3v1Record));
}

void ShowId3v2Fields(HWND dialog, const TagFields& fields) {
  ShowTexts(dialog, fields);
  // The genre as read, whether or not the list has it.
  SetText(dialog, IDC_TAG_GENRE, fields.genre);
}

std::optional<std::string> ChooseWithSystemDialog(HWND owner) {
  const platform::ModalTurn turn;
  if (!turn) return std::nullopt;
  // Asked for wide, as every path from the shell is: never a cut path or one with "?"
  // for a character the code page lacks.
  std::array<wchar_t, platform::kPathCapacity> path{};
  const std::wstring filter = platform::WideFromAnsi(std::string_view(kOpenFilter, sizeof(kOpenFilter)));
  const std::wstring title = platform::WideFromAnsi(kOpenTitle);
  OPENFILENAMEW open{};
  open.lStructSize = sizeof open;
  open.hwndOwner = owner;
  open.lpstrFilter = filter.c_str();
  open.nFilterIndex = 1;
  open.lpstrFile = path.data();
  open.nMaxFile = static_cast<DWORD>(path.size());
  open.lpstrTitle = title.c_str();
  open.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
  if (!GetOpenFileNameW(&open)) return std::nullopt;
  std::string chosen = platform::ChosenAnsiPath(owner, path.data(), platform::kErrorCaption);
  if (chosen.empty()) return std::nullopt;
  return chosen;
}

// The genre byte an ID3v1 write stores: the visible list's selected entry, found
// in the hidden list whose index is the slot. Typed text does not count. With no
// entry selected, the genre of the last ID3v1 read is kept, else "Blues".
unsigned char SelectedGenreSlot(HWND dialog) {
  HWND genre = GetDlgItem(dialog, IDC_TAG_GENRE);
  const LRESULT selected = SendMessageA(genre, CB_GETCURSEL, 0, 0);
  if (selected != CB_ERR) {
    const LRESULT length = SendMessageA(genre, CB_GETLBTEXTLEN, static_cast<WPARAM>(selected), 0);
    if (length != CB_ERR) {
      std::string name(static_cast<std::size_t>(length) + 1, '\0');
      SendMessageA(genre, CB_GETLBTEXT, static_cast<WPARAM>(selected), reinterpret_cast<LPARAM>(name.data()));
      name.resize(static_cast<std::size_t>(length));
      const LRESULT slot = SendDlgItemMessageA(dialog, IDC_TAG_GENRE_SLOTS, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                               reinterpret_cast<LPARAM>(name.c_str()));
      if (slot != CB_ERR && slot < kGenreSlots) return static_cast<unsigned char>(slot);
    }
  }
  const std::string kept = ItemText(dialog, IDC_TAG_GENRE_NUMBER);
  if (!kept.empty()) {
    const int number = std::atoi(kept.c_str());
    if (number >= 0 && number < kGenreSlots) return static_cast<unsigned char>(number);
  }
  return 0;
}

void CopyField(char* target, std::size_t capacity, const std::string& text) {
  const std::size_t length = std::min(text.size(), capacity - 1);
  std::memcpy(target, text.data(), length);
  target[length] = '\0';
}

}  // namespace

bool TagEditorDialog::OnMessage(UINT message, WPARAM wParam, LPARAM, INT_PTR& result) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog();
      result = TRUE;  // focus is left to the system
      return true;
    case WM_COMMAND:
      if (HIWORD(wParam) != BN_CLICKED) return false;
      OnCommand(LOWORD(wParam));
      result = TRUE;
      return true;
    default:
      return false;
  }
}

void TagEditorDialog::OnInitDialog() {
  HWND dialog = window();
  HICON icon = LoadIconA(instance_ != nullptr ? instance_ : GetModuleHandleA(nullptr), kIconName);
  if (icon != nullptr) {
    SendMessageA(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessageA(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
  }
  HWND visible = GetDlgItem(dialog, IDC_TAG_GENRE);
  HWND slots = GetDlgItem(dialog, IDC_TAG_GENRE_SLOTS);
  for (int slot = 0; slot < kGenreSlots; ++slot) {
    const char* name = GenreNames[slot];
    if (name[0] != '\0') SendMessageA(visible, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    // Empty names too, so that an item's index is its slot.
    SendMessageA(slots, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
  }
  SendMessageA(visible, CB_SETCURSEL, 0, 0);
}

void TagEditorDialog::OnCommand(int id) {
  HWND dialog = window();
  const std::string path = ItemText(dialog, IDC_TAG_PATH, MAX_PATH);
  switch (id) {
    case IDC_TAG_WRITE:
      Write();
      break;
    case IDC_TAG_READ:
      ReadChosenFile();
      break;
    case IDC_TAG_CLOSE:
    case IDCANCEL:
      ShowWindow(dialog, SW_HIDE);
      break;
    case IDC_TAG_SOURCE_ID3V1:
      ShowTagSource(path, TagSource::Id3v1);
      Enable(dialog, IDC_TAG_FROM_ID3V1, false);
      break;
    case IDC_TAG_SOURCE_ID3V2:
      ShowTagSource(path, TagSource::Id3v2);
      Enable(dialog, IDC_TAG_FROM_ID3V1, true);
      break;
    case IDC_TAG_FROM_ID3V1:
      // The ID3v1 values in the fields, ready to be written as ID3v2.
      ShowTagSource(path, TagSource::Id3v1);
      Enable(dialog, IDC_TAG_FROM_ID3V1, true);
      SelectSource(dialog, TagSource::Id3v2);
      break;
    default:
      break;
  }
}

void TagEditorDialog::Open(const std::optional<std::string>& path) {
  HWND dialog = window();
  if (dialog == nullptr) return;
  if (path) {
    if (IsMp3(*path)) {
      ShowMp3Tags(*path);
    } else if (IsWm(*path)) {
      ShowWmTags(*path);
    } else if (TagFormatOf(*path) == TagFormat::Container) {
      ShowContainerTags(*path);
    }
  }
  ShowWindow(dialog, SW_SHOW);
  UpdateWindow(dialog);
}

void TagEditorDialog::ShowMp3Tags(const std::string& path) {
  HWND dialog = window();
  AllowWriting(true);
  Enable(dialog, IDC_TAG_SOURCE_ID3V1, true);
  Enable(dialog, IDC_TAG_SOURCE_ID3V2, true);
  SetText(dialog, IDC_TAG_PATH, path);
  id3v2Shown_.reset();
  TagFields fields;
  const AnsiFromUtf16 readWith = UnicodeConverter();
  if (ReadId3v2Fields(path, fields, readWith, std::string::npos)) {
    ShowId3v2Fields(dialog, fields);
    RememberId3v2Fields(readWith);
    SelectSource(dialog, TagSource::Id3v2);
    Enable(dialog, IDC_TAG_FROM_ID3V1, true);
    SetText(dialog, IDC_TAG_STATUS, kReadSucceeded);
    return;
  }
  Enable(dialog, IDC_TAG_FROM_ID3V1, false);
  if (ReadId3v1Tag(path)) {
    ShowId3v1Record(dialog);
    SelectSource(dialog, TagSource::Id3v1);
    SetText(dialog, IDC_TAG_STATUS, kReadSucceeded);
    return;
  }
  ShowNoTag(dialog);
  SelectSource(dialog, TagSource::Id3v1);
}

void TagEditorDialog::ShowTagSource(const std::string& path, TagSource source) {
  if (!IsMp3(path)) return;
  HWND dialog = window();
  id3v2Shown_.reset();
  if (source == TagSource::Id3v1) {
    if (ReadId3v1Tag(path)) {
      ShowId3v1Record(dialog);
      SetText(dialog, IDC_TAG_STATUS, kReadSucceeded);
    } else {
      ShowNoTag(dialog);
    }
  } else {
    TagFields fields;
    const AnsiFromUtf16 readWith = UnicodeConverter();
    if (ReadId3v2Fields(path, fields, readWith, std::string::npos)) {
      ShowId3v2Fields(dialog, fields);
      RememberId3v2Fields(readWith);
      SetText(dialog, IDC_TAG_STATUS, kReadSucceeded);
    } else {
      ShowNoTag(dialog);
    }
  }
  SelectSource(dialog, source);
}

void TagEditorDialog::ShowWmTags(const std::string& path) {
  HWND dialog = window();
  AllowWriting(true);
  SetText(dialog, IDC_TAG_PATH, path);
  id3v2Shown_.reset();
  SelectSource(dialog, TagSource::Id3v2);
  Enable(dialog, IDC_TAG_SOURCE_ID3V1, false);
  Enable(dialog, IDC_TAG_SOURCE_ID3V2, false);
  Enable(dialog, IDC_TAG_FROM_ID3V1, false);
  WmFields fields{};
  if (!ReadWmFields(path.c_str(), fields, UnicodeConverter())) {
    ShowNoTag(dialog);
    return;
  }
  TagFields shown{fields.title, fields.artist, fields.album, fields.year, fields.comment, fields.track, fields.genre};
  ShowId3v2Fields(dialog, shown);
  SetText(dialog, IDC_TAG_STATUS, kReadSucceeded);
}

void TagEditorDialog::SaveMp3Tags(const std::string& path) {
  HWND dialog = window();
  TagFields fields;
  fields.title = ItemText(dialog, IDC_TAG_TITLE);
  fields.artist = ItemText(dialog, IDC_TAG_ARTIST);
  fields.album = ItemText(dialog, IDC_TAG_ALBUM);
  fields.year = ItemText(dialog, IDC_TAG_YEAR);
  fields.comment = ItemText(dialog, IDC_TAG_COMMENT);
  fields.track = ItemText(dialog, IDC_TAG_TRACK);
  if (IsDlgButtonChecked(dialog, IDC_TAG_SOURCE_ID3V1) == BST_CHECKED) {
    // The record cuts every text to its width.
    EncodeId3v1Record(fields, Id3v1Record);
    Id3v1Record[kId3v1GenreOffset] = SelectedGenreSlot(dialog);
    if (WriteId3v1Tag(path)) {
      ShowTagSource(path, TagSource::Id3v1);
      SetText(dialog, IDC_TAG_STATUS, kWriteSucceeded);
    } else {
      SetText(dialog, IDC_TAG_STATUS, kWriteFailed);
    }
  } else if (IsDlgButtonChecked(dialog, IDC_TAG_SOURCE_ID3V2) == BST_CHECKED) {
    fields.genre = ItemText(dialog, IDC_TAG_GENRE);
    // Fields read from the ID3v2 tag count as changed only where the control's
    // text differs from what it showed, so bytes the code page cannot show
    // and long texts stay as they are; anything else shown is written whole.
    TagFieldSet changed = TagFieldSet::All();
    AnsiFromUtf16 toAnsi = UnicodeConverter();
    if (id3v2Shown_) {
      const std::array<std::string, 7>& shown = *id3v2Shown_;
      changed = {fields.title != shown[0], fields.artist != shown[1],  fields.album != shown[2],
                 fields.year != shown[3],  fields.comment != shown[4], fields.track != shown[5],
                 fields.genre != shown[6]};
      toAnsi = id3v2ReadWith_;
    }
    switch (WriteId3v2Changes(path, fields, changed, toAnsi, toAnsi != nullptr ? SystemUtf16FromAnsi : nullptr)) {
      case Id3v2WriteResult::Written:
        ShowTagSource(path, TagSource::Id3v2);
        SetText(dialog, IDC_TAG_STATUS, kWriteSucceeded);
        break;
      case Id3v2WriteResult::Version24Refused:
        SetText(dialog, IDC_TAG_STATUS, kVersion24NotWritten);
        break;
      case Id3v2WriteResult::CannotConvert: {
        char text[128] = {};
        LoadStringA(instance_ != nullptr ? instance_ : GetModuleHandleA(nullptr), IDS_TAG_V22_NOT_CONVERTED, text,
                    sizeof text);
        SetText(dialog, IDC_TAG_STATUS, text[0] != '\0' ? text : kWriteFailed);
        break;
      }
      case Id3v2WriteResult::Failed:
        SetText(dialog, IDC_TAG_STATUS, kWriteFailed);
        break;
    }
  }
}

void TagEditorDialog::RememberId3v2Fields(AnsiFromUtf16 readWith) {
  HWND dialog = window();
  std::array<std::string, 7> shown;
  for (std::size_t i = 0; i < shown.size(); ++i) shown[i] = ItemText(dialog, kFieldControls[i]);
  id3v2Shown_ = std::move(shown);
  id3v2ReadWith_ = readWith;
}

void TagEditorDialog::SaveWmTags(const std::string& path) {
  HWND dialog = window();
  WmFields fields{};
  CopyField(fields.title, sizeof fields.title, ItemText(dialog, IDC_TAG_TITLE));
  CopyField(fields.artist, sizeof fields.artist, ItemText(dialog, IDC_TAG_ARTIST));
  CopyField(fields.album, sizeof fields.album, ItemText(dialog, IDC_TAG_ALBUM));
  CopyField(fields.comment, sizeof fields.comment, ItemText(dialog, IDC_TAG_COMMENT));
  CopyField(fields.genre, sizeof fields.genre, ItemText(dialog, IDC_TAG_GENRE));
  CopyField(fields.year, sizeof fields.year, ItemText(dialog, IDC_TAG_YEAR, kWmShortBuffer));
  CopyField(fields.track, sizeof fields.track, ItemText(dialog, IDC_TAG_TRACK, kWmShortBuffer));
  if (WriteWmFields(path.c_str(), fields)) {
    ShowWmTags(path);
    SetText(dialog, IDC_TAG_STATUS, kWriteSucceeded);
  } else {
    SetText(dialog, IDC_TAG_STATUS, kWriteFailed);
  }
}

void TagEditorDialog::Write() {
  HWND dialog = window();
  const std::string path = ItemText(dialog, IDC_TAG_PATH, MAX_PATH);
  if (!IsMp3(path) && !IsWm(path)) return;
  HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
  if (IsMp3(path)) {
    SaveMp3Tags(path);
  } else {
    SaveWmTags(path);
  }
  SetCursor(previous != nullptr ? previous : LoadCursorA(nullptr, IDC_ARROW));
}

void TagEditorDialog::ReadChosenFile() {
  HWND dialog = window();
  const std::optional<std::string> chosen = chooseFile_ ? chooseFile_(dialog) : ChooseWithSystemDialog(dialog);
  if (!chosen) return;
  Enable(dialog, IDC_TAG_SOURCE_ID3V1, true);
  Enable(dialog, IDC_TAG_SOURCE_ID3V2, true);
  Enable(dialog, IDC_TAG_FROM_ID3V1, false);
  if (IsMp3(*chosen)) {
    ShowMp3Tags(*chosen);
  } else if (TagFormatOf(*chosen) == TagFormat::Container) {
    ShowContainerTags(*chosen);
  } else {
    ShowWmTags(*chosen);
  }
}

void OpenTagEditor(TagEditorDialog& editor, const std::optional<std::string>& firstSelectedPath) {
  editor.Open(firstSelectedPath);
}

}  // namespace kestrun::tags
