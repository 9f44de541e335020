// The main window's playback commands (buttons, menu items and keys that send the
// same ids): which engine operation each id stands for, and back from a play mode or
// a rate to the menu item that shows it.
#pragma once

#include "platform/command_table.h"
#include "playback/engine_state.h"
#include "playback/playback_controller.h"
#include "playback/playback_view.h"
#include "resources/resource_ids.h"

namespace kestrun::app {

struct PlayModeCommand {
  int id;
  playback::PlayMode mode;
};
inline constexpr PlayModeCommand kPlayModeCommands[] = {{IDM_SHUFFLE, playback::kPlayModeShuffle},
                                                        {IDM_REPEAT_ALL, playback::kPlayModeRepeatAll},
                                                        {IDM_REPEAT_ONE, playback::kPlayModeRepeatOne}};

struct RateCommand {
  int id;
  double rate;
};
inline constexpr RateCommand kRateCommands[] = {
    {IDM_RATE_2_0, 2.0}, {IDM_RATE_1_25, 1.25}, {IDM_RATE_1_0, 1.0}, {IDM_RATE_0_5, 0.5}};

// False when one of the ids already had a handler in the table.
bool RegisterPlaybackCommands(platform::CommandTable& table, playback::PlaybackController& engine,
                              playback::PlaybackView& view);

}  // namespace kestrun::app
