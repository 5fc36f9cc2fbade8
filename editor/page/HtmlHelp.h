// Opening the help file through the platform's HTML Help control, loaded when first needed.
#pragma once
#include <windows.h>

// Shows the help file at path (HH_DISPLAY_TOPIC) with owner as the help window's owner.
// Returns the help window, or null when the file could not be shown. The HTML Help control is
// loaded from the path its class registration names, else from the system folder, never by a
// bare name that the host's own folder could answer. A control that cannot be loaded, or that
// lacks the entry point, is not tried again in this process; a missing help file is.
HWND ShowHelpTopic(HWND owner, const char* path);
