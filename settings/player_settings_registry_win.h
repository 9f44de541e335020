// The player's settings in HKEY_CURRENT_USER\Software\QuenfoldSoft\Tovrin\Player:
// read once at start-up, written once when the main window closes, in a fixed order
// with fixed types (numbers as 4-byte REG_DWORD, texts as REG_SZ).
#pragma once

#include "settings/player_settings.h"

namespace kestrun::settings {

// Reads every value; missing or malformed ones give the defaults. fileGiven: a file
// came on the command line, so "PlayNum" is not read. An "Equalizer" text of fewer
// than 15 numbers leaves the later bands as they were in bandsBefore.
PlayerSettings LoadSettings(bool fileGiven, const equalizer::BandValues& bandsBefore);
// Writes every value. A playNum of none or -1 is written as 0.
void SaveSettings(const PlayerSettings& settings);

}  // namespace kestrun::settings
