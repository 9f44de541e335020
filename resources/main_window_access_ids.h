// Names the main window's accessible object gives its controls (the texts of their
// tooltips and menus) and the default action of its buttons.
#pragma once

#define IDS_ACCESS_PREVIOUS 61020
#define IDS_ACCESS_PLAY 61021
#define IDS_ACCESS_PAUSE 61022
#define IDS_ACCESS_STOP 61023
#define IDS_ACCESS_NEXT 61024
#define IDS_ACCESS_OPEN 61025
#define IDS_ACCESS_PLAYLIST 61026
#define IDS_ACCESS_MINIMIZE 61027
#define IDS_ACCESS_EXIT 61028
#define IDS_ACCESS_SEEK 61029
#define IDS_ACCESS_VOLUME 61030
#define IDS_ACCESS_PRESS 61031
