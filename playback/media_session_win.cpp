#include "playback/media_session_win.h"

#include <dmodshow.h>
#include <uuids.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <string>

#include "equalizer/iequalizer.h"
#include "platform/ansi_path.h"
#include "platform/debug_line.h"
#include "platform/file_io.h"
#include "platform/limits.h"
#include "playback/equalizer_loader_win.h"
#include "playback/frame_grab_win.h"
#include "playback/mf_source_filter_win.h"
#include "playback/playback_view.h"
#include "playlist/asx_file.h"
#include "settings/settings_store_win.h"

namespace kestrun::playback {

using platform::DebugLine;
namespace {

// Filter names in the graph.
constexpr wchar_t kAsfReaderName[] = L"WM ASF Reader";
constexpr wchar_t kCdFilterName[] = L"WMP CD Filter";
constexpr wchar_t kGrabberName[] = L"SampleGrabber";

// Texts shown in the title display.
constexpr char kExpandingAsx[] = "asxファイルを展開中......";
constexpr char kUrlFailed[] = "URLの再生に失敗";
constexpr char kWmpCoreFailed[] = "未対応のファイルです by WMP7.1";
constexpr char kCdReading[] = "CDから読込中";
constexpr char kCdFailed[] = "CDの再生に失敗しました";

// Registration of the equalizer.
constexpr char kRegisterMarkerName[] = "RegisterEQ";
constexpr char kRegisterMarkerValue[] = "004";
constexpr char kEqualizerFile[] = "Equalizer.ax";
constexpr char kEqualizerFromModule[] = "Equalizer created from its module\n";
constexpr char kEqualizerUnavailable[] = "Equalizer unavailable\n";

// Debug lines of graph building. They are written word for word as they are here,
// odd spellings included, since whoever reads the debugger output searches for them.
constexpr char kGrabberInsertedLine[] = "SAMPLE\n";
constexpr char kWrapperCreatingLine[] = "START CO\n";
constexpr char kWrapperCreatedLine[] = "END CO\n";
constexpr char kWrapperMissingLine[] = "NULLLLLL FILTETETETETET\n";
constexpr char kWrapperFailedLine[] = "FAILED AAAAAAAAAAA\n";
constexpr char kAsfReaderCreatedLine[] = "End Create BaseFilter\n";
constexpr char kNoControlLine[] = "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA\n";
constexpr char kNoPinsLine[] = "Failed Enum Pins\n";
constexpr char kEqualizerNotAddedLine[] = "Equalizer not in the graph\n";
constexpr char kEffectNotLoadedLine[] = "Effect not loaded\n";
constexpr char kEffectNotAddedLine[] = "Effect not in the graph\n";
// Written on every registration attempt, without a line end, as it always was.
constexpr char kRegisterEqualizerLine[] = "Register Equalizer";
// With the result code of a failed build.
constexpr char kBuildFailedLine[] = "Graph build failed";
constexpr char kMfSourceFailedLine[] = "Media Foundation source failed";

// The frame grabber has no class identifier in the mingw headers.
// {C1F400A0-3F08-11D3-9F0B-006008039E37}
constexpr CLSID kClsidSampleGrabber = {0xC1F400A0, 0x3F08, 0x11D3, {0x9F, 0x0B, 0x00, 0x60, 0x08, 0x03, 0x9E, 0x37}};
// The audio-CD source filter of the media player installation.
// {CA9067FF-777D-4B65-AA5F-C0B27E3EC75D}
constexpr CLSID kClsidCdFilter = {0xCA9067FF, 0x777D, 0x4B65, {0xAA, 0x5F, 0xC0, 0xB2, 0x7E, 0x3E, 0xC7, 0x5D}};
// The DMO wrapper filter. {94297043-BD82-4DFD-B0DE-8177739C6D20}
constexpr CLSID kClsidDmoWrapperFilter = {0x94297043, 0xBD82, 0x4DFD, {0xB0, 0xDE, 0x81, 0x77, 0x73, 0x9C, 0x6D, 0x20}};
// DMO category the effect wrappers are initialised with (the audio-decoder one).
// {57F2DB8B-E6BB-4513-9D43-DCD2A6593125}
constexpr GUID kDmoCategoryAudioDecoder = {
    0x57F2DB8B, 0xE6BB, 0x4513, {0x9D, 0x43, 0xDC, 0xD2, 0xA6, 0x59, 0x31, 0x25}};

bool HasExtension(const std::string& extension, std::initializer_list<const char*> list) {
  for (const char* candidate : list) {
    if (platform::EqualsIgnoreCase(extension.c_str(), candidate)) return true;
  }
  return false;
}

}  // namespace

DirectShowSession::DirectShowSession(SessionWindows& windows) : windows_(windows) {}

DirectShowSession::~DirectShowSession() {
  TearDown();
  ReleaseFilters();
}

OpenOutcome DirectShowSession::Fail(const char* text, HRESULT code) {
  DebugLine(platform::CodeLine(kBuildFailedLine, static_cast<std::uint32_t>(code)));
  AbortPendingOpen();
  TearDown();
  OpenOutcome outcome;
  outcome.kind = OpenOutcome::Kind::Failed;
  outcome.failureText = text;
  outcome.failureCode = code;
  return outcome;
}

void DirectShowSession::RemoveEqualizerFromGraph() {
  if (graph_ && equalizer_ && equalizerInGraph_) graph_->RemoveFilter(equalizer_.Get());
  equalizerInGraph_ = false;
}

// Releases only the graph (before following an ASX reference, so the equalizer is
// never a member of two graphs at once).
void DirectShowSession::ReleaseGraphOnly() {
  RemoveEqualizerFromGraph();
  graph_.Reset();
  apartment_.reset();
}

// The equalizer goes into every graph; the flags only decide what it is told.
void DirectShowSession::AddEqualizer(const GraphOptions& options) {
  // The field holds the filter interface, so a late creation asks for that too.
  if (!equalizer_) CreateEqualizerObject();
  if (!equalizer_) return;
  ComPtr<IEqualizer> switches;
  if (SUCCEEDED(equalizer_.As(&switches))) {
    if (options.equalizerOn) {
      switches->EnableEqualizer(TRUE);
      equalizer::BandValues bands = options.bands;
      switches->SetBands(bands.data());
    }
    if (options.voiceRemovalOn) switches->EnableVoiceRemoval(TRUE);
  }
  equalizerInGraph_ = SUCCEEDED(graph_->AddFilter(equalizer_.Get(), kEqualizerFilterName));
  if (!equalizerInGraph_) DebugLine(kEqualizerNotAddedLine);
}

OpenOutcome DirectShowSession::FollowAsx(const std::string& path, bool isUrl, PlaybackView& view) {
  ReleaseGraphOnly();
  char reference[platform::kPathCapacity] = {};
  char title[playlist::kAsxTextSize] = {};
  char author[playlist::kAsxTextSize] = {};
  bool read = false;
  if (isUrl) {
    view.ShowTitleText(kExpandingAsx);
    read = playlist::downloadAndReadAsx(path.c_str(), reference, title, author) >= 0;
  } else {
    read = playlist::readAsxFile(path.c_str(), reference, title, author) != 0;
  }
  // The metafile readers give no result code of their own.
  if (!read) return Fail(kAsxFailedText, E_FAIL);
  OpenOutcome outcome;
  outcome.kind = OpenOutcome::Kind::FollowReference;
  outcome.reference = reference;
  outcome.title = title;
  outcome.author = author;
  return outcome;
}

void DirectShowSession::InsertFrameGrabber(bool keepAsSource) {
  ComPtr<IBaseFilter> grabberFilter;
  if (FAILED(CoCreateInstance(kClsidSampleGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&grabberFilter)))) {
    return;
  }
  if (FAILED(grabberFilter.As(&grabber_))) return;
  if (FAILED(graph_->AddFilter(grabberFilter.Get(), kGrabberName))) {
    grabber_.Reset();
    return;
  }
  AM_MEDIA_TYPE grabberType{};
  grabberType.majortype = MEDIATYPE_Video;
  grabberType.subtype = MEDIASUBTYPE_RGB24;
  grabberType.formattype = FORMAT_VideoInfo;
  // A grabber that will not take RGB would only stand in the video's way.
  if (FAILED(grabber_->SetMediaType(&grabberType))) {
    graph_->RemoveFilter(grabberFilter.Get());
    grabber_.Reset();
    return;
  }
  if (keepAsSource) source_ = grabberFilter;
  DebugLine(kGrabberInsertedLine);
}

void DirectShowSession::InsertEffects() {
  for (auto& entry : effects_) {
    // A checked row that no effect filled has nothing to insert.
    if (entry.enabled != 1 || !entry.HasEffect()) continue;
    if (!entry.wrapper) {
      DebugLine(kWrapperCreatingLine);
      const HRESULT hr =
          CoCreateInstance(kClsidDmoWrapperFilter, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&entry.wrapper));
      DebugLine(kWrapperCreatedLine);
      if (!entry.wrapper) DebugLine(kWrapperMissingLine);
      if (FAILED(hr) || !entry.wrapper) {
        DebugLine(kWrapperFailedLine);
        return;
      }
      // A wrapper whose effect cannot be loaded would pass nothing through.
      ComPtr<IDMOWrapperFilter> dmo;
      if (FAILED(entry.wrapper.As(&dmo)) || FAILED(dmo->Init(entry.clsid, kDmoCategoryAudioDecoder))) {
        DebugLine(kEffectNotLoadedLine);
        entry.wrapper.Reset();
        continue;
      }
    }
    if (FAILED(graph_->AddFilter(entry.wrapper.Get(), entry.wideName))) DebugLine(kEffectNotAddedLine);
  }
}

// The Windows Media core. Returns true when the graph got built, false to fall
// through (silently) to the CD check and the ordinary path; renderFailure is the
// failing result when rendering failed (S_OK otherwise), and the build ends then.
bool DirectShowSession::TryWindowsMediaCore(bool useCapture, HRESULT& renderFailure) {
  renderFailure = S_OK;
  HRESULT hr = CoCreateInstance(CLSID_WMAsfReader, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&source_));
  DebugLine(kAsfReaderCreatedLine);
  if (FAILED(hr) || !source_) {
    source_.Reset();
    return false;
  }
  ComPtr<IFileSourceFilter> fileSource;
  if (FAILED(graph_->AddFilter(source_.Get(), kAsfReaderName)) || FAILED(source_.As(&fileSource)) ||
      FAILED(fileSource->Load(widePath_, nullptr))) {
    // Take the reader out again so the ordinary path starts from a clean graph.
    graph_->RemoveFilter(source_.Get());
    source_.Reset();
    return false;
  }
  if (useCapture) InsertFrameGrabber(false);
  InsertEffects();
  hr = RenderOutputPins(graph_.Get(), source_.Get());
  fileSource.Reset();
  if (FAILED(hr)) {
    RemoveEqualizerFromGraph();
    renderFailure = hr;
    return false;
  }
  return true;
}

// The audio-CD path. Returns the failing result when the build failed.
HRESULT DirectShowSession::PlayCdTrack(PlaybackView& view) {
  view.ShowTitleText(kCdReading);
  HRESULT hr = CoCreateInstance(kClsidCdFilter, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&source_));
  if (SUCCEEDED(hr) && source_) {
    ComPtr<IFileSourceFilter> fileSource;
    hr = graph_->AddFilter(source_.Get(), kCdFilterName);
    if (SUCCEEDED(hr)) hr = source_.As(&fileSource);
    if (SUCCEEDED(hr)) hr = fileSource->Load(widePath_, nullptr);
    if (SUCCEEDED(hr)) hr = RenderOutputPins(graph_.Get(), source_.Get());
  } else {
    // Without the CD filter there is nothing to render: the same failure.
    hr = FAILED(hr) ? hr : E_NOINTERFACE;
  }
  if (FAILED(hr)) RemoveEqualizerFromGraph();
  return hr;
}

// Other URLs: the URL reader as source. Returns the failing result when the build failed.
HRESULT DirectShowSession::PlayUrl() {
  HRESULT hr = CoCreateInstance(CLSID_URLReader, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&source_));
  if (SUCCEEDED(hr) && !source_) hr = E_NOINTERFACE;
  if (FAILED(hr)) return hr;
  hr = graph_->AddFilter(source_.Get(), nullptr);
  if (FAILED(hr)) return hr;
  ComPtr<IFileSourceFilter> fileSource;
  hr = source_.As(&fileSource);
  source_.As(&openProgress_);
  if (SUCCEEDED(hr)) hr = fileSource->Load(widePath_, nullptr);
  if (FAILED(hr)) return hr;
  fileSource.Reset();
  hr = RenderOutputPins(graph_.Get(), source_.Get());
  if (FAILED(hr)) RemoveEqualizerFromGraph();
  return hr;
}

OpenOutcome DirectShowSession::Build(const std::string& path, const GraphOptions& options, PlaybackView& view) {
  widePath_[0] = L'\0';
  MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, widePath_, static_cast<int>(std::size(widePath_)));

  apartment_.emplace();
  HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&graph_));
  if (FAILED(hr)) return Fail(kUnsupportedText, hr);
  ++graphsBuilt_;
  AddEqualizer(options);

  const std::string_view whole(path);
  const std::string extension(whole.substr(platform::ExtensionOffset(whole)));
  const bool isUrl = platform::LooksLikeUrl(whole);
  bool built = false;

  if (HasExtension(extension, {".asx"})) return FollowAsx(path, isUrl, view);
  if (isUrl && !HasExtension(extension, {".wma", ".wmv", ".asf"})) {
    hr = PlayUrl();
    if (FAILED(hr)) return Fail(kUrlFailed, hr);
    built = true;
  }
  if (!built && options.useWmp71 && HasExtension(extension, {".wma", ".wmv", ".asf"})) {
    HRESULT renderFailure = S_OK;
    built = TryWindowsMediaCore(options.useCapture, renderFailure);
    if (FAILED(renderFailure)) return Fail(kWmpCoreFailed, renderFailure);
  }
  if (!built && HasExtension(extension, {".cda"})) {
    hr = PlayCdTrack(view);
    if (FAILED(hr)) return Fail(kCdFailed, hr);
    built = true;
  }
  if (!built && !isUrl && platform::IsMissingFile(path)) {
    // A file that is not there gets the answer RenderFile would give, without a
    // source filter being made for it (under Wine each such filter leaves its
    // reader thread behind, so a long list of missing files used up the process).
    RemoveEqualizerFromGraph();
    return Fail(kUnsupportedText, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  }
  if (!built) {
    if (options.useCapture && HasExtension(extension, {".avi", ".mpg", ".mpeg", ".asf", ".mov", ".qt", ".m1v"})) {
      InsertFrameGrabber(true);
    }
    InsertEffects();
    // Where DirectShow has no splitter for a file (FLAC or MPEG-4 audio on a stock
    // Windows), Media Foundation may still decode it. Which files need that is
    // found by trying, so a machine with more splitters keeps using them.
    // The outcome keeps RenderFile's refusal: the Media Foundation source reports its own.
    hr = graph_->RenderFile(widePath_, nullptr);
    if (FAILED(hr) && (isUrl || !BuildWithMediaFoundation(options))) {
      RemoveEqualizerFromGraph();
      return Fail(kUnsupportedText, hr);
    }
  }
  TakeInterfaces();
  graphBuiltPending_ = true;
  return BuiltOutcome();
}

bool DirectShowSession::BuildWithMediaFoundation(const GraphOptions& options) {
  // A fresh graph: a refused RenderFile may have left a source filter behind.
  RemoveEqualizerFromGraph();
  grabber_.Reset();
  source_.Reset();
  graph_.Reset();
  if (FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&graph_)))) {
    return false;
  }
  // Still the one build: the refused graph was never handed out, so it is not counted.
  AddEqualizer(options);
  InsertEffects();
  ComPtr<IFileSourceFilter> fileSource;
  HRESULT hr = CreateMfSourceFilter(source_.ReleaseAndGetAddressOf());
  if (SUCCEEDED(hr)) hr = graph_->AddFilter(source_.Get(), kMfSourceFilterName);
  if (SUCCEEDED(hr)) hr = source_.As(&fileSource);
  if (SUCCEEDED(hr)) hr = fileSource->Load(widePath_, nullptr);
  // A picture gets the frame grabber, as the video files DirectShow reads do.
  ComPtr<IPin> videoPin;
  if (SUCCEEDED(hr) && options.useCapture && SUCCEEDED(source_->FindPin(kMfSourceVideoPinName, &videoPin))) {
    InsertFrameGrabber(false);
  }
  if (SUCCEEDED(hr)) hr = RenderOutputPins(graph_.Get(), source_.Get());
  if (FAILED(hr)) {
    DebugLine(platform::CodeLine(kMfSourceFailedLine, static_cast<std::uint32_t>(hr)));
    return false;
  }
  return true;
}

void DirectShowSession::TakeInterfaces() {
  graph_.As(&control_);
  graph_.As(&events_);
  graph_.As(&basicAudio_);
  {
    std::lock_guard<std::mutex> lock(seekingLock_);
    graph_.As(&seeking_);
  }
  graph_.As(&videoWindow_);
  graph_.As(&basicVideo_);
  DetectVideo();
  if (!audioOnly_) PlaceVideoView();
}

void DirectShowSession::DetectVideo() {
  audioOnly_ = false;
  if (!videoWindow_ || !basicVideo_) {
    audioOnly_ = true;
    return;
  }
  long visible = 0;
  if (videoWindow_->get_Visible(&visible) == E_NOINTERFACE) audioOnly_ = true;
}

void DirectShowSession::PlaceVideoView() {
  const HWND main = windows_.EventWindow();
  const HWND view = windows_.VideoWindow();
  if (view != nullptr && main != nullptr) {
    RECT rect{};
    GetWindowRect(main, &rect);
    SetWindowPos(view, nullptr, rect.left, rect.bottom, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOOWNERZORDER | SWP_NOACTIVATE);
  }
  graph_.As(&frameStep_);
  if (videoWindow_ && view != nullptr) {
    videoWindow_->put_Owner(reinterpret_cast<OAHWND>(view));
    videoWindow_->put_WindowStyle(WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN);
    videoWindow_->put_MessageDrain(reinterpret_cast<OAHWND>(view));
  }
  if (grabber_) {
    grabber_->SetBufferSamples(FALSE);
    grabber_->SetOneShot(FALSE);
  }
  if (videoStarted_) videoStarted_();
}

void DirectShowSession::TearDown() {
  if (videoWindow_) {
    videoWindow_->put_Visible(OAFALSE);
    videoWindow_->put_Owner(0);
  }
  events_.Reset();
  {
    // The position timer must never use the interface while it is released.
    std::lock_guard<std::mutex> lock(seekingLock_);
    seeking_.Reset();
  }
  control_.Reset();
  basicAudio_.Reset();
  basicVideo_.Reset();
  videoWindow_.Reset();
  frameStep_.Reset();
  grabber_.Reset();
  openProgress_.Reset();
  source_.Reset();
  graph_.Reset();
  equalizerInGraph_ = false;
  graphBuiltPending_ = false;
  audioOnly_ = true;
  apartment_.reset();
}

void DirectShowSession::AbortPendingOpen() {
  if (openProgress_) openProgress_->AbortOperation();
}

bool DirectShowSession::Run() {
  if (!control_) {
    DebugLine(kNoControlLine);
    return false;
  }
  const bool running = SUCCEEDED(control_->Run());
  // The graph orders its filters when it starts, so a new graph is reported once it
  // runs: a list filled then matches every later refill.
  if (graphBuiltPending_) {
    graphBuiltPending_ = false;
    if (graphBuilt_) graphBuilt_();
  }
  return running;
}

bool DirectShowSession::Pause() { return control_ && SUCCEEDED(control_->Pause()); }

bool DirectShowSession::Stop() { return control_ && SUCCEEDED(control_->Stop()); }

bool DirectShowSession::SetRate(double rate) {
  std::lock_guard<std::mutex> lock(seekingLock_);
  return seeking_ && SUCCEEDED(seeking_->SetRate(rate));
}

bool DirectShowSession::SetVolume(long volume) { return basicAudio_ && SUCCEEDED(basicAudio_->put_Volume(volume)); }

bool DirectShowSession::RouteEvents() {
  return events_ &&
         SUCCEEDED(events_->SetNotifyWindow(reinterpret_cast<OAHWND>(windows_.EventWindow()), kGraphEventMessage, 0));
}

bool DirectShowSession::NextEvent(long& code) {
  if (!events_) return false;
  LONG_PTR param1 = 0;
  LONG_PTR param2 = 0;
  if (FAILED(events_->GetEvent(&code, &param1, &param2, 0))) return false;
  events_->FreeEventParams(code, param1, param2);
  return true;
}

std::int64_t DirectShowSession::Duration() {
  std::lock_guard<std::mutex> lock(seekingLock_);
  LONGLONG duration = 0;
  if (!seeking_ || FAILED(seeking_->GetDuration(&duration))) return 0;
  return duration;
}

bool DirectShowSession::CurrentPosition(std::int64_t& position) {
  std::lock_guard<std::mutex> lock(seekingLock_);
  LONGLONG current = 0;
  if (!seeking_ || FAILED(seeking_->GetCurrentPosition(&current))) return false;
  position = current;
  return true;
}

bool DirectShowSession::SeekTo(std::int64_t position, bool toKeyFrame) {
  std::lock_guard<std::mutex> lock(seekingLock_);
  if (!seeking_) return false;
  LONGLONG target = position;
  const DWORD flags =
      toKeyFrame ? (AM_SEEKING_AbsolutePositioning | AM_SEEKING_SeekToKeyFrame) : AM_SEEKING_AbsolutePositioning;
  return SUCCEEDED(seeking_->SetPositions(&target, flags, nullptr, AM_SEEKING_NoPositioning));
}

std::optional<SIZE> DirectShowSession::NativeVideoSize() {
  if (!basicVideo_) return std::nullopt;
  long width = 0;
  long height = 0;
  if (FAILED(basicVideo_->GetVideoSize(&width, &height)) || width <= 0 || height <= 0) return std::nullopt;
  return SIZE{width, height};
}

bool DirectShowSession::PlaceVideo(int width, int height) {
  return videoWindow_ && SUCCEEDED(videoWindow_->SetWindowPosition(0, 0, width, height));
}

std::optional<bool> DirectShowSession::FullScreen() {
  long mode = OAFALSE;
  if (!videoWindow_ || FAILED(videoWindow_->get_FullScreenMode(&mode))) return std::nullopt;
  return mode != OAFALSE;
}

void DirectShowSession::SetFullScreen(bool on) {
  if (videoWindow_) videoWindow_->put_FullScreenMode(on ? OATRUE : OAFALSE);
}

HWND DirectShowSession::MessageDrain() {
  OAHWND drain = 0;
  if (!videoWindow_ || FAILED(videoWindow_->get_MessageDrain(&drain))) return nullptr;
  return reinterpret_cast<HWND>(drain);
}

void DirectShowSession::SetMessageDrain(HWND drain) {
  if (videoWindow_) videoWindow_->put_MessageDrain(reinterpret_cast<OAHWND>(drain));
}

void DirectShowSession::BringVideoToFront() {
  if (videoWindow_) videoWindow_->SetWindowForeground(OATRUE);
}

bool DirectShowSession::StepOneFrame() { return frameStep_ && SUCCEEDED(frameStep_->Step(1, nullptr)); }

HRESULT DirectShowSession::GrabFrame(GrabbedFrame& frame) {
  const HRESULT hr = GrabCurrentFrame(grabber_.Get(), control_.Get(), seeking_.Get(), events_.Get(), frame);
  if (grabber_) {
    grabber_->SetBufferSamples(FALSE);
    grabber_->SetOneShot(FALSE);
  }
  return hr;
}

std::vector<ComPtr<IBaseFilter>> DirectShowSession::Filters() const {
  std::vector<ComPtr<IBaseFilter>> filters;
  ComPtr<IEnumFilters> all;
  if (!graph_ || FAILED(graph_->EnumFilters(&all)) || !all) return filters;
  all->Reset();
  ComPtr<IBaseFilter> filter;
  while (all->Next(1, filter.ReleaseAndGetAddressOf(), nullptr) == S_OK && filter) filters.push_back(filter);
  return filters;
}

HRESULT RenderOutputPins(IGraphBuilder* graph, IBaseFilter* filter) {
  if (graph == nullptr || filter == nullptr) return E_POINTER;
  ComPtr<IEnumPins> pins;
  HRESULT result = filter->EnumPins(&pins);
  if (FAILED(result) || !pins) {
    DebugLine(kNoPinsLine);
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

void DirectShowSession::CreateOrRegisterEqualizer(const char* appDirectory) {
  modulePath_ = std::string(appDirectory) + "\\" + kEqualizerFile;
  // A registration that names a copy elsewhere (a portable folder moved) is none:
  // that copy is not created, and this one is registered in its place.
  HRESULT hr = REGDB_E_CLASSNOTREG;
  if (EqualizerRegisteredAt(modulePath_)) {
    hr = CoCreateInstance(CLSID_Equalizer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                          reinterpret_cast<void**>(equalizer_.ReleaseAndGetAddressOf()));
  }
  char marker[16] = {};
  settings::ReadSettingString(settings::kPlayerSubkey, kRegisterMarkerName, marker, sizeof(marker), "");
  const bool registered = std::strcmp(marker, kRegisterMarkerValue) == 0;
  if (registered && SUCCEEDED(hr) && equalizer_) return;
  equalizer_.Reset();

  // Registered in this process by the module's own entry point, for this user:
  // a registration tool found by a bare name could be any program of that name in
  // the program's folder or the current one (a media folder when started through an
  // association), and the user's copy is no machine-wide server. The marker is
  // written only for a registration that succeeded, so a failed one is tried again.
  const HRESULT registration = RegisterEqualizerForUser(modulePath_);
  DebugLine(kRegisterEqualizerLine);
  if (SUCCEEDED(registration) && settings::OpenSettingsKey(settings::kProductKey) != nullptr) {
    settings::WriteSettingString(settings::kPlayerSubkey, kRegisterMarkerName, kRegisterMarkerValue);
  }
  settings::CloseSettingsKey();
  CreateEqualizerObject();
}

void DirectShowSession::CreateEqualizerObject() {
  // Before start-up has named the module, COM decides alone.
  if (modulePath_.empty() || EqualizerRegisteredAt(modulePath_)) {
    CoCreateInstance(CLSID_Equalizer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                     reinterpret_cast<void**>(equalizer_.ReleaseAndGetAddressOf()));
  }
  if (equalizer_ || modulePath_.empty()) return;
  // Not registered here, or registered only where this system's COM does not look
  // (the user's classes under Wine): the module's own factory needs no registration.
  if (SUCCEEDED(equalizerModule_.Create(modulePath_, equalizer_.ReleaseAndGetAddressOf()))) {
    DebugLine(kEqualizerFromModule);
  } else {
    equalizer_.Reset();
    DebugLine(kEqualizerUnavailable);
  }
}

void DirectShowSession::ReleaseFilters() {
  for (auto& entry : effects_) entry.wrapper.Reset();
  equalizer_.Reset();
  equalizerModule_.Unload();
}

}  // namespace kestrun::playback
