// The main window's playback commands (buttons, menu items and keys that send the
// same ids), registered into its command table.
#pragma once

#include "platform/command_table.h"
#include "playback/playback_controller.h"
#include "playback/playback_view.h"

namespace kestrun::playback {

// False when one of the ids already had a handler in the table.
bool RegisterPlaybackCommands(platform::CommandTable& table, PlaybackController& engine, PlaybackView& view);

}  // namespace kestrun::playback
