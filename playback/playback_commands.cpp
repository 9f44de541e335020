#include "playback/playback_commands.h"

#include "resources/resource_ids.h"

namespace kestrun::playback {

bool RegisterPlaybackCommands(platform::CommandTable& table, PlaybackController& engine, PlaybackView& view) {
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
  all &= table.Add({IDM_SHUFFLE, IDM_REPEAT_ALL, IDM_REPEAT_ONE}, [&engine](int id) { engine.PlayModeCommand(id); });
  all &= table.Add({IDM_RATE_2_0, IDM_RATE_1_25, IDM_RATE_1_0, IDM_RATE_0_5},
                   [&engine](int id) { engine.RateCommand(id); });
  all &= table.Add(IDM_FAST_SEEK, [&engine](int) { engine.FastSeekCommand(); });
  all &= table.Add(IDM_USE_WMP71, [&engine](int) { engine.UseWmp71Command(); });
  return all;
}

}  // namespace kestrun::playback
