// Control identifiers of the equalizer window, the effect dialog and the
// filters-in-use window. The equalizer's two switches stay in resource_ids.h.
#pragma once

// Equalizer window (IDD_EQUALIZER).
#define IDC_EQUALIZER_RESET 1052
// The fifteen band sliders, band 1 (25 Hz) first; the numbers are not contiguous.
#define IDC_BAND_SLIDER_1 1083
#define IDC_BAND_SLIDER_2 1086
#define IDC_BAND_SLIDER_3 1087
#define IDC_BAND_SLIDER_4 1088
#define IDC_BAND_SLIDER_5 1089
#define IDC_BAND_SLIDER_6 1090
#define IDC_BAND_SLIDER_7 1091
#define IDC_BAND_SLIDER_8 1092
#define IDC_BAND_SLIDER_9 1093
#define IDC_BAND_SLIDER_10 1094
#define IDC_BAND_SLIDER_11 1095
#define IDC_BAND_SLIDER_12 1096
#define IDC_BAND_SLIDER_13 1097
#define IDC_BAND_SLIDER_14 1098
#define IDC_BAND_SLIDER_15 1100

// Effect dialog (IDD_EFFECT).
#define IDC_EFFECT_LIST 1076
#define IDC_EFFECT_EQUALIZER 3

// Filters-in-use window (IDD_FILTERLIST).
#define IDC_FILTER_LIST 1078

// Labels and marks that the code never addresses.
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
