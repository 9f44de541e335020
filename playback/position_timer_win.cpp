#include "playback/position_timer_win.h"

#include <mmsystem.h>

#include <utility>

namespace kestrun::playback {
namespace {

constexpr UINT kPositionPeriodMs = 200;
constexpr UINT kPositionResolutionMs = 50;

}  // namespace

MultimediaPositionTimer::MultimediaPositionTimer(std::function<void()> tick) : tick_(std::move(tick)) {}

MultimediaPositionTimer::~MultimediaPositionTimer() { Stop(); }

void CALLBACK MultimediaPositionTimer::TimerProc(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
  auto* self = reinterpret_cast<MultimediaPositionTimer*>(user);
  // A tick that finds the lock taken would only repeat the one running.
  std::unique_lock<std::mutex> lock(self->tickLock_, std::try_to_lock);
  if (lock.owns_lock()) self->tick_();
}

void MultimediaPositionTimer::Start() {
  if (timer_ != 0) timeKillEvent(timer_);
  timer_ = timeSetEvent(kPositionPeriodMs, kPositionResolutionMs, TimerProc, reinterpret_cast<DWORD_PTR>(this),
                        TIME_PERIODIC | TIME_CALLBACK_FUNCTION);
}

void MultimediaPositionTimer::Stop() {
  if (timer_ != 0) timeKillEvent(timer_);
  timer_ = 0;
  // A tick that was already running finishes before this returns.
  std::lock_guard<std::mutex> lock(tickLock_);
}

}  // namespace kestrun::playback
