// All of the editor's custom window classes at once, for the page to register before it creates
// its controls. Window thread only.
#pragma once
#include <windows.h>

// Registers the seven classes in instance (the module holding their bitmaps). The page calls it
// each time it is created; a class an earlier page registered counts as registered. True when
// all seven are registered afterwards.
bool RegisterControlClasses(HINSTANCE instance);
// Unregisters the seven classes; a class that still has windows stays registered.
void UnregisterControlClasses(HINSTANCE instance);
