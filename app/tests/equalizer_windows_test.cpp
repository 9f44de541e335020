// The player's equalizer window and effect dialog in a real main window, against the
// real Equalizer.ax object of the run and real graphs: trackbar messages reach the
// running filter and the audio, the switches follow the filter's answer, the saved
// settings follow the window, and the effect dialog's flows decide which DMOs the
// next graph gets.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <cstdint>
#include <vector>

#include <windows.h>
#include <commctrl.h>

#include "app/tests/kestrun_process.h"
#include "app/tests/player_window_fixture.h"
#include "equalizer/filter/property_page.h"
#include "equalizer/filter/tests/com_helpers.h"
#include "equalizer/iequalizer.h"
#include "platform/testing/modal_dialog_driver_win.h"
#include "platform/testing/registry_value_win.h"
#include "playback/filter_list_win.h"
#include "resources/resource_ids.h"
#include "resources/menu_ids.h"
#include "settings/settings_conversions.h"

namespace kestrun::testing {
namespace {

using Microsoft::WRL::ComPtr;

constexpr char kPlayerKey[] = "Software\\QuenfoldSoft\\Tovrin\\Player";
constexpr wchar_t kEffectCaption[] = L"エフェクト設定";

// {E436EBB5-524F-11CE-9F53-0020AF0BA770}: answers no IEqualizer.
constexpr CLSID kClsidFileSource = {0xE436EBB5, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};

equalizer::BandValues FilterBands(IUnknown* filter) {
  equalizer::BandValues bands{};
  ComPtr<IEqualizer> control;
  if (SUCCEEDED(filter->QueryInterface(IID_IEqualizer, reinterpret_cast<void**>(control.GetAddressOf())))) {
    control->GetBands(bands.data());
  }
  return bands;
}

std::pair<BOOL, BOOL> FilterSwitches(IUnknown* filter) {
  BOOL equalizerOn = -1;
  BOOL voiceRemovalOn = -1;
  ComPtr<IEqualizerSwitches> switches;
  if (SUCCEEDED(filter->QueryInterface(IID_IEqualizerSwitches, reinterpret_cast<void**>(switches.GetAddressOf())))) {
    switches->GetSwitches(&equalizerOn, &voiceRemovalOn);
  }
  return {equalizerOn, voiceRemovalOn};
}

DWORD ReadDword(const char* name) {
  return ReadRegistryDword(HKEY_CURRENT_USER, kPlayerKey, name).value_or(0xFFFFFFFF);
}

std::string ReadText(const char* name) {
  return ReadRegistryText(HKEY_CURRENT_USER, kPlayerKey, name).value_or(std::string());
}

// Runs body on the shown top-level window of this thread with caption, from inside
// the modal loop that start() runs. Returns whether the window was found.
template <typename Start, typename Body>
bool DriveModal(const wchar_t* caption, Start start, Body body) {
  ModalDialogDriver::Run([caption] { return FindWindowW(nullptr, caption); }, body,
                         [&] {
                           start();
                           return INT_PTR{0};
                         });
  return ModalDialogDriver::acted();
}

class EqualizerWindowTest : public PlayerWindowTest {
 protected:
  void SetUp() override {
    PlayerWindowTest::SetUp();
    dialog_ = App().equalizerDialog().window();
    ASSERT_NE(dialog_, nullptr);
    if (!Session().Equalizer()) GTEST_SKIP() << "Equalizer.ax is not registered in this prefix";
    Engine().options().bands = equalizer::FlatBands();
    Engine().options().equalizerOn = false;
    Engine().options().voiceRemovalOn = false;
    ComPtr<IEqualizer> control;
    ASSERT_EQ(ComPtr<IBaseFilter>(Session().Equalizer()).As(&control), S_OK);
    control->ResetBands();
    control->EnableEqualizer(FALSE);
    control->EnableVoiceRemoval(FALSE);
    App().equalizerDialog().Synchronize();
  }
  void TearDown() override {
    if (held_) Session().ReplaceEqualizerForTests(held_);
    PlayerWindowTest::TearDown();
  }
  // Takes the run's filter away (or puts a stand-in in its place) for a test.
  void ReplaceFilter(ComPtr<IBaseFilter> standIn) { held_ = Session().ReplaceEqualizerForTests(standIn); }
  int SliderPosition(int band) {
    return static_cast<int>(SendMessageA(App().equalizerDialog().Slider(band), TBM_GETPOS, 0, 0));
  }
  void Click(int id) { SendMessageA(GetDlgItem(dialog_, id), BM_CLICK, 0, 0); }
  bool Checked(int id) { return IsDlgButtonChecked(dialog_, id) == BST_CHECKED; }

  HWND dialog_ = nullptr;
  ComPtr<IBaseFilter> held_;
};

TEST_F(EqualizerWindowTest, TrackbarKeysSendAllFifteenBandsToTheRunningFilter) {
  OpenAndPlay(MediaPath("tone.wav").c_str());
  ASSERT_EQ(Player().state.load(), playback::kStatePlaying);
  // Band 5 is moved elsewhere first, by another client of the filter: the next slider
  // notification sends the sliders' own values for all fifteen.
  ComPtr<IEqualizer> other;
  ASSERT_EQ(ComPtr<IBaseFilter>(Session().Equalizer()).As(&other), S_OK);
  equalizer::BandValues foreign = equalizer::FlatBands();
  foreign[4] = 3;
  other->SetBands(foreign.data());

  HWND slider = App().equalizerDialog().Slider(0);
  // The slider's top end is +15 dB: Home goes there, each Down key one step lower.
  SendMessageA(slider, WM_KEYDOWN, VK_HOME, 0);
  EXPECT_EQ(FilterBands(Session().Equalizer())[0], 48);
  EXPECT_EQ(FilterBands(Session().Equalizer())[4], 24) << "the other sliders' positions go along";
  SendMessageA(slider, WM_KEYDOWN, VK_DOWN, 0);
  SendMessageA(slider, WM_KEYDOWN, VK_DOWN, 0);
  EXPECT_EQ(FilterBands(Session().Equalizer())[0], 46);
  EXPECT_EQ(Engine().options().bands[0], 46);
  SendMessageA(App().equalizerDialog().Slider(14), WM_KEYDOWN, VK_END, 0);
  const auto bands = FilterBands(Session().Equalizer());
  EXPECT_EQ(bands[14], 0);
  EXPECT_EQ(bands[0], 46);
  EXPECT_EQ(Engine().options().bands, bands);
}

TEST_F(EqualizerWindowTest, MovingASliderChangesTheAudioThroughTheFilter) {
  // The run's filter in a free-running test graph: tone.wav (440 Hz left) through the
  // equalizer into a sample grabber, once flat and once with the 400 Hz band raised
  // through the window.
  Click(IDC_EQUALIZER_ENABLE);
  ASSERT_EQ(FilterSwitches(Session().Equalizer()).first, TRUE);
  auto measure = [&] {
    equalizer::testing::GrabberGraph graph;
    const HRESULT built = graph.Build(Session().Equalizer(), equalizer::testing::Widen(MediaPath("tone.wav")));
    EXPECT_EQ(built, S_OK);
    if (FAILED(built)) return 0.0;
    EXPECT_TRUE(graph.RunToCompletion());
    const double rms = equalizer::testing::LeftRms(graph.collector.Joined());
    graph.Release();
    return rms;
  };
  const double flat = measure();
  ASSERT_GT(flat, 1000.0);
  SendMessageA(App().equalizerDialog().Slider(6), WM_KEYDOWN, VK_HOME, 0);
  ASSERT_EQ(FilterBands(Session().Equalizer())[6], 48);
  const double raised = measure();
  EXPECT_GT(raised, flat * 2.0) << "+15 dB at 400 Hz lifts a 440 Hz tone well above its flat level";

  Click(IDC_EQUALIZER_RESET);
  const double reset = measure();
  EXPECT_NEAR(reset, flat, flat * 0.05);
}

TEST_F(EqualizerWindowTest, ResetBringsSlidersBandsAndFilterBackAfterAnotherClient) {
  SendMessageA(App().equalizerDialog().Slider(2), WM_KEYDOWN, VK_HOME, 0);
  ComPtr<IEqualizer> other;
  ASSERT_EQ(ComPtr<IBaseFilter>(Session().Equalizer()).As(&other), S_OK);
  equalizer::BandValues foreign{};
  for (int band = 0; band < equalizer::kBandCount; ++band) foreign[band] = band * 3;
  other->SetBands(foreign.data());

  Click(IDC_EQUALIZER_RESET);
  EXPECT_EQ(FilterBands(Session().Equalizer()), equalizer::FlatBands());
  EXPECT_EQ(Engine().options().bands, equalizer::FlatBands());
  for (int band = 0; band < equalizer::kBandCount; ++band) EXPECT_EQ(SliderPosition(band), 24) << band;
}

TEST_F(EqualizerWindowTest, SwitchesFlipTheFlagsOnlyWhenTheFilterHearsOfIt) {
  Click(IDC_EQUALIZER_ENABLE);
  EXPECT_TRUE(Engine().options().equalizerOn);
  EXPECT_EQ(FilterSwitches(Session().Equalizer()), std::make_pair(TRUE, FALSE));
  Click(IDC_VOICE_REMOVAL_ENABLE);
  EXPECT_TRUE(Engine().options().voiceRemovalOn);
  EXPECT_EQ(FilterSwitches(Session().Equalizer()), std::make_pair(TRUE, TRUE));

  // No filter object: the mark flips, the flag stays.
  ReplaceFilter(nullptr);
  Click(IDC_EQUALIZER_ENABLE);
  EXPECT_FALSE(Checked(IDC_EQUALIZER_ENABLE));
  EXPECT_TRUE(Engine().options().equalizerOn);

  // A filter without the control interface: the same, and nothing breaks.
  ComPtr<IBaseFilter> standIn;
  ASSERT_EQ(CoCreateInstance(kClsidFileSource, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&standIn)), S_OK);
  Session().ReplaceEqualizerForTests(standIn);
  Click(IDC_VOICE_REMOVAL_ENABLE);
  EXPECT_FALSE(Checked(IDC_VOICE_REMOVAL_ENABLE));
  EXPECT_TRUE(Engine().options().voiceRemovalOn);
  // Sliders and reset still keep the player's own band values.
  SendMessageA(App().equalizerDialog().Slider(3), WM_KEYDOWN, VK_END, 0);
  EXPECT_EQ(Engine().options().bands[3], 0);
  Click(IDC_EQUALIZER_RESET);
  EXPECT_EQ(Engine().options().bands, equalizer::FlatBands());
}

// A run without a filter (Equalizer.ax missing or refusing to load) must not look
// like a working equalizer: the first showing says so in a box, later ones only in
// the caption, and every control but OK is disabled. A filter again enables them.
TEST_F(EqualizerWindowTest, WithoutAFilterTheWindowSaysSoOnceAndDisablesItsControls) {
  ReplaceFilter(nullptr);
  if (IsWindowVisible(dialog_)) App().equalizerDialog().ToggleVisible();
  std::string told;
  EXPECT_TRUE(DriveModal(
      L"Quenfold' Equalizer", [&] { App().equalizerDialog().ToggleVisible(); },
      [&](HWND box) {
        // The message box's text is its static control 0xFFFF.
        told = WindowText(GetDlgItem(box, 0xFFFF));
        PostMessageA(box, WM_COMMAND, IDOK, 0);
      }));
  EXPECT_NE(told.find("イコライザを使用できません"), std::string::npos) << told;
  EXPECT_TRUE(IsWindowVisible(dialog_));
  EXPECT_NE(WindowText(dialog_).find("使用できません"), std::string::npos) << WindowText(dialog_);
  for (int band = 0; band < equalizer::kBandCount; ++band) {
    EXPECT_FALSE(IsWindowEnabled(App().equalizerDialog().Slider(band))) << band;
  }
  for (int id : {IDC_EQUALIZER_RESET, IDC_EQUALIZER_ENABLE, IDC_VOICE_REMOVAL_ENABLE}) {
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog_, id))) << id;
  }
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog_, IDOK)));

  // Hidden and shown again: no second box (the caption still says it).
  App().equalizerDialog().ToggleVisible();
  App().equalizerDialog().ToggleVisible();
  EXPECT_TRUE(IsWindowVisible(dialog_)) << "ToggleVisible returned without a box to wait for";
  EXPECT_EQ(FindWindowW(nullptr, L"Quenfold' Equalizer"), nullptr);

  Session().ReplaceEqualizerForTests(held_);
  App().equalizerDialog().ToggleVisible();
  App().equalizerDialog().ToggleVisible();
  EXPECT_EQ(WindowText(dialog_), "Quenfold' Equalizer");
  EXPECT_TRUE(IsWindowEnabled(App().equalizerDialog().Slider(0)));
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog_, IDC_EQUALIZER_ENABLE)));
  App().equalizerDialog().ToggleVisible();
}

TEST_F(EqualizerWindowTest, SavedSettingsFollowTheWindowEvenWhenTheFilterMissedAClick) {
  SendMessageA(App().equalizerDialog().Slider(0), WM_KEYDOWN, VK_HOME, 0);
  SendMessageA(App().equalizerDialog().Slider(14), WM_KEYDOWN, VK_END, 0);
  Click(IDC_VOICE_REMOVAL_ENABLE);
  ReplaceFilter(nullptr);
  Click(IDC_EQUALIZER_ENABLE);  // marked, but the flag could not change
  ASSERT_FALSE(Engine().options().equalizerOn);

  App().SaveSettings();
  EXPECT_EQ(ReadDword("EQEnable"), 1u) << "the check box is what the user set";
  EXPECT_EQ(ReadDword("VREnable"), 1u);
  int saved[equalizer::kBandCount] = {};
  settings::ParseEqualizerText(ReadText("Equalizer").c_str(), saved);
  EXPECT_EQ(saved[0], 48);
  EXPECT_EQ(saved[14], 0);
  EXPECT_EQ(saved[7], 24);
}

TEST_F(EqualizerWindowTest, SynchronizeShowsLoadedBandsWithPlusFifteenAtTheTop) {
  Engine().options().bands[0] = 48;
  Engine().options().bands[1] = 0;
  Engine().options().voiceRemovalOn = true;
  App().equalizerDialog().Synchronize();
  EXPECT_EQ(SliderPosition(0), 0);
  EXPECT_EQ(SliderPosition(1), 48);
  EXPECT_FALSE(Checked(IDC_EQUALIZER_ENABLE));
  EXPECT_TRUE(Checked(IDC_VOICE_REMOVAL_ENABLE));
  // OK sends what the sliders show and hides the window.
  App().equalizerDialog().ToggleVisible();
  ASSERT_TRUE(IsWindowVisible(dialog_));
  Click(IDOK);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(dialog_); }, 5000));
  const auto bands = FilterBands(Session().Equalizer());
  EXPECT_EQ(bands[0], 48);
  EXPECT_EQ(bands[1], 0);
}

class EffectDialogTest : public PlayerWindowTest {
 protected:
  void SetUp() override {
    PlayerWindowTest::SetUp();
    for (auto& entry : Session().effects()) entry.enabled = 0;
    HWND equalizer = App().equalizerDialog().window();
    if (equalizer != nullptr) ShowWindow(equalizer, SW_HIDE);
  }
  void TearDown() override {
    for (auto& entry : Session().effects()) entry.enabled = 0;
    HWND equalizer = App().equalizerDialog().window();
    if (equalizer != nullptr) ShowWindow(equalizer, SW_HIDE);
    PlayerWindowTest::TearDown();
  }
  static bool OpenEffects(std::function<void(HWND)> body) {
    return DriveModal(
        kEffectCaption, [] { SendMessageA(main_, WM_COMMAND, IDM_EFFECTS, 0); }, std::move(body));
  }
  static HWND List(HWND dialog) { return GetDlgItem(dialog, IDC_EFFECT_LIST); }
  static void Check(HWND dialog, int row, bool checked) {
    LVITEMA item{};
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
    SendMessageA(List(dialog), LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
  }
  static bool IsChecked(HWND dialog, int row) {
    const auto state = SendMessageA(List(dialog), LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK);
    return ((state & LVIS_STATEIMAGEMASK) >> 12) == 2;
  }
  static std::string RowText(HWND dialog, int row) {
    char text[128] = {};
    LVITEMA item{};
    item.iSubItem = 0;
    item.pszText = text;
    item.cchTextMax = sizeof(text);
    SendMessageA(List(dialog), LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    return text;
  }
  static int ResamplerRow() {
    const auto& effects = Session().effects();
    for (int row = 0; row < playback::kEffectCount; ++row) {
      if (effects[row].HasEffect() && std::string(effects[row].ansiName).find("esampler") != std::string::npos) {
        return row;
      }
    }
    return -1;
  }
};

TEST_F(EffectDialogTest, ShowsNineRowsAndOkStoresTheChecks) {
  auto& effects = Session().effects();
  effects[1].enabled = 1;
  int rows = 0;
  std::vector<std::string> texts;
  bool rowOneChecked = false;
  ASSERT_TRUE(OpenEffects([&](HWND dialog) {
    rows = static_cast<int>(SendMessageA(List(dialog), LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < rows; ++row) texts.push_back(RowText(dialog, row));
    rowOneChecked = IsChecked(dialog, 1);
    Check(dialog, 0, true);
    Check(dialog, 1, false);
    Check(dialog, 8, true);
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
  }));
  EXPECT_EQ(rows, playback::kEffectCount);
  ASSERT_EQ(texts.size(), static_cast<std::size_t>(playback::kEffectCount));
  for (int row = 0; row < playback::kEffectCount; ++row) {
    EXPECT_EQ(texts[row], effects[row].ansiName) << "row " << row << " shows its entry, empty when none filled it";
  }
  EXPECT_TRUE(rowOneChecked) << "an enabled entry opens checked";
  EXPECT_EQ(effects[0].enabled, 1);
  EXPECT_EQ(effects[1].enabled, 0);
  EXPECT_EQ(effects[8].enabled, 1);
}

TEST_F(EffectDialogTest, CancelAndCloseKeepThePreviousFlags) {
  auto& effects = Session().effects();
  effects[2].enabled = 1;
  ASSERT_TRUE(OpenEffects([&](HWND dialog) {
    Check(dialog, 0, true);
    Check(dialog, 2, false);
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  }));
  EXPECT_EQ(effects[0].enabled, 0);
  EXPECT_EQ(effects[2].enabled, 1);
  ASSERT_TRUE(OpenEffects([&](HWND dialog) {
    Check(dialog, 0, true);
    PostMessageA(dialog, WM_CLOSE, 0, 0);
  }));
  EXPECT_EQ(effects[0].enabled, 0);
}

TEST_F(EffectDialogTest, EqualizerButtonShowsTheWindowAndClosesOrHidesItAndStays) {
  HWND equalizer = App().equalizerDialog().window();
  ASSERT_NE(equalizer, nullptr);
  // Hidden equalizer: the button shows it and the effect dialog ends without storing.
  ASSERT_TRUE(OpenEffects([&](HWND dialog) {
    Check(dialog, 0, true);
    PostMessageA(dialog, WM_COMMAND, IDC_EFFECT_EQUALIZER, 0);
  }));
  EXPECT_TRUE(IsWindowVisible(equalizer));
  EXPECT_EQ(Session().effects()[0].enabled, 0);

  // Visible equalizer: the button hides it and the effect dialog stays until OK.
  bool stillOpen = false;
  ASSERT_TRUE(OpenEffects([&](HWND dialog) {
    SendMessageA(dialog, WM_COMMAND, IDC_EFFECT_EQUALIZER, 0);
    stillOpen = IsWindow(dialog) && IsWindowVisible(dialog);
    Check(dialog, 0, true);
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
  }));
  EXPECT_TRUE(stillOpen);
  EXPECT_FALSE(IsWindowVisible(equalizer));
  EXPECT_EQ(Session().effects()[0].enabled, 1);
}

TEST_F(EffectDialogTest, EnabledEffectJoinsTheNextGraphNotTheCurrentOne) {
  const int row = ResamplerRow();
  if (row < 0) GTEST_SKIP() << "no resampler DMO among the audio effects";
  const std::string name = Session().effects()[row].ansiName;
  OpenAndPlay(MediaPath("tone.wav").c_str());
  ASSERT_TRUE(Session().HasGraph());
  ASSERT_TRUE(OpenEffects([&](HWND dialog) {
    Check(dialog, row, true);
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
  }));
  ASSERT_EQ(Session().effects()[row].enabled, 1) << "the dialog's OK stores the check";
  EXPECT_FALSE(playback::FindFilterByName(Session(), name.c_str())) << "the running graph is left alone";
  OpenAndPlay(MediaPath("tone.wav").c_str());
  ASSERT_EQ(Player().state.load(), playback::kStatePlaying);
  EXPECT_TRUE(playback::FindFilterByName(Session(), name.c_str()));
  // Unchecked again, the graph after that has it no more; a checked empty row adds nothing.
  Session().effects()[row].enabled = 0;
  for (auto& entry : Session().effects()) {
    if (!entry.HasEffect()) entry.enabled = 1;
  }
  OpenAndPlay(MediaPath("tone.wav").c_str());
  ASSERT_EQ(Player().state.load(), playback::kStatePlaying);
  EXPECT_FALSE(playback::FindFilterByName(Session(), name.c_str()));
}

// Names too long for the table's fields are cut at a whole character: no lone lead
// byte in the ANSI name, no lone high surrogate in the wide one.
TEST(EffectEntryNames, LongNamesAreCutAtWholeCharacters) {
  ASSERT_EQ(GetACP(), 932u) << "the player's code page";
  playback::EffectEntry entry;
  entry.enabled = 1;
  // "a" then 40 times "音" (two bytes each in code page 932): 81 bytes.
  std::wstring japanese = L"a";
  for (int i = 0; i < 40; ++i) japanese += L'\u97F3';
  playback::FillEffectEntry(entry, {CLSID_Equalizer, japanese.c_str()});
  EXPECT_EQ(entry.enabled, 0);
  EXPECT_EQ(std::strlen(entry.ansiName), 63u) << "a and 31 whole characters";
  EXPECT_EQ(std::wstring(entry.wideName), japanese);

  std::wstring wide(62, L'x');
  wide += L"\xD83C\xDFB5";  // a surrogate pair at units 62 and 63
  playback::FillEffectEntry(entry, {CLSID_Equalizer, wide.c_str()});
  EXPECT_EQ(std::wstring(entry.wideName), std::wstring(62, L'x'));
  EXPECT_TRUE(entry.HasEffect());

  playback::FillEffectEntry(entry, {CLSID_Equalizer, L"Echo"});
  EXPECT_STREQ(entry.ansiName, "Echo");
  EXPECT_EQ(std::wstring(entry.wideName), L"Echo");
}

}  // namespace
}  // namespace kestrun::testing
