// Command identifiers of the playlist window's and the video view's menus.
// The main window's commands, and those the playlist shares with it, are in
// resource_ids.h; this header adds the rest, so the menus and their handlers
// agree on one set of numbers.
#pragma once

#include "resource_ids.h"

// Playlist window: menu bar "IDR_LIST" and right-click menu "POPUP".
// Moving rows has two ids each: the right-click menu and the keys send one,
// the menu bar the other; both mean the same move.
#define IDM_LIST_MOVE_DOWN 40006
#define IDM_LIST_MOVE_UP 40007
#define IDM_LIST_CLOSE 40008
#define IDM_LIST_ADD_FILES 40009
#define IDM_LIST_ADD_FOLDER 40010
#define IDM_LIST_ADD_FOLDER_TREE 40011
#define IDM_LIST_OPEN 40012
#define IDM_LIST_SAVE_EXTENDED_M3U 40013
#define IDM_LIST_SAVE_PLAIN_M3U 40014
#define IDM_LIST_REMOVE_SELECTED 40016
#define IDM_LIST_REMOVE_ALL 40017
#define IDM_LIST_MOVE_UP_BAR 40018
#define IDM_LIST_MOVE_DOWN_BAR 40019
#define IDM_LIST_TOPMOST 40020
#define IDM_TAGS_READ_SELECTED 40029
#define IDM_TAGS_READ_ALL 40030
#define IDM_LENGTH_SELECTED 40037
#define IDM_LENGTH_ALL 40038
#define IDM_TAG_EDITOR 40041

// Rename by tag. The ids are not in the order of the forms they stand for:
// 40065 renames to the title alone and 40068 to "artist - title".
#define IDM_RENAME_PAREN_ARTIST_TITLE 40064
#define IDM_RENAME_TITLE 40065
#define IDM_RENAME_PAREN_ARTIST_ALBUM_TITLE 40066
#define IDM_RENAME_ARTIST_DASH_TITLE 40068
#define IDM_RENAME_USER_PATTERN 40070
#define IDM_RENAME_USER_PATTERN_SETUP 40071

// Video view window: menu bar "IDR_VIEW". Its close item sends IDM_STOP and
// its keys send IDM_PAUSE, with a meaning of the view's own.
#define IDM_VIEW_FULL_SCREEN 40072
#define IDM_VIEW_ZOOM_100 40073
#define IDM_VIEW_ZOOM_50 40074
#define IDM_VIEW_ZOOM_200 40075
#define IDM_VIEW_CAPTURE 40076
#define IDM_VIEW_ASPECT_4_3 40080
#define IDM_VIEW_ASPECT_16_9 40081

// Main window's 設定 menu: the keyboard's media keys as global hot keys.
#define IDM_MEDIA_KEYS 40100

// Playlist's tag menu: also read ID3v2.4 tags and Unicode texts ("UnicodeTags").
#define IDM_TAG_UNICODE 40101

// The skin menu (built at run time from the Skin folder): item k is
// IDM_SKIN_FIRST + k; ids up to IDM_SKIN_LIMIT (exclusive) are kept for it.
#define IDM_SKIN_FIRST 25000
#define IDM_SKIN_LIMIT 26000
