// The 200 ms position tick on the multimedia timer's thread.
#pragma once

#include <windows.h>

#include <functional>
#include <mutex>

#include "playback/media_backend.h"

namespace kestrun::playback {

class MultimediaPositionTimer final : public PositionTimer {
 public:
  explicit MultimediaPositionTimer(std::function<void()> tick);
  ~MultimediaPositionTimer() override;
  MultimediaPositionTimer(const MultimediaPositionTimer&) = delete;
  MultimediaPositionTimer& operator=(const MultimediaPositionTimer&) = delete;

  void Start() override;
  void Stop() override;

 private:
  static void CALLBACK TimerProc(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR);

  std::function<void()> tick_;
  UINT timer_ = 0;
  // Held by a running tick, so Stop can wait it out before the engine goes away.
  std::mutex tickLock_;
};

}  // namespace kestrun::playback
