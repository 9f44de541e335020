// The skinned main window as screen readers and the keyboard meet it. The face is a
// picture with small child windows painted from the skin, so the window answers
// WM_GETOBJECT with an accessible object (MSAA IAccessible) of its own whose simple
// children are the painted controls: the nine buttons, the two knobs, the time and
// the title. Each has a Japanese name, a role, a state and, where it has one, a value
// and a default action (a button's click). Name and value changes are announced as
// window events, a few times a second at most.
//
// The same object keeps the keyboard focus among the controls: Tab and Shift+Tab
// move a focus frame drawn on the face around a control (the skin's pictures stay as
// they are), Space or Enter press the framed button and the arrow keys move a framed
// knob. The title display keeps the real keyboard focus, so every key of its key
// table still works.
//
// Threading: everything here runs on the user-interface thread; remote clients reach
// the accessible object through COM calls that arrive on that thread too.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "app/media_key_actions.h"
#include "platform/win32_handles_win.h"
#include "playback/playback_controller.h"

namespace kestrun::app {

class FaceAccessible;

// The accessible children, in the order of their child ids (1..) and of the Tab key:
// the face from left to right, then what is read but not pressed.
enum class FaceChild : long {
  None = 0,
  Previous,
  Play,
  Pause,
  Stop,
  Next,
  Open,
  Playlist,
  Minimize,
  Exit,
  Seek,
  Volume,
  Time,
  Title,
};
inline constexpr long kFaceChildCount = static_cast<long>(FaceChild::Title);

// What the accessible face asks of the player beyond its windows.
struct FaceActions {
  // The player's volume as 0 (silent) to 100 (full).
  std::function<int()> volumePercent;
  // One step of the volume keys, louder or quieter; the knob follows.
  std::function<void(bool louder)> stepVolume;
  // Moves playback by seconds from where it is (back when negative).
  std::function<void(int seconds)> seekBy;
};
// The actions on the engine, with the volume stepped as the volume keys step it.
FaceActions PlayerFaceActions(playback::PlaybackController& engine, MediaKeyActions& volumeKeys);
// How far one arrow key moves the seek knob.
inline constexpr int kSeekKeySeconds = 5;

// The window timer that sends the announcements held back by the throttle.
inline constexpr UINT_PTR kAccessibleEventsTimer = 0x4143;

class MainWindowAccessibility {
 public:
  explicit MainWindowAccessibility(FaceActions actions);
  ~MainWindowAccessibility();
  MainWindowAccessibility(const MainWindowAccessibility&) = delete;
  MainWindowAccessibility& operator=(const MainWindowAccessibility&) = delete;

  // The main window with its controls laid out; the knobs are watched for moves.
  void Attach(HWND main);
  // The window is going away: remote clients lose the object, the knobs their watch.
  void Detach();

  // WM_GETOBJECT: the answer for the client area, 0 for every other object.
  LRESULT OnGetObject(WPARAM wParam, LPARAM lParam);
  // WM_ACTIVATE: the focus frame shows only while the main window is active.
  void OnActivate(bool active);
  // WM_TIMER; false for the other timers.
  bool OnTimer(UINT_PTR id);
  // After the face is painted: the focus frame over it.
  void PaintFocus();
  // A key-down in the title display: Tab and Shift+Tab move the focus frame, Space and
  // Enter press the framed button, the arrows move a framed knob. True when the key
  // was used here.
  bool OnKey(WPARAM key);

  // What the title display shows now (a title, a path or a message).
  void ShowTitle(const std::string& text);
  // What the time display shows now ("mm:ss/mm:ss").
  void ShowTime(const std::string& text);

  // For the accessible object.
  HWND window() const { return main_; }
  FaceChild focused() const { return focused_; }
  bool frameShown() const;
  std::string title() const;
  std::string timeText() const;
  int volumePercent() const { return actions_.volumePercent ? actions_.volumePercent() : 0; }
  // Presses a button as its click does: the same command, after the caller returned.
  bool Press(FaceChild child);
  // Puts the focus frame on a control (nothing for one that cannot take it).
  bool Focus(FaceChild child);

 private:
  struct Announcement {
    FaceChild child;
    DWORD event;
    DWORD gapMs;  // the least time between two of these events
    DWORD lastSent = 0;
    bool sent = false;
    bool pending = false;
  };
  static LRESULT CALLBACK KnobWatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                    DWORD_PTR data);
  void Announce(FaceChild child, DWORD event);
  void Send(Announcement& announcement, DWORD now);
  void MoveFocus(bool backwards);
  // Paints the face again where the frame was and where it is now.
  void RefreshFrame();
  RECT FrameRect() const;

  // An arrow key on a framed knob; false when no knob is framed.
  bool MoveKnob(WPARAM key);

  FaceActions actions_;
  HWND main_ = nullptr;
  FaceAccessible* object_ = nullptr;  // one reference, ours, while attached
  platform::WindowSubclass seekWatch_;
  platform::WindowSubclass volumeWatch_;
  FaceChild focused_ = FaceChild::None;
  bool active_ = false;
  RECT drawnFrame_{};
  std::string title_;
  std::string time_;
  int announcedVolume_ = -1;
  bool volumeMoved_ = false;
  bool timerRunning_ = false;
  Announcement announcements_[5];
};

}  // namespace kestrun::app
