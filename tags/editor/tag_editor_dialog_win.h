// The tag editor window (IDD_EDIT): the ID3v1 or ID3v2 tag of an .mp3 file, or the
// Windows Media attributes of a .wma, .wmv or .asf file. Created hidden at
// start-up and first in line for the message loop's keyboard handling; "閉じる"
// and the close box only hide it.
#pragma once

#include <windows.h>

#include <array>
#include <functional>
#include <optional>
#include <string>

#include "platform/companion_dialog_win.h"
#include "tags/id3/unicode_text.h"

namespace kestrun::tags {

enum class TagSource { Id3v1, Id3v2 };

class TagEditorDialog final : public platform::CompanionDialog {
 public:
  HWND Create(HINSTANCE instance, platform::DialogRouter& router) {
    instance_ = instance;
    return CreateHidden(instance, "IDD_EDIT", nullptr, &router, platform::DialogSlot::TagEditor);
  }

  // Reads the file into the fields by its extension (.mp3 or a Windows Media
  // one; any other file, or none, keeps what is shown) and shows the editor.
  void Open(const std::optional<std::string>& path);

  void ShowMp3Tags(const std::string& path);
  void ShowTagSource(const std::string& path, TagSource source);
  void ShowWmTags(const std::string& path);
  // FLAC, MP4 and Ogg files: their tags shown read-only, "書き込み" disabled and a
  // notice in the status text (tag_editor_container_win.cpp).
  void ShowContainerTags(const std::string& path);
  void SaveMp3Tags(const std::string& path);
  void SaveWmTags(const std::string& path);

  // The file "読み込み" asks for; the system's open-file dialog unless a test
  // puts its own choice here.
  using FileChooser = std::function<std::optional<std::string>(HWND owner)>;
  void SetFileChooser(FileChooser chooser) { chooseFile_ = std::move(chooser); }
  // The user's "UnicodeTags" choice: the conversion while it is on, nullptr while off.
  // The same conversion reads the fields and tells, when writing, which ones changed.
  void SetUnicodeTagsSource(std::function<AnsiFromUtf16()> source) { unicodeTags_ = std::move(source); }

 private:
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
  void OnInitDialog();
  void OnCommand(int id);
  void Write();
  void ReadChosenFile();
  // Makes the fields editable and "書き込み" usable again, or read-only and disabled
  // with room for the notice (tag_editor_container_win.cpp).
  void AllowWriting(bool writable);

  // The ID3v2 fields just shown: remembers what each control holds and which
  // conversion read them, so a write touches only what the user changed.
  void RememberId3v2Fields(AnsiFromUtf16 readWith);

  HINSTANCE instance_ = nullptr;
  FileChooser chooseFile_;
  std::function<AnsiFromUtf16()> unicodeTags_;
  // The status text's own place, kept while it is widened for the read-only notice.
  std::optional<RECT> statusPlace_;
  AnsiFromUtf16 UnicodeConverter() const { return unicodeTags_ ? unicodeTags_() : nullptr; }
  // The texts of the seven controls (TagFields order) after the last ID3v2 read;
  // empty while the fields show anything else (ID3v1, no tag, Windows Media),
  // which a write then stores whole.
  std::optional<std::array<std::string, 7>> id3v2Shown_;
  // The conversion that read them: a write uses the same one, so a switch of
  // "UnicodeTags" in between neither drops nor rewrites an untouched frame.
  AnsiFromUtf16 id3v2ReadWith_ = nullptr;
};

// The playlist's "ID3タグ編集(&I)": the first selected row's path, or nothing when
// no row is selected.
void OpenTagEditor(TagEditorDialog& editor, const std::optional<std::string>& firstSelectedPath);

// "読込失敗": the status text for a file whose tags cannot be read (the editor's own
// formats and the read-only container formats alike).
extern const char kReadFailedText[];

}  // namespace kestrun::tags
