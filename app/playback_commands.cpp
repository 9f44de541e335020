#include "app/playback_commands.h"

namespace kestrun::app {

bool RegisterPlaybackCommands(platform::CommandTable& table, playback::PlaybackController& engine,
                              playback::PlaybackView& view) {
  // Starting a file keeps the keys working only when there is no video to watch.
  auto focusIfAudio = [&engine, &view] {
    if (engine.state().audioOnly) view.FocusTitle();
  };
  bool all = true;
  all &= table.Add({IDM_PLAY_KEY, IDC_PLAY_BUTTON, IDM_PLAY}, [&engine, focusIfAudio](int) {
    engine.PlayCommand();
    focusIfAudio();
  });
  all &= table.Add({IDC_PAUSE_BUTTON, IDM_PAUSE}, [&engine, &view](int) {
    engine.TogglePause();
    view.FocusTitle();
  });
  all &= table.Add({IDC_STOP_BUTTON, IDM_STOP}, [&engine, &view](int) {
    engine.StopAndClose();
    view.FocusTitle();
  });
  all &= table.Add({IDC_NEXT_BUTTON, IDM_NEXT}, [&engine, focusIfAudio](int) {
    engine.NextCommand();
    focusIfAudio();
  });
  all &= table.Add({IDC_PREVIOUS_BUTTON, IDM_PREVIOUS}, [&engine, focusIfAudio](int) {
    engine.PlayPrevious();
    focusIfAudio();
  });
  for (const auto& command : kPlayModeCommands) {
    all &= table.Add(command.id, [&engine, &view, mode = command.mode](int) {
      engine.TogglePlayMode(mode);
      view.FocusTitle();
    });
  }
  for (const auto& command : kRateCommands) {
    all &= table.Add(command.id, [&engine, &view, rate = command.rate](int) {
      engine.ChooseRate(rate);
      view.FocusTitle();
    });
  }
  all &= table.Add(IDM_FAST_SEEK, [&engine, &view](int) {
    engine.ToggleFastSeek();
    view.FocusTitle();
  });
  all &= table.Add(IDM_USE_WMP71, [&engine](int) { engine.ToggleWindowsMediaCore(); });
  return all;
}

}  // namespace kestrun::app
