// The filters-in-use window (IDD_FILTERLIST), third in line for the message loop's
// keyboard handling.
#pragma once

#include <windows.h>

#include "platform/companion_dialog_win.h"

namespace kestrun::playback {

class FilterListWindow final : public platform::CompanionDialog {
 public:
  HWND Create(HINSTANCE instance, platform::DialogRouter& router) {
    return CreateHidden(instance, "IDD_FILTERLIST", nullptr, &router, platform::DialogSlot::FilterList);
  }
};

}  // namespace kestrun::playback
