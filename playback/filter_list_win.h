// The filters-in-use window (IDD_FILTERLIST): the names of the current graph's
// filters in enumeration order. A double-click opens a filter's property pages, or
// for the equalizer the player's own equalizer window. Third in line for the message
// loop's keyboard handling.
#pragma once

#include <windows.h>
#include <dshow.h>
#include <wrl/client.h>

#include <functional>
#include <string>
#include <utility>

#include "platform/companion_dialog_win.h"
#include "playback/media_surfaces_win.h"

namespace kestrun::playback {

// Refills the list box of window (control IDC_FILTER_LIST) from the graph's filters;
// with no graph the list stays empty. A filter whose information cannot be read ends
// the fill with the lines so far.
void FillFilterList(HWND window, const FilterInspection& graph);
// The first filter of the graph (in enumeration order) whose ANSI name is name exactly.
Microsoft::WRL::ComPtr<IBaseFilter> FindFilterByName(const FilterInspection& graph, const char* name);
// Opens the property frame of the filter named name, owned by owner; returns false
// when there is no such filter or it offers no pages (nothing is opened then). The
// frame is modal: this returns when the user closes it.
bool ShowFilterProperties(const FilterInspection& graph, const char* name, HWND owner);

class FilterListWindow final : public platform::CompanionDialog {
 public:
  explicit FilterListWindow(const FilterInspection& graph) : graph_(graph) {}
  HWND Create(HINSTANCE instance, platform::DialogRouter& router) {
    return CreateHidden(instance, "IDD_FILTERLIST", nullptr, &router, platform::DialogSlot::FilterList);
  }
  // frameOwner owns the property frames; toggleEqualizer shows or hides the
  // player's equalizer window.
  void Connect(HWND frameOwner, std::function<void()> toggleEqualizer) {
    frameOwner_ = frameOwner;
    toggleEqualizer_ = std::move(toggleEqualizer);
  }
  // Command IDM_FILTERS and key F: hide when visible, else refill and show.
  void Toggle();
  // Refills from the current graph when the window is visible.
  void RefillIfVisible();
  void Fill();
  // What a double-click on the selected line does.
  void ActOnSelection();

 private:
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

  const FilterInspection& graph_;
  HWND frameOwner_ = nullptr;
  std::function<void()> toggleEqualizer_;
};

}  // namespace kestrun::playback
