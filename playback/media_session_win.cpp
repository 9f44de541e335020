#include "playback/media_session.h"

#include <commctrl.h>
#include <dmodshow.h>
#include <shellapi.h>
#include <uuids.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>

#include "equalizer/iequalizer.h"
#include "platform/ansi_path.h"
#include "playback/effect_table.h"
#include "playback/playback_control.h"
#include "playback/player_state.h"
#include "playback/time_text.h"
#include "playlist/asx_file.h"
#include "playlist/playlist_entry.h"
#include "resources/resource_ids.h"
#include "settings/settings_store.h"
#include "tags/editor/display_title.h"

namespace kestrun::playback {
namespace {

// Filter names in the graph.
constexpr wchar_t kEqualizerFilterName[] = L"Quenfold' Equalizer";
constexpr wchar_t kAsfReaderName[] = L"WM ASF Reader";
constexpr wchar_t kCdFilterName[] = L"WMP CD Filter";
constexpr wchar_t kGrabberName[] = L"SampleGrabber";

// Texts shown in the title display.
constexpr char kExpandingAsx[] = "asxファイルを展開中......";
constexpr char kAsxFailed[] = "asxファイルの展開に失敗";
constexpr char kUrlFailed[] = "URLの再生に失敗";
constexpr char kWmpCoreFailed[] = "未対応のファイルです by WMP7.1";
constexpr char kCdReading[] = "CDから読込中";
constexpr char kCdFailed[] = "CDの再生に失敗しました";
constexpr char kUnsupported[] = "未対応のファイルです";
constexpr char kVideoCaptionFormat[] = "[%s] Quenfold' Ambrel";
// Four ideographic spaces separate the repetitions of a scrolled title.
constexpr char kMarqueeGap[] = "　　　　";

// Registration of the equalizer.
constexpr char kRegisterMarkerName[] = "RegisterEQ";
constexpr char kRegisterMarkerValue[] = "004";
constexpr char kRegisterCommandFormat[] = "%s /s \"%s\\%s\"";
constexpr char kRegistrationTool[] = "REGSVR32";
constexpr char kEqualizerFile[] = "Equalizer.ax";

constexpr int kMarqueeTimer = 5;
constexpr UINT kMarqueePeriodMs = 850;
constexpr int kMarqueeWidthLimit = 243;

// The frame grabber has no class identifier in the mingw headers.
// {C1F400A0-3F08-11D3-9F0B-006008039E37}
constexpr CLSID kClsidSampleGrabber = {
    0xC1F400A0, 0x3F08, 0x11D3, {0x9F, 0x0B, 0x00, 0x60, 0x08, 0x03, 0x9E, 0x37}};
// The audio-CD source filter of the media player installation.
// {CA9067FF-777D-4B65-AA5F-C0B27E3EC75D}
constexpr CLSID kClsidCdFilter = {
    0xCA9067FF, 0x777D, 0x4B65, {0xAA, 0x5F, 0xC0, 0xB2, 0x7E, 0x3E, 0xC7, 0x5D}};
// The DMO wrapper filter. {94297043-BD82-4DFD-B0DE-8177739C6D20}
constexpr CLSID kClsidDmoWrapperFilter = {
    0x94297043, 0xBD82, 0x4DFD, {0xB0, 0xDE, 0x81, 0x77, 0x73, 0x9C, 0x6D, 0x20}};
// DMO category the effect wrappers are initialised with (the audio-decoder one).
// {57F2DB8B-E6BB-4513-9D43-DCD2A6593125}
constexpr GUID kDmoCategoryAudioDecoder = {
    0x57F2DB8B, 0xE6BB, 0x4513, {0x9D, 0x43, 0xDC, 0xD2, 0xA6, 0x59, 0x31, 0x25}};

void Debug(const char* text) { OutputDebugStringA(text); }

bool HasExtension(const char* extension, std::initializer_list<const char*> list) {
  for (const char* candidate : list) {
    if (platform::EqualsIgnoreCase(extension, candidate)) return true;
  }
  return false;
}

void RemoveEqualizerFromGraph() {
  auto& session = Session();
  if (session.graph && session.equalizer) session.graph->RemoveFilter(session.equalizer.Get());
}

// A failed build: abort a pending URL open, release the partial graph, state closed.
// The position display is left as it is.
void CloseFailedBuild() {
  auto& session = Session();
  if (session.openProgress) session.openProgress->AbortOperation();
  TearDownGraph();
  Player().state = kStateClosed;
}

// Releases only the graph (before following an ASX reference, so the equalizer is
// never a member of two graphs at once).
void ReleaseGraphOnly() {
  auto& session = Session();
  RemoveEqualizerFromGraph();
  session.graph.Reset();
  if (session.comInitialized) {
    CoUninitialize();
    session.comInitialized = false;
  }
}

void SetCaption(const char* text) {
  if (Player().windows.main != nullptr) SetWindowTextA(Player().windows.main, text);
}

// Expands an ASX file or URL and plays its reference.
void FollowAsx(const char* path, bool isUrl) {
  char reference[kPathCapacity] = {};
  char title[playlist::kAsxTextSize] = {};
  char author[playlist::kAsxTextSize] = {};
  if (isUrl) {
    ShowTitleText(kExpandingAsx);
    if (playlist::downloadAndReadAsx(path, reference, title, author) < 0) {
      ShowTitleText(kAsxFailed);
      return;
    }
  } else if (playlist::readAsxFile(path, reference, title, author) == 0) {
    ShowTitleText(kAsxFailed);
    return;
  }
  // A reference to itself would loop forever.
  if (std::strcmp(reference, path) == 0) return;
  OpenAndPlay(reference);
  if (Player().state == kStatePlaying) {
    char display[kPathCapacity] = {};
    playlist::entryDisplayName(reference, title, author, display, sizeof(display));
    SetCaption(display);
    ShowTitleText(display);
  }
}

void InsertFrameGrabber(bool keepAsSource) {
  auto& session = Session();
  ComPtr<IBaseFilter> grabberFilter;
  if (FAILED(CoCreateInstance(kClsidSampleGrabber, nullptr, CLSCTX_INPROC_SERVER,
                              IID_PPV_ARGS(&grabberFilter)))) {
    return;
  }
  if (FAILED(grabberFilter.As(&session.grabber))) return;
  if (FAILED(session.graph->AddFilter(grabberFilter.Get(), kGrabberName))) {
    session.grabber.Reset();
    return;
  }
  session.grabberType = AM_MEDIA_TYPE{};
  session.grabberType.majortype = MEDIATYPE_Video;
  session.grabberType.subtype = MEDIASUBTYPE_RGB24;
  session.grabberType.formattype = FORMAT_VideoInfo;
  session.grabber->SetMediaType(&session.grabberType);
  if (keepAsSource) session.source = grabberFilter;
  Debug("SAMPLE\n");
}

void InsertEffects() {
  auto& session = Session();
  for (auto& entry : Effects()) {
    if (entry.enabled != 1) continue;
    if (!entry.wrapper) {
      Debug("START CO\n");
      const HRESULT hr = CoCreateInstance(kClsidDmoWrapperFilter, nullptr, CLSCTX_INPROC_SERVER,
                                          IID_PPV_ARGS(&entry.wrapper));
      Debug("END CO\n");
      if (!entry.wrapper) Debug("NULLLLLL FILTETETETETET\n");
      if (FAILED(hr) || !entry.wrapper) {
        Debug("FAILED AAAAAAAAAAA\n");
        return;
      }
      ComPtr<IDMOWrapperFilter> dmo;
      if (SUCCEEDED(entry.wrapper.As(&dmo))) dmo->Init(entry.clsid, kDmoCategoryAudioDecoder);
    }
    session.graph->AddFilter(entry.wrapper.Get(), entry.name);
  }
}

// Step 7: the Windows Media core. Returns true when the graph got built, false to
// fall through (silently) to the CD check and the ordinary path; sets failed when
// rendering failed and the build was closed.
bool TryWindowsMediaCore(bool& failed) {
  auto& session = Session();
  failed = false;
  HRESULT hr = CoCreateInstance(CLSID_WMAsfReader, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&session.source));
  Debug("End Create BaseFilter\n");
  if (FAILED(hr) || !session.source) {
    session.source.Reset();
    return false;
  }
  ComPtr<IFileSourceFilter> fileSource;
  if (FAILED(session.graph->AddFilter(session.source.Get(), kAsfReaderName)) ||
      FAILED(session.source.As(&fileSource)) || FAILED(fileSource->Load(session.widePath, nullptr))) {
    // Take the reader out again so the ordinary path starts from a clean graph.
    session.graph->RemoveFilter(session.source.Get());
    session.source.Reset();
    return false;
  }
  if (Player().useCapture) InsertFrameGrabber(false);
  InsertEffects();
  hr = RenderOutputPins(session.graph.Get(), session.source.Get());
  fileSource.Reset();
  if (FAILED(hr)) {
    RemoveEqualizerFromGraph();
    ShowTitleText(kWmpCoreFailed);
    // The failed graph is released too, so the next build never starts over it.
    CloseFailedBuild();
    failed = true;
    return false;
  }
  return true;
}

// Step 8: the audio-CD path. Returns false when the build failed and was closed.
bool PlayCdTrack() {
  auto& session = Session();
  ShowTitleText(kCdReading);
  HRESULT hr = CoCreateInstance(kClsidCdFilter, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&session.source));
  if (SUCCEEDED(hr) && session.source) {
    session.graph->AddFilter(session.source.Get(), kCdFilterName);
    ComPtr<IFileSourceFilter> fileSource;
    if (SUCCEEDED(session.source.As(&fileSource))) fileSource->Load(session.widePath, nullptr);
    hr = RenderOutputPins(session.graph.Get(), session.source.Get());
  } else {
    // Without the CD filter there is nothing to render: the same failure.
    hr = FAILED(hr) ? hr : E_NOINTERFACE;
  }
  if (FAILED(hr)) {
    RemoveEqualizerFromGraph();
    ShowTitleText(kCdFailed);
    CloseFailedBuild();
    return false;
  }
  return true;
}

// Step 6.1, other URLs: the URL reader as source.
bool PlayUrl() {
  auto& session = Session();
  HRESULT hr = CoCreateInstance(CLSID_URLReader, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&session.source));
  if (FAILED(hr) || !session.source) {
    ShowTitleText(kUrlFailed);
    CloseFailedBuild();
    return false;
  }
  session.graph->AddFilter(session.source.Get(), nullptr);
  ComPtr<IFileSourceFilter> fileSource;
  session.source.As(&fileSource);
  session.source.As(&session.openProgress);
  if (!fileSource || FAILED(fileSource->Load(session.widePath, nullptr))) {
    ShowTitleText(kUrlFailed);
    CloseFailedBuild();
    return false;
  }
  fileSource.Reset();
  if (FAILED(RenderOutputPins(session.graph.Get(), session.source.Get()))) {
    RemoveEqualizerFromGraph();
    ShowTitleText(kUrlFailed);
    CloseFailedBuild();
    return false;
  }
  return true;
}

void UncheckRates() {
  for (int id : {IDM_RATE_2_0, IDM_RATE_1_25, IDM_RATE_1_0, IDM_RATE_0_5}) CheckCommand(id, false, true);
}

void UpdateTrayTip() {
  auto& windows = Player().windows;
  NOTIFYICONDATAA data{};
  data.cbSize = NOTIFYICONDATAA_V1_SIZE;
  data.hWnd = windows.main;
  data.uID = 1;
  data.uFlags = NIF_TIP;
  GetWindowTextA(windows.main, data.szTip, sizeof(data.szTip));
  Shell_NotifyIconA(NIM_MODIFY, &data);
}

void UpdateTitleTooltip(const char* title) {
  auto& windows = Player().windows;
  if (windows.tooltip == nullptr || windows.titleDisplay == nullptr) return;
  TOOLINFOA info{};
  info.cbSize = sizeof(info);
  info.hwnd = windows.main;
  info.uFlags = TTF_IDISHWND;
  info.uId = reinterpret_cast<UINT_PTR>(windows.titleDisplay);
  info.lpszText = const_cast<char*>(title);
  SendMessageA(windows.tooltip, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&info));
}

// Shows the title, scrolling it as a marquee when it is wider than the display.
void ShowPlayingTitle(const char* title) {
  auto& player = Player();
  std::string shown = title;
  player.marquee = false;
  if (player.windows.titleDisplay != nullptr) {
    HDC dc = GetDC(player.windows.titleDisplay);
    SIZE extent{};
    if (dc != nullptr) {
      GetTextExtentPoint32A(dc, title, static_cast<int>(std::strlen(title)), &extent);
      ReleaseDC(player.windows.titleDisplay, dc);
    }
    if (extent.cx > kMarqueeWidthLimit) {
      player.marquee = true;
      shown += kMarqueeGap;
    }
  }
  ShowTitleText(shown.c_str());
  if (player.windows.main != nullptr) SetTimer(player.windows.main, kMarqueeTimer, kMarqueePeriodMs, nullptr);
}

void PlaceVideoView() {
  auto& session = Session();
  auto& windows = Player().windows;
  if (windows.videoView != nullptr && windows.main != nullptr) {
    RECT main{};
    GetWindowRect(windows.main, &main);
    SetWindowPos(windows.videoView, nullptr, main.left, main.bottom, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOOWNERZORDER | SWP_NOACTIVATE);
  }
  session.graph.As(&session.frameStep);
  if (session.videoWindow && windows.videoView != nullptr) {
    session.videoWindow->put_Owner(reinterpret_cast<OAHWND>(windows.videoView));
    session.videoWindow->put_WindowStyle(WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN);
    session.videoWindow->put_MessageDrain(reinterpret_cast<OAHWND>(windows.videoView));
  }
  if (session.grabber) {
    session.grabber->SetBufferSamples(FALSE);
    session.grabber->SetOneShot(FALSE);
  }
}

// Step 12: the graph is built; take its interfaces, show the title and run it.
void FinishAndRun(const char* path) {
  auto& session = Session();
  auto& player = Player();
  session.graph.As(&session.control);
  session.graph.As(&session.events);
  session.graph.As(&session.basicAudio);
  {
    std::lock_guard<std::mutex> lock(session.seekingLock);
    session.graph.As(&session.seeking);
  }
  session.graph.As(&session.videoWindow);
  session.graph.As(&session.basicVideo);
  DetectVideo();
  if (session.audioOnly == 0) PlaceVideoView();

  if (session.basicAudio) session.basicAudio->put_Volume(player.volume);
  Debug("EndVolume\n");

  session.duration = 0;
  if (session.seeking) session.seeking->GetDuration(&session.duration);
  LONGLONG position = 0;
  if (session.seeking) session.seeking->GetCurrentPosition(&position);
  std::snprintf(player.timeText, sizeof(player.timeText), "%s",
                FormatTimeText(position, session.duration).c_str());
  ShowTimeText();

  player.rate = 1.0;
  if (session.seeking) session.seeking->SetRate(1.0);
  UncheckRates();

  player.zoneActive = false;
  if (player.windows.zoneMarker != nullptr) ShowWindow(player.windows.zoneMarker, SW_HIDE);

  char title[tags::kDisplayTitleCapacity] = {};
  tags::FormatDisplayTitle(path, title);
  SetCaption(title);
  if (player.windows.videoView != nullptr) {
    char caption[tags::kDisplayTitleCapacity + 32];
    std::snprintf(caption, sizeof(caption), kVideoCaptionFormat, title);
    SetWindowTextA(player.windows.videoView, caption);
  }
  if (player.currentTrackIndex >= 0 && player.windows.playlistList != nullptr) {
    // Column 3 of the playing row gets the measured length.
    char length[16];
    const LONGLONG seconds = session.duration / kUnitsPerSecond;
    std::snprintf(length, sizeof(length), "%02lld:%02lld", seconds / 60, seconds % 60);
    LVITEMA item{};
    item.iSubItem = 3;
    item.pszText = length;
    SendMessageA(player.windows.playlistList, LVM_SETITEMTEXTA, player.currentTrackIndex,
                 reinterpret_cast<LPARAM>(&item));
  }
  if (player.trayInUse) UpdateTrayTip();
  UpdateTitleTooltip(title);
  ShowPlayingTitle(title);

  Debug("STARTRun\n");
  if (session.control) {
    session.control->Run();
    Debug("EndRun\n");
    if (session.events) {
      session.events->SetNotifyWindow(reinterpret_cast<OAHWND>(player.windows.main),
                                      kGraphEventMessage, 0);
    }
    Debug("EndNotifyWindow\n");
  } else {
    Debug("AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA\n");
  }
  player.state = kStatePlaying;
  StartPositionTimer();
}

}  // namespace

MediaSession& Session() {
  static MediaSession session;
  return session;
}

void ShowTitleText(const char* text) {
  if (Player().windows.titleDisplay != nullptr) SetWindowTextA(Player().windows.titleDisplay, text);
}

void OpenAndPlay(const char* path) {
  auto& session = Session();
  auto& player = Player();
  Debug("START\n");
  if (player.state != kStateClosed) StopAndClose();

  // The path may be the current-path buffer itself.
  char requested[kPathCapacity];
  std::snprintf(requested, sizeof(requested), "%s", path);
  std::snprintf(player.currentPath, sizeof(player.currentPath), "%s", requested);
  session.widePath[0] = L'\0';
  MultiByteToWideChar(CP_ACP, 0, requested, -1, session.widePath, kPathCapacity);

  const HRESULT init = CoInitialize(nullptr);
  session.comInitialized = SUCCEEDED(init);
  if (FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                              IID_PPV_ARGS(&session.graph)))) {
    ShowTitleText(kUnsupported);
    CloseFailedBuild();
    return;
  }
  ++session.graphsBuilt;

  // The equalizer goes into every graph; the flags only decide what it is told.
  // The field holds the filter interface, so a late creation asks for that too.
  if (!session.equalizer) {
    CoCreateInstance(CLSID_Equalizer, nullptr, CLSCTX_INPROC_SERVER,
                     IID_PPV_ARGS(session.equalizer.ReleaseAndGetAddressOf()));
  }
  if (session.equalizer) {
    ComPtr<IEqualizer> control;
    if (player.equalizerOn && SUCCEEDED(session.equalizer.As(&control))) {
      control->EnableEqualizer(TRUE);
      control->SetBands(player.bands);
    }
    control.Reset();
    if (player.voiceRemovalOn && SUCCEEDED(session.equalizer.As(&control))) {
      control->EnableVoiceRemoval(TRUE);
    }
    session.graph->AddFilter(session.equalizer.Get(), kEqualizerFilterName);
  }

  const std::string_view whole(requested);
  const std::string extension(whole.substr(platform::ExtensionOffset(whole)));
  const bool isUrl = platform::LooksLikeUrl(whole);
  bool built = false;

  if (isUrl) {
    if (HasExtension(extension.c_str(), {".asx"})) {
      ReleaseGraphOnly();
      FollowAsx(requested, true);
      return;
    }
    if (!HasExtension(extension.c_str(), {".wma", ".wmv", ".asf"})) {
      if (!PlayUrl()) return;
      built = true;
    }
  } else if (HasExtension(extension.c_str(), {".asx"})) {
    ReleaseGraphOnly();
    FollowAsx(requested, false);
    return;
  }

  if (!built && player.useWmp71 && HasExtension(extension.c_str(), {".wma", ".wmv", ".asf"})) {
    bool failed = false;
    built = TryWindowsMediaCore(failed);
    if (failed) return;
  }

  if (!built && HasExtension(extension.c_str(), {".cda"})) {
    if (!PlayCdTrack()) return;
    built = true;
  }

  if (!built) {
    if (player.useCapture &&
        HasExtension(extension.c_str(), {".avi", ".mpg", ".mpeg", ".asf", ".mov", ".qt", ".m1v"})) {
      InsertFrameGrabber(true);
    }
    InsertEffects();
    if (FAILED(session.graph->RenderFile(session.widePath, nullptr))) {
      RemoveEqualizerFromGraph();
      ShowTitleText(kUnsupported);
      CloseFailedBuild();
      return;
    }
  }
  FinishAndRun(requested);
}

HRESULT RenderOutputPins(IGraphBuilder* graph, IBaseFilter* filter) {
  if (graph == nullptr || filter == nullptr) return E_POINTER;
  ComPtr<IEnumPins> pins;
  HRESULT result = filter->EnumPins(&pins);
  if (FAILED(result) || !pins) {
    Debug("Failed Enum Pins\n");
    return S_OK;
  }
  ComPtr<IPin> pin;
  while (pins->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
    PIN_DIRECTION direction{};
    const HRESULT hr = pin->QueryDirection(&direction);
    if (FAILED(hr)) {
      result = hr;
      continue;
    }
    if (direction == PINDIR_OUTPUT) result = graph->Render(pin.Get());
  }
  return result;
}

void DetectVideo() {
  auto& session = Session();
  session.audioOnly = 0;
  if (!session.videoWindow || !session.basicVideo) {
    session.audioOnly = 1;
    return;
  }
  long visible = 0;
  if (session.videoWindow->get_Visible(&visible) == E_NOINTERFACE) session.audioOnly = 1;
}

void TearDownGraph() {
  auto& session = Session();
  if (session.videoWindow) {
    session.videoWindow->put_Visible(OAFALSE);
    session.videoWindow->put_Owner(0);
  }
  session.events.Reset();
  {
    // The position timer must never use the interface while it is released.
    std::lock_guard<std::mutex> lock(session.seekingLock);
    session.seeking.Reset();
  }
  session.control.Reset();
  session.basicAudio.Reset();
  session.basicVideo.Reset();
  session.videoWindow.Reset();
  session.frameStep.Reset();
  session.grabber.Reset();
  session.openProgress.Reset();
  session.source.Reset();
  session.graph.Reset();
  if (session.comInitialized) {
    CoUninitialize();
    session.comInitialized = false;
  }
}

void CreateOrRegisterEqualizer() {
  auto& session = Session();
  auto& player = Player();
  HRESULT hr = CoCreateInstance(CLSID_Equalizer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                reinterpret_cast<void**>(session.equalizer.ReleaseAndGetAddressOf()));
  char marker[16] = {};
  settings::ReadSettingString(settings::kPlayerSubkey, kRegisterMarkerName, marker, sizeof(marker), "");
  const bool registered = std::strcmp(marker, kRegisterMarkerValue) == 0;
  if (registered && SUCCEEDED(hr) && session.equalizer) return;
  if (!(registered && SUCCEEDED(hr))) session.equalizer.Reset();

  char command[2 * kPathCapacity + 32];
  std::snprintf(command, sizeof(command), kRegisterCommandFormat, kRegistrationTool,
                player.appDirectory, kEqualizerFile);
  Debug(command);
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (CreateProcessA(nullptr, command, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
    CloseHandle(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hProcess);
  }
  Debug("Register Equalizer");
  if (settings::OpenSettingsKey(settings::kProductKey) != nullptr) {
    settings::WriteSettingString(settings::kPlayerSubkey, kRegisterMarkerName, kRegisterMarkerValue);
  }
  settings::CloseSettingsKey();
  CoCreateInstance(CLSID_Equalizer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                   reinterpret_cast<void**>(session.equalizer.ReleaseAndGetAddressOf()));
}

void ReleaseEqualizer() { Session().equalizer.Reset(); }

}  // namespace kestrun::playback
