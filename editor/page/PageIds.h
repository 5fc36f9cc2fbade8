// Identifiers of the editor page: its resources, its controls and its commands. Plain
// defines, because the resource script includes this file too.
#pragma once

// Resources.
#define IDD_PROPPAGE 106        // the page's dialog template (holds the two clip indicators)
#define IDS_PAGE_TITLE 1        // the page's tab title, "tw:phase"
#define IDB_SKIN 103            // the page background
#define IDB_CLIP_OFF 111
#define IDB_CLIP_HELD 112
#define IDB_CLIP_ACTIVE 113
#define IDR_EDIT_FIELD 118      // RGBT images
#define IDR_SLIDER_THUMB 119
#define IDR_BUTTON76_PRESSED 120
#define IDR_ARROW_PRESSED 121
#define IDR_HELP 122
#define IDR_HELP_PRESSED 123
#define IDR_BYPASS 124
#define IDR_BYPASS_PRESSED 125
#define IDR_SETUP 126
#define IDR_SETUP_PRESSED 127
#define IDR_BUTTON76 128
#define IDR_ARROW 129
#define IDR_LEVEL_LIT 130
#define IDR_LEVEL 131
#define IDR_PHASE_METER_LIT 132
#define IDR_PHASE_METER 135
#define IDR_MODE_PRESSED 136
#define IDR_MODE 137

// Controls.
#define IDC_PHASE_EDIT 10000
#define IDC_PHASE_SLIDER 10001
#define IDC_WIDTH_EDIT 10002
#define IDC_WIDTH_SLIDER 10003
#define IDC_OUTPUT_EDIT 10004
#define IDC_OUTPUT_SLIDER 10005
#define IDC_MODE 10006
#define IDC_MODE_MENU 10007
#define IDC_METER_POST 10008
#define IDC_PHASE_METER 10009
#define IDC_METER_LEFT 10010
#define IDC_METER_RIGHT 10011
#define IDC_PEAK_LEFT 10012
#define IDC_PEAK_RIGHT 10013
#define IDC_FILTER 10014
#define IDC_BYPASS 10110
#define IDC_UNDO 10111
#define IDC_SETUP 10112
#define IDC_SETUP_MENU 10113
#define IDC_RESET 10114
#define IDC_PRESETS 10115
// The system's help-cursor resource has the same name; the page uses no such cursor.
#undef IDC_HELP
#define IDC_HELP 10116
#define IDC_CLIP_LEFT 1020      // in the dialog template
#define IDC_CLIP_RIGHT 1021

// Commands.
#define ID_SETUP_A 10502
#define ID_SETUP_B 10503
#define ID_COPY_TO_OTHER 10504
#define ID_COPY_FROM_OTHER 10505
#define ID_MODE_FIRST 1000      // mode menu: 1000 + mode index
#define ID_ENGINE_NOTIFY 32700  // the plug-in's notifications to the page
