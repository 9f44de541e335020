// The parts of an Application, for tests that drive a whole player inside the test
// process: the program itself hands no part out, it wires them together.
#pragma once

#include <string>

#include "app/application_win.h"
#include "settings/player_settings.h"

namespace kestrun::app {

struct ApplicationTestAccess {
  Application& app;

  MainWindow& main() const { return app.main_; }
  playback::PlaybackController& engine() const { return app.engine_; }
  playback::DirectShowSession& session() const { return app.session_; }
  const playback::EqualizerAccess& equalizerAccess() const { return app.session_; }
  playlist::PlaylistWindow& playlist() const { return app.playlist_; }
  tags::TagEditorDialog& tagEditor() const { return app.tagEditor_; }
  playback::VideoViewWindow& videoView() const { return app.videoView_; }
  playback::FilterListWindow& filterList() const { return app.filterList_; }
  equalizer::EqualizerDialog& equalizerDialog() const { return app.equalizerDialog_; }
  skin::Skin& skin() const { return app.skin_; }
  shell::VolumeDialog& volumeDialog() const { return app.volumeDialog_; }
  shell::SleepTimerDialog& sleepTimerDialog() const { return app.sleepTimerDialog_; }
  platform::DialogRouter& router() const { return app.router_; }
  bool LoadSkin(const std::string& name) const { return app.main_.LoadSkin(name); }
  void LoadSettings(bool fileGiven) const { app.LoadSettings(fileGiven); }
  void SaveSettings() const { app.SaveSettings(); }
  // What a save would write now, gathered from the parts that own the values; const,
  // so a test cannot believe it changed a setting by writing into the copy.
  const settings::PlayerSettings settings() const {
    settings::PlayerSettings gathered;
    app.engine_.GatherSettings(gathered);
    app.main_.GatherSettings(gathered);
    app.playlist_.GatherSettings(gathered);
    return gathered;
  }
};

}  // namespace kestrun::app
