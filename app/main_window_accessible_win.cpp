#include "app/main_window_accessible_win.h"

#include <commctrl.h>
#include <oleacc.h>

#include <algorithm>
#include <climits>
#include <new>
#include <string_view>

#include "app/main_window_win.h"
#include "platform/com_object_win.h"
#include "platform/shell_path_win.h"
#include "platform/time_format.h"
#include "resources/resource_ids.h"
#include "settings/settings_conversions.h"
#include "skin/skin_layout.h"

namespace kestrun::app {
namespace {

// The interface id from the header's declaration: the import library's IID_IAccessible
// is a symbol of oleacc.dll, which a reference without dllimport resolves to the
// import's code instead of the id.
const IID kIidAccessible = __uuidof(IAccessible);
constexpr UINT_PTR kKnobWatchId = 0x4143;
// How often the throttle looks for held-back announcements.
constexpr UINT kAnnouncementTickMs = 100;
// The running time changes every second; a drag or a title changes faster.
constexpr DWORD kTimeGapMs = 1000;
constexpr DWORD kQuickGapMs = 250;
// The focus frame stands this many face pixels outside its control; the gaps between
// the face's controls are wider than two of these.
constexpr int kFrameMargin = 2;

enum class Kind { Button, Slider, Text };

struct ChildInfo {
  FaceChild child;
  int controlId;
  UINT nameId;  // 0: the name is the text the control shows
  Kind kind;
  const wchar_t* keys;  // the title display's key for the same command
};

constexpr ChildInfo kChildren[kFaceChildCount] = {
    {FaceChild::Previous, IDC_PREVIOUS_BUTTON, IDS_ACCESS_PREVIOUS, Kind::Button, L"V"},
    {FaceChild::Play, IDC_PLAY_BUTTON, IDS_ACCESS_PLAY, Kind::Button, L"P"},
    {FaceChild::Pause, IDC_PAUSE_BUTTON, IDS_ACCESS_PAUSE, Kind::Button, L"H"},
    {FaceChild::Stop, IDC_STOP_BUTTON, IDS_ACCESS_STOP, Kind::Button, L"E"},
    {FaceChild::Next, IDC_NEXT_BUTTON, IDS_ACCESS_NEXT, Kind::Button, L"N"},
    {FaceChild::Open, IDC_OPEN_BUTTON, IDS_ACCESS_OPEN, Kind::Button, L"O"},
    {FaceChild::Playlist, IDC_PLAYLIST_BUTTON, IDS_ACCESS_PLAYLIST, Kind::Button, L"C"},
    {FaceChild::Minimize, IDC_MINIMIZE_BUTTON, IDS_ACCESS_MINIMIZE, Kind::Button, L"U"},
    {FaceChild::Exit, IDC_EXIT_BUTTON, IDS_ACCESS_EXIT, Kind::Button, L"X"},
    {FaceChild::Seek, IDC_SEEK_KNOB, IDS_ACCESS_SEEK, Kind::Slider, nullptr},
    {FaceChild::Volume, IDC_VOLUME_KNOB, IDS_ACCESS_VOLUME, Kind::Slider, nullptr},
    {FaceChild::Time, IDC_TIME_DISPLAY, 0, Kind::Text, nullptr},
    {FaceChild::Title, IDC_TITLE_DISPLAY, 0, Kind::Text, nullptr},
};

const ChildInfo* InfoOf(FaceChild child) {
  const long index = static_cast<long>(child) - 1;
  if (index < 0 || index >= kFaceChildCount) return nullptr;
  return &kChildren[index];
}

// Buttons and knobs take the focus frame; the two texts are only read.
bool TakesFocus(FaceChild child) {
  const ChildInfo* info = InfoOf(child);
  return info != nullptr && info->kind != Kind::Text;
}

std::string WindowTextOf(HWND window) {
  if (window == nullptr) return {};
  // Room for every character being double-byte (the rich-edit control counts characters).
  const int capacity = 2 * GetWindowTextLengthA(window) + 1;
  std::string text(static_cast<std::size_t>(capacity), '\0');
  const int read = GetWindowTextA(window, text.data(), capacity);
  text.resize(read > 0 ? static_cast<std::size_t>(read) : 0);
  return text;
}

HRESULT ReturnText(const std::wstring& text, BSTR* out) {
  *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT ReturnAnsi(const std::string& text, BSTR* out) { return ReturnText(platform::WideFromAnsi(text), out); }

std::wstring ResourceText(UINT id) {
  const wchar_t* text = nullptr;
  // With no buffer size the call answers a pointer into the loaded resource itself.
  const int length = LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
  if (length <= 0 || text == nullptr) return {};
  return std::wstring(text, static_cast<std::size_t>(length));
}

// The seek knob's value from the time text: "01:05/03:42" reads "01:05 / 03:42".
std::string SeekValue(const std::string& timeText) {
  const std::size_t slash = timeText.find('/');
  if (slash == std::string::npos) return timeText;
  return timeText.substr(0, slash) + " / " + timeText.substr(slash + 1);
}

RECT ScreenRectOf(HWND window) {
  RECT rect{};
  if (window != nullptr) GetWindowRect(window, &rect);
  return rect;
}

bool Shown(HWND control) { return control != nullptr && IsWindowVisible(control); }

// The face's zoom on this screen: the window is the face's size times it.
int FaceZoom(HWND main) {
  RECT client{};
  GetClientRect(main, &client);
  return client.right >= skin::kFaceWidth ? client.right / skin::kFaceWidth : 1;
}

}  // namespace

// The accessible object of the main window's client area. It holds no state of its
// own: each answer reads the windows through the owner, and once the owner let it go
// (the window is closing) every call answers that the object is gone.
class FaceAccessible final : public platform::ComObject<IAccessible> {
 public:
  static FaceAccessible* Create(MainWindowAccessibility& owner) { return new (std::nothrow) FaceAccessible(owner); }
  void Disconnect() { owner_ = nullptr; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    IAccessible* self = this;
    return platform::QueryInterfaceFrom(
        iid, out,
        {platform::ComInterfaceEntry{&IID_IUnknown, self}, platform::ComInterfaceEntry{&IID_IDispatch, self},
         platform::ComInterfaceEntry{&kIidAccessible, self}});
  }

  // IDispatch: clients call the methods directly; there is no type information.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info != nullptr) *info = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }

  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
    if (parent == nullptr) return E_POINTER;
    *parent = nullptr;
    if (owner_ == nullptr) return RPC_E_DISCONNECTED;
    return CreateStdAccessibleObject(owner_->window(), OBJID_WINDOW, IID_IDispatch, reinterpret_cast<void**>(parent));
  }
  HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    if (owner_ == nullptr) return RPC_E_DISCONNECTED;
    *count = kFaceChildCount;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT id, IDispatch** child) override {
    if (child == nullptr) return E_POINTER;
    *child = nullptr;
    FaceChild which{};
    if (const HRESULT valid = Resolve(id, &which); FAILED(valid)) return valid;
    // Every child is a simple element of this object, not an object of its own.
    return which == FaceChild::None ? E_INVALIDARG : S_FALSE;
  }

  HRESULT STDMETHODCALLTYPE get_accName(VARIANT id, BSTR* name) override {
    FaceChild which{};
    if (const HRESULT valid = StartText(id, name, &which); FAILED(valid)) return valid;
    switch (which) {
      case FaceChild::None:
        return ReturnAnsi(WindowTextOf(owner_->window()), name);
      case FaceChild::Time:
        return ReturnAnsi(owner_->timeText(), name);
      case FaceChild::Title:
        return ReturnAnsi(owner_->title(), name);
      default:
        return ReturnText(ResourceText(InfoOf(which)->nameId), name);
    }
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT id, BSTR* value) override {
    FaceChild which{};
    if (const HRESULT valid = StartText(id, value, &which); FAILED(valid)) return valid;
    switch (which) {
      case FaceChild::Seek:
        return ReturnAnsi(SeekValue(owner_->timeText()), value);
      case FaceChild::Volume:
        return ReturnText(std::to_wstring(owner_->volumePercent()), value);
      case FaceChild::Time:
        return ReturnAnsi(owner_->timeText(), value);
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT id, BSTR* description) override {
    return NoText(id, description);
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT id, VARIANT* role) override {
    if (role == nullptr) return E_POINTER;
    VariantInit(role);
    FaceChild which{};
    if (const HRESULT valid = Resolve(id, &which); FAILED(valid)) return valid;
    role->vt = VT_I4;
    if (which == FaceChild::None) {
      role->lVal = ROLE_SYSTEM_CLIENT;
      return S_OK;
    }
    switch (InfoOf(which)->kind) {
      case Kind::Button:
        role->lVal = ROLE_SYSTEM_PUSHBUTTON;
        break;
      case Kind::Slider:
        role->lVal = ROLE_SYSTEM_SLIDER;
        break;
      case Kind::Text:
        role->lVal = ROLE_SYSTEM_STATICTEXT;
        break;
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT id, VARIANT* state) override {
    if (state == nullptr) return E_POINTER;
    VariantInit(state);
    FaceChild which{};
    if (const HRESULT valid = Resolve(id, &which); FAILED(valid)) return valid;
    state->vt = VT_I4;
    state->lVal = StateOf(which);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT id, BSTR* help) override { return NoText(id, help); }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT id, LONG* topic) override {
    if (file != nullptr) *file = nullptr;
    if (topic != nullptr) *topic = 0;
    FaceChild which{};
    if (const HRESULT valid = Resolve(id, &which); FAILED(valid)) return valid;
    return DISP_E_MEMBERNOTFOUND;
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT id, BSTR* shortcut) override {
    FaceChild which{};
    if (const HRESULT valid = StartText(id, shortcut, &which); FAILED(valid)) return valid;
    const ChildInfo* info = InfoOf(which);
    if (info == nullptr || info->keys == nullptr) return DISP_E_MEMBERNOTFOUND;
    return ReturnText(info->keys, shortcut);
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
    if (focus == nullptr) return E_POINTER;
    VariantInit(focus);
    if (owner_ == nullptr) return RPC_E_DISCONNECTED;
    HWND main = owner_->window();
    HWND holder = GetFocus();
    if (holder == nullptr || (holder != main && !IsChild(main, holder))) return S_FALSE;
    focus->vt = VT_I4;
    focus->lVal = owner_->frameShown() ? static_cast<long>(owner_->focused()) : CHILDID_SELF;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
    if (selection == nullptr) return E_POINTER;
    VariantInit(selection);
    if (owner_ == nullptr) return RPC_E_DISCONNECTED;
    return S_FALSE;  // nothing here is selected, only focused
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT id, BSTR* action) override {
    FaceChild which{};
    if (const HRESULT valid = StartText(id, action, &which); FAILED(valid)) return valid;
    const ChildInfo* info = InfoOf(which);
    if (info == nullptr || info->kind != Kind::Button) return DISP_E_MEMBERNOTFOUND;
    return ReturnText(ResourceText(IDS_ACCESS_PRESS), action);
  }

  HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT id) override {
    FaceChild which{};
    if (const HRESULT valid = Resolve(id, &which); FAILED(valid)) return valid;
    if (flags != SELFLAG_TAKEFOCUS) return E_INVALIDARG;
    if (which == FaceChild::None) {
      SetFocus(GetDlgItem(owner_->window(), IDC_TITLE_DISPLAY));
      return S_OK;
    }
    return owner_->Focus(which) ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT id) override {
    if (left == nullptr || top == nullptr || width == nullptr || height == nullptr) return E_POINTER;
    *left = *top = *width = *height = 0;
    FaceChild which{};
    if (const HRESULT valid = Resolve(id, &which); FAILED(valid)) return valid;
    const RECT rect = ScreenRectOfChild(which);
    *left = rect.left;
    *top = rect.top;
    *width = rect.right - rect.left;
    *height = rect.bottom - rect.top;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
    if (end == nullptr) return E_POINTER;
    VariantInit(end);
    FaceChild from{};
    if (const HRESULT valid = Resolve(start, &from); FAILED(valid)) return valid;
    long to = 0;
    switch (direction) {
      case NAVDIR_FIRSTCHILD:
      case NAVDIR_LASTCHILD:
        if (from != FaceChild::None) return E_INVALIDARG;
        to = direction == NAVDIR_FIRSTCHILD ? 1 : kFaceChildCount;
        break;
      case NAVDIR_NEXT:
      case NAVDIR_PREVIOUS:
        // The object's own siblings are the window's business, reached through its parent.
        if (from == FaceChild::None) return S_FALSE;
        to = static_cast<long>(from) + (direction == NAVDIR_NEXT ? 1 : -1);
        if (to < 1 || to > kFaceChildCount) return S_FALSE;
        break;
      case NAVDIR_LEFT:
      case NAVDIR_RIGHT:
      case NAVDIR_UP:
      case NAVDIR_DOWN:
        if (from == FaceChild::None) return S_FALSE;
        to = Nearest(from, direction);
        if (to == 0) return S_FALSE;
        break;
      default:
        return E_INVALIDARG;
    }
    end->vt = VT_I4;
    end->lVal = to;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* hit) override {
    if (hit == nullptr) return E_POINTER;
    VariantInit(hit);
    if (owner_ == nullptr) return RPC_E_DISCONNECTED;
    const POINT point{x, y};
    for (const ChildInfo& info : kChildren) {
      HWND control = GetDlgItem(owner_->window(), info.controlId);
      const RECT rect = ScreenRectOf(control);
      if (Shown(control) && PtInRect(&rect, point)) {
        hit->vt = VT_I4;
        hit->lVal = static_cast<long>(info.child);
        return S_OK;
      }
    }
    const RECT client = ScreenRectOfChild(FaceChild::None);
    if (!PtInRect(&client, point)) return S_FALSE;
    hit->vt = VT_I4;
    hit->lVal = CHILDID_SELF;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT id) override {
    FaceChild which{};
    if (const HRESULT valid = Resolve(id, &which); FAILED(valid)) return valid;
    const ChildInfo* info = InfoOf(which);
    if (info == nullptr || info->kind != Kind::Button) return DISP_E_MEMBERNOTFOUND;
    // A disabled or hidden button cannot be clicked either.
    return owner_->Press(which) ? S_OK : E_FAIL;
  }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

 private:
  explicit FaceAccessible(MainWindowAccessibility& owner) : owner_(&owner) {}
  ~FaceAccessible() override = default;

  // The child a VARIANT names: CHILDID_SELF (None) or 1..count.
  HRESULT Resolve(const VARIANT& id, FaceChild* which) const {
    if (owner_ == nullptr || !IsWindow(owner_->window())) return RPC_E_DISCONNECTED;
    if (id.vt != VT_I4 || id.lVal < 0 || id.lVal > kFaceChildCount) return E_INVALIDARG;
    *which = static_cast<FaceChild>(id.lVal);
    return S_OK;
  }
  // The start of every text property: the out pointer checked and cleared, the child.
  HRESULT StartText(const VARIANT& id, BSTR* text, FaceChild* which) const {
    if (text == nullptr) return E_POINTER;
    *text = nullptr;
    return Resolve(id, which);
  }
  HRESULT NoText(const VARIANT& id, BSTR* text) const {
    FaceChild which{};
    if (const HRESULT valid = StartText(id, text, &which); FAILED(valid)) return valid;
    return DISP_E_MEMBERNOTFOUND;
  }
  HWND Control(FaceChild which) const { return GetDlgItem(owner_->window(), InfoOf(which)->controlId); }

  RECT ScreenRectOfChild(FaceChild which) const {
    if (which != FaceChild::None) return ScreenRectOf(Control(which));
    RECT client{};
    GetClientRect(owner_->window(), &client);
    MapWindowPoints(owner_->window(), nullptr, reinterpret_cast<POINT*>(&client), 2);
    return client;
  }

  long StateOf(FaceChild which) const {
    HWND main = owner_->window();
    if (which == FaceChild::None) {
      long state = STATE_SYSTEM_FOCUSABLE;
      if (!IsWindowVisible(main)) state |= STATE_SYSTEM_INVISIBLE;
      HWND holder = GetFocus();
      if (holder != nullptr && (holder == main || IsChild(main, holder)) && !owner_->frameShown()) {
        state |= STATE_SYSTEM_FOCUSED;
      }
      return state;
    }
    HWND control = Control(which);
    long state = 0;
    if (control == nullptr || !IsWindowVisible(control)) state |= STATE_SYSTEM_INVISIBLE;
    if (control != nullptr && !IsWindowEnabled(control)) state |= STATE_SYSTEM_UNAVAILABLE;
    const Kind kind = InfoOf(which)->kind;
    if (kind == Kind::Text) state |= STATE_SYSTEM_READONLY;
    if (kind != Kind::Text) state |= STATE_SYSTEM_FOCUSABLE;
    if (kind == Kind::Button && control != nullptr && (SendMessageW(control, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0) {
      state |= STATE_SYSTEM_PRESSED;
    }
    if (owner_->frameShown() && owner_->focused() == which) state |= STATE_SYSTEM_FOCUSED;
    return state;
  }

  // The shown child nearest to from in a direction, by the distance of their centres
  // among those wholly on that side; 0 when there is none.
  long Nearest(FaceChild from, long direction) const {
    const RECT a = ScreenRectOfChild(from);
    long best = 0;
    long long bestDistance = LLONG_MAX;
    for (const ChildInfo& info : kChildren) {
      if (info.child == from || !Shown(Control(info.child))) continue;
      const RECT b = ScreenRectOfChild(info.child);
      const bool beyond =
          (direction == NAVDIR_LEFT && b.right <= a.left) || (direction == NAVDIR_RIGHT && b.left >= a.right) ||
          (direction == NAVDIR_UP && b.bottom <= a.top) || (direction == NAVDIR_DOWN && b.top >= a.bottom);
      if (!beyond) continue;
      const long long dx = (b.left + b.right - a.left - a.right) / 2;
      const long long dy = (b.top + b.bottom - a.top - a.bottom) / 2;
      const long long distance = dx * dx + dy * dy;
      if (distance < bestDistance) {
        bestDistance = distance;
        best = static_cast<long>(info.child);
      }
    }
    return best;
  }

  MainWindowAccessibility* owner_;
};

FaceActions PlayerFaceActions(playback::PlaybackController& engine, MediaKeyActions& volumeKeys) {
  FaceActions actions;
  actions.volumePercent = [&engine] { return 100 - settings::StoredVolumeFromPlayback(engine.state().volume); };
  actions.stepVolume = [&volumeKeys](bool louder) {
    volumeKeys.Run(louder ? MediaAction::VolumeUp : MediaAction::VolumeDown);
  };
  actions.seekBy = [&engine](int seconds) {
    const auto& state = engine.state();
    if (state.duration <= 0) return;
    const double target =
        static_cast<double>(state.position) + seconds * static_cast<double>(platform::kUnitsPerSecond);
    // As a release of the dragged knob there: nothing when nothing plays, the zone's
    // start while a zone repeats.
    engine.SeekToFraction(std::clamp(target / static_cast<double>(state.duration), 0.0, 1.0));
  };
  return actions;
}

MainWindowAccessibility::MainWindowAccessibility(FaceActions actions)
    : actions_(std::move(actions)),
      announcements_{{FaceChild::Title, EVENT_OBJECT_NAMECHANGE, kQuickGapMs},
                     {FaceChild::Time, EVENT_OBJECT_NAMECHANGE, kTimeGapMs},
                     {FaceChild::Time, EVENT_OBJECT_VALUECHANGE, kTimeGapMs},
                     {FaceChild::Seek, EVENT_OBJECT_VALUECHANGE, kTimeGapMs},
                     {FaceChild::Volume, EVENT_OBJECT_VALUECHANGE, kQuickGapMs}} {}

MainWindowAccessibility::~MainWindowAccessibility() { Detach(); }

void MainWindowAccessibility::Attach(HWND main) {
  main_ = main;
  active_ = main != nullptr && GetActiveWindow() == main;
  seekWatch_.Install(GetDlgItem(main, IDC_SEEK_KNOB), KnobWatch, kKnobWatchId, reinterpret_cast<DWORD_PTR>(this));
  volumeWatch_.Install(GetDlgItem(main, IDC_VOLUME_KNOB), KnobWatch, kKnobWatchId, reinterpret_cast<DWORD_PTR>(this));
}

void MainWindowAccessibility::Detach() {
  seekWatch_.Remove();
  volumeWatch_.Remove();
  if (main_ != nullptr && timerRunning_) KillTimer(main_, kAccessibleEventsTimer);
  timerRunning_ = false;
  if (object_ != nullptr) {
    object_->Disconnect();
    // Clients in other processes hold proxies; their calls now fail instead of
    // reaching a window that is gone.
    CoDisconnectObject(static_cast<IAccessible*>(object_), 0);
    object_->Release();
    object_ = nullptr;
  }
  main_ = nullptr;
}

LRESULT MainWindowAccessibility::OnGetObject(WPARAM wParam, LPARAM lParam) {
  // The object id arrives as a 32-bit value in a 64-bit parameter.
  if (static_cast<LONG>(static_cast<DWORD>(lParam)) != OBJID_CLIENT || main_ == nullptr) return 0;
  if (object_ == nullptr) object_ = FaceAccessible::Create(*this);
  if (object_ == nullptr) return 0;
  const LRESULT result = LresultFromObject(kIidAccessible, wParam, static_cast<IAccessible*>(object_));
  // A failure code is no answer: the system's own object for the window stands in.
  return result > 0 ? result : 0;
}

void MainWindowAccessibility::OnActivate(bool active) {
  if (active_ == active) return;
  active_ = active;
  RefreshFrame();
}

bool MainWindowAccessibility::frameShown() const {
  return main_ != nullptr && active_ && TakesFocus(focused_) && Shown(GetDlgItem(main_, InfoOf(focused_)->controlId));
}

std::string MainWindowAccessibility::title() const {
  std::string text = title_.empty() ? WindowTextOf(GetDlgItem(main_, IDC_TITLE_DISPLAY)) : title_;
  // A long title scrolls with a gap after it; the gap is not part of its name.
  const std::string_view gap = kMarqueeGap;
  if (text.size() > gap.size() && std::string_view(text).substr(text.size() - gap.size()) == gap) {
    text.resize(text.size() - gap.size());
  }
  return text;
}

std::string MainWindowAccessibility::timeText() const { return WindowTextOf(GetDlgItem(main_, IDC_TIME_DISPLAY)); }

void MainWindowAccessibility::ShowTitle(const std::string& text) {
  if (text == title_) return;
  title_ = text;
  Announce(FaceChild::Title, EVENT_OBJECT_NAMECHANGE);
}

void MainWindowAccessibility::ShowTime(const std::string& text) {
  if (text == time_) return;
  time_ = text;
  Announce(FaceChild::Time, EVENT_OBJECT_NAMECHANGE);
  Announce(FaceChild::Time, EVENT_OBJECT_VALUECHANGE);
  Announce(FaceChild::Seek, EVENT_OBJECT_VALUECHANGE);
}

void MainWindowAccessibility::Announce(FaceChild child, DWORD event) {
  if (main_ == nullptr) return;
  for (Announcement& announcement : announcements_) {
    if (announcement.child != child || announcement.event != event) continue;
    const DWORD now = GetTickCount();
    if (!announcement.sent || now - announcement.lastSent >= announcement.gapMs) {
      Send(announcement, now);
      return;
    }
    // Too soon after the last one: sent by the timer once the gap has passed, with
    // whatever the value is then.
    announcement.pending = true;
    if (!timerRunning_) timerRunning_ = SetTimer(main_, kAccessibleEventsTimer, kAnnouncementTickMs, nullptr) != 0;
    return;
  }
}

void MainWindowAccessibility::Send(Announcement& announcement, DWORD now) {
  announcement.sent = true;
  announcement.pending = false;
  announcement.lastSent = now;
  NotifyWinEvent(announcement.event, main_, OBJID_CLIENT, static_cast<LONG>(announcement.child));
}

bool MainWindowAccessibility::OnTimer(UINT_PTR id) {
  if (id != kAccessibleEventsTimer) return false;
  if (main_ == nullptr) return true;
  if (volumeMoved_) {
    volumeMoved_ = false;
    const int volume = volumePercent();
    if (volume != announcedVolume_) {
      announcedVolume_ = volume;
      Announce(FaceChild::Volume, EVENT_OBJECT_VALUECHANGE);
    }
  }
  const DWORD now = GetTickCount();
  bool waiting = false;
  for (Announcement& announcement : announcements_) {
    if (!announcement.pending) continue;
    if (now - announcement.lastSent >= announcement.gapMs) {
      Send(announcement, now);
    } else {
      waiting = true;
    }
  }
  if (!waiting && !volumeMoved_) {
    KillTimer(main_, kAccessibleEventsTimer);
    timerRunning_ = false;
  }
  return true;
}

LRESULT CALLBACK MainWindowAccessibility::KnobWatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                                    DWORD_PTR data) {
  if (message == WM_WINDOWPOSCHANGED) {
    auto* self = reinterpret_cast<MainWindowAccessibility*>(data);
    const int id = GetDlgCtrlID(window);
    // The frame follows a framed knob that moves.
    if (self->frameShown() && InfoOf(self->focused_)->controlId == id) self->RefreshFrame();
    if (id == IDC_VOLUME_KNOB && self->main_ != nullptr) {
      // The engine takes the new volume after the knob has moved: read it on the next tick.
      self->volumeMoved_ = true;
      if (!self->timerRunning_) {
        self->timerRunning_ = SetTimer(self->main_, kAccessibleEventsTimer, kAnnouncementTickMs, nullptr) != 0;
      }
    }
  }
  return DefSubclassProc(window, message, wParam, lParam);
}

bool MainWindowAccessibility::OnKey(WPARAM key) {
  if (main_ == nullptr) return false;
  // Ctrl and Alt combinations belong to the key table and the menus.
  if ((GetKeyState(VK_CONTROL) & 0x8000) != 0 || (GetKeyState(VK_MENU) & 0x8000) != 0) return false;
  switch (key) {
    case VK_TAB:
      active_ = GetActiveWindow() == main_;
      MoveFocus((GetKeyState(VK_SHIFT) & 0x8000) != 0);
      return true;
    case VK_SPACE:
    case VK_RETURN:
      if (!frameShown() || InfoOf(focused_)->kind != Kind::Button) return false;
      return Press(focused_);
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN:
      return MoveKnob(key);
    default:
      return false;
  }
}

bool MainWindowAccessibility::MoveKnob(WPARAM key) {
  if (!frameShown()) return false;
  // Right and up are later and louder, as on the system's sliders.
  const bool forward = key == VK_RIGHT || key == VK_UP;
  if (focused_ == FaceChild::Seek && actions_.seekBy) {
    actions_.seekBy(forward ? kSeekKeySeconds : -kSeekKeySeconds);
    return true;
  }
  if (focused_ == FaceChild::Volume && actions_.stepVolume) {
    actions_.stepVolume(forward);
    return true;
  }
  return false;
}

void MainWindowAccessibility::MoveFocus(bool backwards) {
  long index = static_cast<long>(focused_);
  // Every control that takes the frame, once round at most, skipping hidden and
  // disabled ones; from no frame the first (or with Shift the last).
  for (long step = 0; step < kFaceChildCount; ++step) {
    if (index == 0) {
      index = backwards ? kFaceChildCount : 1;
    } else {
      index += backwards ? -1 : 1;
      if (index < 1) index = kFaceChildCount;
      if (index > kFaceChildCount) index = 1;
    }
    const FaceChild candidate = static_cast<FaceChild>(index);
    if (!TakesFocus(candidate)) continue;
    HWND control = GetDlgItem(main_, InfoOf(candidate)->controlId);
    if (Shown(control) && IsWindowEnabled(control)) {
      Focus(candidate);
      return;
    }
  }
}

bool MainWindowAccessibility::Focus(FaceChild child) {
  if (main_ == nullptr || !TakesFocus(child)) return false;
  HWND control = GetDlgItem(main_, InfoOf(child)->controlId);
  if (!Shown(control)) return false;
  focused_ = child;
  RefreshFrame();
  NotifyWinEvent(EVENT_OBJECT_FOCUS, main_, OBJID_CLIENT, static_cast<LONG>(child));
  return true;
}

bool MainWindowAccessibility::Press(FaceChild child) {
  const ChildInfo* info = InfoOf(child);
  if (main_ == nullptr || info == nullptr || info->kind != Kind::Button) return false;
  HWND button = GetDlgItem(main_, info->controlId);
  if (!Shown(button) || !IsWindowEnabled(button)) return false;
  // What the button sends when clicked, posted: a command that opens a dialog must not
  // hold a screen reader's call (or the key's handling) until the dialog closes.
  return PostMessageW(main_, WM_COMMAND, MAKEWPARAM(info->controlId, BN_CLICKED), reinterpret_cast<LPARAM>(button)) !=
         FALSE;
}

RECT MainWindowAccessibility::FrameRect() const {
  if (!TakesFocus(focused_)) return RECT{};
  HWND control = GetDlgItem(main_, InfoOf(focused_)->controlId);
  if (control == nullptr) return RECT{};
  RECT rect = ScreenRectOf(control);
  MapWindowPoints(nullptr, main_, reinterpret_cast<POINT*>(&rect), 2);
  const int zoom = FaceZoom(main_);
  InflateRect(&rect, kFrameMargin * zoom, kFrameMargin * zoom);
  return rect;
}

void MainWindowAccessibility::RefreshFrame() {
  if (main_ == nullptr) return;
  if (!IsRectEmpty(&drawnFrame_)) InvalidateRect(main_, &drawnFrame_, FALSE);
  if (frameShown()) {
    const RECT frame = FrameRect();
    InvalidateRect(main_, &frame, FALSE);
  }
}

void MainWindowAccessibility::PaintFocus() {
  drawnFrame_ = RECT{};
  if (!frameShown()) return;
  const RECT frame = FrameRect();
  platform::WindowDc dc(main_);
  if (!dc) return;
  // Alternate black and white pixels show on any skin. Drawn opaque, not inverted, so
  // drawing it again over a part that was not repainted changes nothing.
  static const WORD kChecker[8] = {0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA};
  platform::GdiObject pattern(CreateBitmap(8, 8, 1, 1, kChecker));
  if (!pattern) return;
  platform::GdiObject brush(CreatePatternBrush(static_cast<HBITMAP>(pattern.get())));
  if (!brush) return;
  SetTextColor(dc.get(), RGB(0, 0, 0));
  SetBkColor(dc.get(), RGB(255, 255, 255));
  const int zoom = FaceZoom(main_);
  RECT line = frame;
  for (int i = 0; i < zoom; ++i) {
    ::FrameRect(dc.get(), &line, static_cast<HBRUSH>(brush.get()));
    InflateRect(&line, -1, -1);
  }
  drawnFrame_ = frame;
}

}  // namespace kestrun::app
