// The editor page's controls: where each sits, its class, style and images, created in tab
// order over the skin. Window thread only.
#pragma once
#include <windows.h>

// One control of the page. Fields that do not apply to the control's class are 0.
struct PageControlLayout {
    int id;
    const char* className;
    int x, y, width, height;
    DWORD classStyle;   // the class-specific low word of the window style
    bool tabStop;
    int image;          // RGBT image: normal (buttons), background (fields), unlit (meters)
    int secondImage;    // pressed (buttons), lit (meters)
    const char* text;   // initial window text, or null
    bool focusInsets;   // buttons: the four insets below are sent
    int insets[4];      // left, top, right, bottom
    int tickInterval, tickOffset, pageStep;  // sliders
    int rangeMin, rangeMax;                  // meters
};

// The page's controls in creation order (which is the tab order).
extern const PageControlLayout kPageLayout[];
extern const int kPageLayoutCount;

// Creates and configures every control of kPageLayout as a child of page: module is where the
// control classes and images live, skin the page background each control draws over,
// labelFont the font of the peak readouts. Returns false when a control could not be created
// (the others are still made).
bool CreatePageControls(HWND page, HMODULE module, HBITMAP skin, HFONT labelFont);
// The same for another page's table of count controls.
bool CreateLayoutControls(HWND page, HMODULE module, HBITMAP skin, HFONT labelFont,
                          const PageControlLayout* layout, int count);
