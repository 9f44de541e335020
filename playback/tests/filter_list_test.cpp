// The filters-in-use window over a real session: its lines are the graph's filters
// in order, it refills for a new graph while shown, the equalizer's line toggles the
// player's equalizer window, and property frames open for filters that have pages
// (ours among them) and for no other.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "equalizer/iequalizer.h"
#include "playback/filter_list_win.h"
#include "playback/tests/session_fixture_win.h"
#include "resources/resource_ids.h"

namespace kestrun::testing {
namespace {

using Microsoft::WRL::ComPtr;

std::vector<std::string> GraphNames(IFilterGraph* graph) {
  std::vector<std::string> names;
  ComPtr<IEnumFilters> filters;
  if (graph == nullptr || FAILED(graph->EnumFilters(&filters))) return names;
  ComPtr<IBaseFilter> filter;
  while (filters->Next(1, filter.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
    FILTER_INFO info{};
    filter->QueryFilterInfo(&info);
    if (info.pGraph != nullptr) info.pGraph->Release();
    char name[256] = {};
    WideCharToMultiByte(CP_ACP, 0, info.achName, -1, name, sizeof(name), nullptr, nullptr);
    names.push_back(name);
  }
  return names;
}

// The filters of the graph that name property pages (withPages) or do not.
std::vector<std::string> NamesWithPages(IFilterGraph* graph, bool withPages) {
  std::vector<std::string> names;
  for (const std::string& name : GraphNames(graph)) {
    ComPtr<IBaseFilter> filter = playback::FindFilterByName(SessionTest::Session(), name.c_str());
    ComPtr<ISpecifyPropertyPages> pages;
    CAUUID ids{};
    const bool has = filter && SUCCEEDED(filter.As(&pages)) && SUCCEEDED(pages->GetPages(&ids)) && ids.cElems > 0;
    CoTaskMemFree(ids.pElems);
    if (has == withPages) names.push_back(name);
  }
  return names;
}

struct FoundFrame {
  HWND frame = nullptr;
  std::wstring caption;
  int trackbars = 0;
};

BOOL CALLBACK CountTrackbars(HWND child, LPARAM count) {
  char name[64] = {};
  GetClassNameA(child, name, sizeof(name));
  if (lstrcmpiA(name, TRACKBAR_CLASSA) == 0) ++*reinterpret_cast<int*>(count);
  return TRUE;
}

struct FrameSearch {
  DWORD process;
  std::wstring part;
  HWND found;
};

BOOL CALLBACK FindFrame(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<FrameSearch*>(param);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != search->process || !IsWindowVisible(window)) return TRUE;
  wchar_t caption[300] = {};
  GetWindowTextW(window, caption, 300);
  if (std::wstring(caption).find(search->part) == std::wstring::npos) return TRUE;
  search->found = window;
  return FALSE;
}

// Opens the property frame of name on this thread while a helper thread looks for it
// (a visible window of this process whose caption holds the name), counts its
// trackbars and closes it.
FoundFrame OpenAndCloseFrame(const playback::FilterInspection& graph, const std::string& name, bool& opened) {
  FoundFrame result;
  const std::wstring wide(name.begin(), name.end());
  std::thread helper([&] {
    FrameSearch search{GetCurrentProcessId(), wide, nullptr};
    for (int tries = 0; tries < 100 && search.found == nullptr; ++tries) {
      Sleep(50);
      EnumWindows(&FindFrame, reinterpret_cast<LPARAM>(&search));
    }
    if (search.found == nullptr) return;
    result.frame = search.found;
    wchar_t caption[300] = {};
    GetWindowTextW(search.found, caption, 300);
    result.caption = caption;
    Sleep(300);  // let the page come up
    EnumChildWindows(search.found, &CountTrackbars, reinterpret_cast<LPARAM>(&result.trackbars));
    PostMessageW(search.found, WM_COMMAND, IDCANCEL, 0);
    PostMessageW(search.found, WM_CLOSE, 0, 0);
  });
  opened = playback::ShowFilterProperties(graph, name.c_str(), SessionTest::EventWindow());
  helper.join();
  return result;
}

class FilterListTest : public SessionTest {
 protected:
  // The window is made once, wired as the player wires it: frames owned by the
  // window that stands for the main one, the list refilled after each graph build.
  static void SetUpTestSuite() {
    SessionTest::SetUpTestSuite();
    if (list_ != nullptr) return;
    list_ = new playback::FilterListWindow(Session());
    list_->Create(GetModuleHandleA(nullptr), Player().router);
    list_->Connect(EventWindow(), [] { ++equalizerToggles_; });
    Session().SetGraphBuiltHook([] { list_->RefillIfVisible(); });
  }
  void SetUp() override {
    SessionTest::SetUp();
    window_ = list_->window();
    ASSERT_NE(window_, nullptr);
    ShowWindow(window_, SW_HIDE);
    equalizerToggles_ = 0;
  }
  void TearDown() override {
    ShowWindow(window_, SW_HIDE);
    SessionTest::TearDown();
  }
  static playback::FilterListWindow& List() { return *list_; }
  std::vector<std::string> Lines() {
    std::vector<std::string> lines;
    HWND list = GetDlgItem(window_, IDC_FILTER_LIST);
    const int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
    for (int line = 0; line < count; ++line) {
      char text[256] = {};
      SendMessageA(list, LB_GETTEXT, line, reinterpret_cast<LPARAM>(text));
      lines.push_back(text);
    }
    return lines;
  }
  void DoubleClick(const std::string& line) {
    HWND list = GetDlgItem(window_, IDC_FILTER_LIST);
    const auto index = SendMessageA(list, LB_FINDSTRINGEXACT, -1, reinterpret_cast<LPARAM>(line.c_str()));
    ASSERT_NE(index, LB_ERR) << line;
    SendMessageA(list, LB_SETCURSEL, index, 0);
    SendMessageA(window_, WM_COMMAND, MAKEWPARAM(IDC_FILTER_LIST, LBN_DBLCLK), reinterpret_cast<LPARAM>(list));
  }

  HWND window_ = nullptr;
  static inline playback::FilterListWindow* list_ = nullptr;
  static inline int equalizerToggles_ = 0;
};

TEST_F(FilterListTest, CommandShowsTheGraphsFiltersInOrderAndRefillsForTheNextGraph) {
  List().Toggle();
  ASSERT_TRUE(IsWindowVisible(window_));
  EXPECT_TRUE(Lines().empty()) << "no graph, no lines";

  OpenAndPlay(TestMediaPath("tone.wav").c_str());
  ASSERT_EQ(State().state.load(), playback::kStatePlaying);
  const auto first = Lines();
  EXPECT_EQ(first, GraphNames(Session().interfacesForTests().graph));
  EXPECT_GE(first.size(), 2u);
  if (Session().Equalizer()) {
    EXPECT_NE(std::find(first.begin(), first.end(), kEqualizerFilterNameAnsi), first.end());
  }

  // A new graph refills the shown window by itself.
  SendDlgItemMessageA(window_, IDC_FILTER_LIST, LB_RESETCONTENT, 0, 0);
  OpenAndPlay(TestMediaPath("short.wav").c_str());
  ASSERT_EQ(State().state.load(), playback::kStatePlaying);
  EXPECT_EQ(Lines(), GraphNames(Session().interfacesForTests().graph));

  // Closing leaves the old lines until the next refill; the toggle hides.
  Engine().StopAndClose();
  EXPECT_FALSE(Lines().empty());
  List().Toggle();
  EXPECT_FALSE(IsWindowVisible(window_));
  List().Toggle();
  EXPECT_TRUE(Lines().empty());
}

TEST_F(FilterListTest, HiddenWindowIsNotRefilledByANewGraph) {
  OpenAndPlay(TestMediaPath("tone.wav").c_str());
  ASSERT_TRUE(Session().HasGraph());
  EXPECT_TRUE(Lines().empty());
}

TEST_F(FilterListTest, EqualizerLineTogglesThePlayersWindow) {
  if (!Session().Equalizer()) GTEST_SKIP() << "Equalizer.ax is not registered in this prefix";
  OpenAndPlay(TestMediaPath("tone.wav").c_str());
  List().Toggle();
  DoubleClick(kEqualizerFilterNameAnsi);
  EXPECT_EQ(equalizerToggles_, 1);
  DoubleClick(kEqualizerFilterNameAnsi);
  EXPECT_EQ(equalizerToggles_, 2);
}

TEST_F(FilterListTest, PropertyFrameOpensForOurFilterWithItsPage) {
  if (!Session().Equalizer()) GTEST_SKIP() << "Equalizer.ax is not registered in this prefix";
  OpenAndPlay(TestMediaPath("tone.wav").c_str());
  ASSERT_TRUE(Session().HasGraph());
  bool opened = false;
  const FoundFrame frame = OpenAndCloseFrame(Session(), kEqualizerFilterNameAnsi, opened);
  EXPECT_TRUE(opened);
  ASSERT_NE(frame.frame, nullptr) << "a frame captioned with the filter's name";
  EXPECT_EQ(frame.trackbars, 15) << "the page shows the fifteen bands";
  EXPECT_FALSE(IsWindow(frame.frame));
}

TEST_F(FilterListTest, FiltersWithoutPagesOrGraphOpenNothing) {
  OpenAndPlay(TestMediaPath("tone.wav").c_str());
  ASSERT_TRUE(Session().HasGraph());
  // The platform's filters in a WAV graph name no pages: none of them may open a frame.
  const auto withoutPages = NamesWithPages(Session().interfacesForTests().graph, false);
  EXPECT_FALSE(withoutPages.empty());
  for (const std::string& name : withoutPages) {
    EXPECT_FALSE(playback::ShowFilterProperties(Session(), name.c_str(), EventWindow())) << name;
  }
  // A name that is not in the graph, and no graph at all.
  EXPECT_FALSE(playback::ShowFilterProperties(Session(), "no such filter", EventWindow()));
  const auto names = GraphNames(Session().interfacesForTests().graph);
  Engine().StopAndClose();
  ASSERT_FALSE(names.empty());
  EXPECT_FALSE(playback::ShowFilterProperties(Session(), names.front().c_str(), EventWindow()));
}

TEST_F(FilterListTest, DoubleClickAfterCloseFindsNoGraphAndOpensNothing) {
  OpenAndPlay(TestMediaPath("tone.wav").c_str());
  List().Toggle();
  const auto lines = Lines();
  ASSERT_FALSE(lines.empty());
  Engine().StopAndClose();
  // The source's line: with no graph the double-click must return without a frame.
  std::string other;
  for (const auto& line : lines) {
    if (line != kEqualizerFilterNameAnsi) other = line;
  }
  ASSERT_FALSE(other.empty());
  DoubleClick(other);
  EXPECT_EQ(Lines(), lines);
  EXPECT_EQ(equalizerToggles_, 0);
}

}  // namespace
}  // namespace kestrun::testing
