// Controls of the tag editor (IDD_EDIT) and the rename pattern dialog (IDD_RENAMEMP3).
#pragma once

// Tag editor.
#define IDC_TAG_PATH 1008
#define IDC_TAG_ARTIST 1009
#define IDC_TAG_TITLE 1010
#define IDC_TAG_ALBUM 1011
#define IDC_TAG_COMMENT 1012
#define IDC_TAG_YEAR 1040
#define IDC_TAG_GENRE_NUMBER 1041
#define IDC_TAG_TRACK 1042
#define IDC_TAG_WRITE 1043
#define IDC_TAG_READ 1044
#define IDC_TAG_CLOSE 1045
#define IDC_TAG_STATUS 1046
#define IDC_TAG_GENRE 1047
#define IDC_TAG_GENRE_SLOTS 1049
#define IDC_TAG_SOURCE_ID3V1 1080
#define IDC_TAG_SOURCE_ID3V2 1081
#define IDC_TAG_FROM_ID3V1 1082
// Status text: an ID3v2.2 tag that cannot be converted is not written.
#define IDS_TAG_V22_NOT_CONVERTED 61101

// Rename pattern dialog.
#define IDC_RENAME_SAMPLE 1074
#define IDC_RENAME_PATTERN 1075

// Labels and lines that the code never addresses.
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
