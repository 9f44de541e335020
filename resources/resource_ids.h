// Control and command identifiers shared by the resources and the code.
// Dialog, menu and icon resources are named by string ("IDD_LISTDIALOG", "MY_ICON").
#pragma once

// Main window (IDD_LISTDIALOG) controls.
#define IDC_PLAYLIST_BUTTON 1000
#define IDC_TITLE_DISPLAY 1008
#define IDC_PAUSE_BUTTON 1011
#define IDC_STOP_BUTTON 1012
#define IDC_NEXT_BUTTON 1028
#define IDC_PREVIOUS_BUTTON 1029
#define IDC_PLAY_BUTTON 1030
#define IDC_OPEN_BUTTON 1034
#define IDC_MINIMIZE_BUTTON 1056
#define IDC_EXIT_BUTTON 1057
#define IDC_VOLUME_KNOB 1058
#define IDC_SEEK_KNOB 1059
#define IDC_ZONE_MARKER 1060
#define IDC_TIME_DISPLAY 1065

// Playlist window (IDD_LISTDLG): its list control.
#define IDC_PLAYLIST_LIST 1023

// Equalizer window (IDD_EQUALIZER): the two switches.
#define IDC_EQUALIZER_ENABLE 1084
#define IDC_VOICE_REMOVAL_ENABLE 1085

// Commands that only keys send (the buttons share the numbers above).
#define IDM_PLAY_KEY 1010
#define IDM_OPEN_KEY 1018
#define IDM_PLAYLIST_KEY 1021

// Menu commands.
#define IDM_EXIT 40001
#define IDM_PLAY 40005
#define IDM_PAUSE 40022
#define IDM_STOP 40023
#define IDM_SHUFFLE 40024
#define IDM_REPEAT_ALL 40025
#define IDM_REPEAT_ONE 40026
#define IDM_FAST_SEEK 40031
#define IDM_RATE_2_0 40032
#define IDM_RATE_1_25 40033
#define IDM_RATE_1_0 40034
#define IDM_RATE_0_5 40035
#define IDM_ALWAYS_TAG_READ 40039
#define IDM_TOPMOST 40040
#define IDM_USE_TRAY 40042
#define IDM_NEXT 40043
#define IDM_PREVIOUS 40044
#define IDM_RESTORE 40050
#define IDM_PLAYLIST 40051
#define IDM_OPEN 40053
#define IDM_MINIMIZE 40054
#define IDM_ASSOCIATIONS 40060
#define IDM_VOLUME 40061
#define IDM_ABOUT 40062
#define IDM_SLEEP 40069
#define IDM_EFFECTS 40083
#define IDM_USE_CAPTURE 40087
#define IDM_USE_WMP71 40088
#define IDM_FILTERS 40089
#define IDM_TAG_AUTO 40090
#define IDM_TAG_ALWAYS_ID3V1 40091
#define IDM_DOCK_PLAYLIST 40097

#include "equalizer_dialog_ids.h"
#include "shell_dialog_ids.h"
#include "tag_dialog_ids.h"
#include "main_window_access_ids.h"

// Playlist window captions while a long command runs ("%d" the rows done, then all).
#define IDS_PLAYLIST_ADDING 61001
#define IDS_PLAYLIST_READING_TAGS 61002
#define IDS_PLAYLIST_MEASURING 61003
// A long command ended because its worker threads could not be started.
#define IDS_PLAYLIST_NO_WORKERS 61004
// The tag editor's status text for files whose tags are shown read-only.
#define IDS_TAG_READ_ONLY 61010
// Shown once at start when the program's own folder has no name the system code page
// can hold (and no short name): the player could find neither its skins, its
// equalizer nor its playlist there.
#define IDS_PROGRAM_FOLDER_UNUSABLE 61020
