// Control identifiers of the filter's property page (IDD_EQUALIZER_PAGE).
#pragma once

#define IDC_PAGE_BAND_1 101
#define IDC_PAGE_BAND_2 102
#define IDC_PAGE_BAND_3 103
#define IDC_PAGE_BAND_4 104
#define IDC_PAGE_BAND_5 105
#define IDC_PAGE_BAND_6 106
#define IDC_PAGE_BAND_7 107
#define IDC_PAGE_BAND_8 108
#define IDC_PAGE_BAND_9 109
#define IDC_PAGE_BAND_10 110
#define IDC_PAGE_BAND_11 111
#define IDC_PAGE_BAND_12 112
#define IDC_PAGE_BAND_13 113
#define IDC_PAGE_BAND_14 114
#define IDC_PAGE_BAND_15 115
#define IDC_PAGE_RESET 120
#define IDC_PAGE_EQUALIZER_ENABLE 121
#define IDC_PAGE_VOICE_REMOVAL_ENABLE 122

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
