// The tag editor window (IDD_EDIT), created hidden with the playlist window and
// first in line for the message loop's keyboard handling.
#pragma once

#include <windows.h>

#include "platform/companion_dialog_win.h"

namespace kestrun::tags {

class TagEditorDialog final : public platform::CompanionDialog {
 public:
  HWND Create(HINSTANCE instance, platform::DialogRouter& router) {
    return CreateHidden(instance, "IDD_EDIT", nullptr, &router, platform::DialogSlot::TagEditor);
  }
};

}  // namespace kestrun::tags
