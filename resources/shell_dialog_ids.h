// Control identifiers of the association, volume, sleep timer and about dialogs
// (shell_dialogs.rc). Included by resource_ids.h.
#pragma once

// Association dialog (IDD_REGDLG): one check box per row of extensions.
#define IDC_ASSOC_WAV 1061
#define IDC_ASSOC_MP3 1062
#define IDC_ASSOC_MPA 1063
#define IDC_ASSOC_AU 1064
#define IDC_ASSOC_MP2 1065
#define IDC_ASSOC_AIFF 1066
#define IDC_ASSOC_SND 1078
#define IDC_ASSOC_MIDI 1079
#define IDC_ASSOC_RMI 1080
#define IDC_ASSOC_MPEG 1081
#define IDC_ASSOC_AVI 1082
#define IDC_ASSOC_QT 1083
#define IDC_ASSOC_MOV 1084
#define IDC_ASSOC_M1V 1085
#define IDC_ASSOC_ASF 1086
#define IDC_ASSOC_WMV 1087
#define IDC_ASSOC_WMA 1088
#define IDC_ASSOC_JPEG 1089
#define IDC_ASSOC_BMP 1090
#define IDC_ASSOC_TGA 1091
// The note shown when Windows' own setting decides for some types, the list of those
// types, and the button that opens that setting.
#define IDC_ASSOC_WINDOWS_CHOICE 1201
#define IDC_ASSOC_WINDOWS_CHOICE_TYPES 1202
#define IDC_ASSOC_DEFAULT_APPS 1203
// The type name of the player's file classes ("%s": the extension in capitals).
#define IDS_ASSOC_TYPE_NAME 61201

// Volume dialog (IDD_VOLUMEDLG).
#define IDC_VOLUME_TRACKBAR 1062
#define IDC_VOLUME_NO_MIXER 1063

// Sleep timer dialog (IDD_SLEEP); button 1 starts and stops, button 2 hides.
#define IDC_SLEEP_SHUTDOWN 1067
#define IDC_SLEEP_MINUTES 1069
#define IDC_SLEEP_SECONDS 1072

// About box (IDD_ABOUT).
#define IDC_ABOUT_VERSION 1050
#define IDC_ABOUT_HOMEPAGE 1052
