#include "playback/filter_list_win.h"

#include <olectl.h>

#include <cstring>

#include "equalizer/iequalizer.h"
#include "platform/win32_handles_win.h"
#include "resources/resource_ids.h"

namespace kestrun::playback {
namespace {

using Microsoft::WRL::ComPtr;

// Filter names in the list: ANSI, 256 bytes with the NUL.
constexpr int kNameCapacity = 256;

// Reads filter's name; false when the information cannot be read.
bool FilterName(IBaseFilter* filter, char (&name)[kNameCapacity], FILTER_INFO* keep = nullptr) {
  FILTER_INFO info{};
  if (FAILED(filter->QueryFilterInfo(&info))) return false;
  name[0] = '\0';
  if (WideCharToMultiByte(CP_ACP, 0, info.achName, -1, name, kNameCapacity, nullptr, nullptr) == 0) {
    name[kNameCapacity - 1] = '\0';
  }
  if (keep != nullptr) {
    *keep = info;
  } else if (info.pGraph != nullptr) {
    info.pGraph->Release();
  }
  return true;
}

}  // namespace

void FillFilterList(HWND window, const FilterInspection& graph) {
  HWND list = GetDlgItem(window, IDC_FILTER_LIST);
  if (list == nullptr) return;
  SendMessageA(list, LB_RESETCONTENT, 0, 0);
  for (const ComPtr<IBaseFilter>& filter : graph.Filters()) {
    char name[kNameCapacity];
    if (!FilterName(filter.Get(), name)) return;
    SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
  }
}

ComPtr<IBaseFilter> FindFilterByName(const FilterInspection& graph, const char* name) {
  if (name == nullptr) return nullptr;
  for (const ComPtr<IBaseFilter>& filter : graph.Filters()) {
    char candidate[kNameCapacity];
    if (!FilterName(filter.Get(), candidate)) return nullptr;
    if (lstrcmpA(candidate, name) == 0) return filter;
  }
  return nullptr;
}

bool ShowFilterProperties(const FilterInspection& graph, const char* name, HWND owner) {
  ComPtr<IBaseFilter> filter = FindFilterByName(graph, name);
  if (!filter) return false;
  ComPtr<ISpecifyPropertyPages> pages;
  if (FAILED(filter.As(&pages))) return false;
  FILTER_INFO info{};
  if (FAILED(filter->QueryFilterInfo(&info))) return false;
  if (info.pGraph != nullptr) info.pGraph->Release();
  CAUUID ids{};
  const HRESULT got = pages->GetPages(&ids);
  const platform::CoTaskMem<GUID> pageIds(ids.pElems);
  pages.Reset();
  // A filter that names no page would only show an empty frame.
  const bool any = SUCCEEDED(got) && ids.cElems > 0 && pageIds;
  if (any) {
    IUnknown* object = filter.Get();
    OleCreatePropertyFrame(owner, 0, 0, info.achName, 1, &object, ids.cElems, pageIds.get(), 0, 0, nullptr);
  }
  return any;
}

void FilterListWindow::Fill() {
  if (window() != nullptr) FillFilterList(window(), graph_);
}

void FilterListWindow::RefillIfVisible() {
  if (window() != nullptr && IsWindowVisible(window())) Fill();
}

void FilterListWindow::Toggle() {
  if (window() == nullptr) return;
  if (IsWindowVisible(window())) {
    ShowWindow(window(), SW_HIDE);
    return;
  }
  Fill();
  ShowWindow(window(), SW_SHOW);
  UpdateWindow(window());
}

void FilterListWindow::ActOnSelection() {
  HWND list = GetDlgItem(window(), IDC_FILTER_LIST);
  if (list == nullptr) return;
  const LRESULT selected = SendMessageA(list, LB_GETCURSEL, 0, 0);
  if (selected == LB_ERR) return;
  const LRESULT length = SendMessageA(list, LB_GETTEXTLEN, selected, 0);
  if (length == LB_ERR || length >= kNameCapacity) return;
  char text[kNameCapacity] = {};
  SendMessageA(list, LB_GETTEXT, selected, reinterpret_cast<LPARAM>(text));
  if (std::strcmp(text, kEqualizerFilterNameAnsi) == 0) {
    if (toggleEqualizer_) toggleEqualizer_();
    return;
  }
  ShowFilterProperties(graph_, text, frameOwner_);
}

bool FilterListWindow::OnMessage(UINT message, WPARAM wParam, LPARAM, INT_PTR& result) {
  if (message != WM_COMMAND) return false;
  if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
    PostMessageA(window(), WM_CLOSE, 0, 0);
  } else if (LOWORD(wParam) == IDC_FILTER_LIST && HIWORD(wParam) == LBN_DBLCLK) {
    ActOnSelection();
  } else {
    return false;
  }
  result = TRUE;
  return true;
}

}  // namespace kestrun::playback
