// The editor page's tooltips: one common-controls tooltip window with a tool for every control,
// each showing its text from the portable table of control texts. Window thread only.
#pragma once
#include <windows.h>

#include <string>

// Creates the tooltip window of page and adds every control of the page that has a tooltip.
// A popup cannot be owned by a child window, so the page's top-level window owns it: the page
// destroys it. Null when the window cannot be created.
HWND CreatePageTooltips(HWND page);
// The tooltip window alone, for another page to add its own tools to.
HWND CreateTooltipWindow(HWND page);
// Adds the control of page with the id, if there is one, with the text.
void AddControlTooltip(HWND tooltips, HWND page, int controlId, std::string text);
