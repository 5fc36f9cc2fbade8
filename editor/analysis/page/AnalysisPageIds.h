// Identifiers of the analysis page: its resources and its controls. Plain defines, because the
// resource script includes this file too.
#pragma once

// Resources.
#define IDD_ANALYSIS_PAGE 107          // the page's dialog template (empty: the page makes its controls)
#define IDS_ANALYSIS_TITLE 2           // the page's tab title, "analysis"
#define IDB_ANALYSIS_SKIN 104          // the page background
#define IDR_BUTTON116 140              // RGBT images
#define IDR_BUTTON116_PRESSED 141
#define IDR_CORRELATION_METER 142
#define IDR_CORRELATION_METER_LIT 143

// Controls, in tab order.
#define IDC_HOLD 11000
#define IDC_ANALYSIS_RESET 11001
#define IDC_BEST_MONO 11002
#define IDC_BEST_CORRELATION 11003
#define IDC_ANALYSIS_HELP 11004
#define IDC_WINDOW_EDIT 11005
#define IDC_WINDOW_SLIDER 11006
#define IDC_INPUT_CORRELATION 11007
#define IDC_OUTPUT_CORRELATION 11008
#define IDC_INPUT_READOUT 11009
#define IDC_OUTPUT_READOUT 11010
#define IDC_CURVES 11011
#define IDC_SCOPE 11012
