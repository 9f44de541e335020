// The effect dialog (IDD_EFFECT): the system's audio effects with a check box each.
// OK stores the checks in the effect table, which the next graph is built with.
#pragma once

#include <windows.h>

#include <functional>

#include "playback/effect_table_win.h"

namespace kestrun::equalizer {

// How the dialog ended.
enum class EffectDialogResult { Stored, Cancelled, EqualizerShown, Failed };

// Runs the dialog modally, owned by owner. toggleEqualizer shows or hides the
// equalizer window and answers whether it is visible afterwards; when it is, the
// dialog closes at once without storing its checks.
EffectDialogResult ShowEffectDialog(HINSTANCE instance, HWND owner, playback::EffectTable& table,
                                    std::function<bool()> toggleEqualizer);

}  // namespace kestrun::equalizer
