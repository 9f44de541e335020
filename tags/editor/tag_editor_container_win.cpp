// The tag editor for FLAC, MP4 and Ogg files: their own metadata is shown, but the
// player writes only ID3 and Windows Media tags, so the fields are read-only,
// "書き込み" is disabled and the status text says why.
#include <windows.h>

#include <array>

#include "resources/resource_ids.h"
#include "tags/editor/tag_editor_dialog_win.h"
#include "tags/formats/container_file.h"

namespace kestrun::tags {
namespace {

constexpr char kNoticeFallback[] = "書き込めません";
// The edit fields that a read-only file locks.
constexpr std::array<int, 6> kTextFields = {IDC_TAG_TITLE, IDC_TAG_ARTIST,  IDC_TAG_ALBUM,
                                            IDC_TAG_YEAR,  IDC_TAG_COMMENT, IDC_TAG_TRACK};
// The widened status text, in dialog units: from its own left edge to the fields'
// right edge, two lines high, above the radio buttons.
constexpr RECT kNoticePlace = {81, 115, 167, 132};

std::string ReadOnlyNotice() {
  char text[128] = {};
  if (LoadStringA(GetModuleHandleA(nullptr), IDS_TAG_READ_ONLY, text, sizeof text) == 0) return kNoticeFallback;
  return text;
}

}  // namespace

void TagEditorDialog::AllowWriting(bool writable) {
  HWND dialog = window();
  for (const int id : kTextFields) SendDlgItemMessageA(dialog, id, EM_SETREADONLY, writable ? FALSE : TRUE, 0);
  EnableWindow(GetDlgItem(dialog, IDC_TAG_GENRE), writable ? TRUE : FALSE);
  EnableWindow(GetDlgItem(dialog, IDC_TAG_WRITE), writable ? TRUE : FALSE);
  HWND status = GetDlgItem(dialog, IDC_TAG_STATUS);
  if (!writable && !statusPlace_) {
    RECT own{};
    GetWindowRect(status, &own);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&own), 2);
    statusPlace_ = own;
    RECT wide = kNoticePlace;
    MapDialogRect(dialog, &wide);
    MoveWindow(status, wide.left, wide.top, wide.right - wide.left, wide.bottom - wide.top, TRUE);
  } else if (writable && statusPlace_) {
    const RECT own = *statusPlace_;
    MoveWindow(status, own.left, own.top, own.right - own.left, own.bottom - own.top, TRUE);
    statusPlace_.reset();
  }
}

void TagEditorDialog::ShowContainerTags(const std::string& path) {
  HWND dialog = window();
  SetDlgItemTextA(dialog, IDC_TAG_PATH, path.c_str());
  // Neither ID3 source means anything here.
  for (const int id : {IDC_TAG_SOURCE_ID3V1, IDC_TAG_SOURCE_ID3V2, IDC_TAG_FROM_ID3V1}) {
    CheckDlgButton(dialog, id, BST_UNCHECKED);
    EnableWindow(GetDlgItem(dialog, id), FALSE);
  }
  AllowWriting(false);
  TagFields fields;
  const bool read = ReadContainerTags(path, fields, UnicodeConverter());
  const std::array<const std::string*, 6> texts = {&fields.title, &fields.artist,  &fields.album,
                                                   &fields.year,  &fields.comment, &fields.track};
  for (std::size_t i = 0; i < kTextFields.size(); ++i) SetDlgItemTextA(dialog, kTextFields[i], texts[i]->c_str());
  SetDlgItemTextA(dialog, IDC_TAG_GENRE, fields.genre.c_str());
  SetDlgItemTextA(dialog, IDC_TAG_GENRE_NUMBER, "");
  SetDlgItemTextA(dialog, IDC_TAG_STATUS, read ? ReadOnlyNotice().c_str() : kReadFailedText);
}

}  // namespace kestrun::tags
