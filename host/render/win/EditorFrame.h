// The plug-in's editor in the system's property frame, as a workstation opens it: the pages
// the filter names through ISpecifyPropertyPages, shown by OleCreatePropertyFrame.
#pragma once

#include <string>

#include <windows.h>
#include <unknwn.h>

// Shows the editor of `filter` and returns when the user closes the frame. Call on a thread
// that OleInitialize made a single-threaded apartment. False with *error one line naming the
// problem, before any window shows when a page cannot be created.
bool ShowEditorFrame(IUnknown* filter, HWND owner, std::string* error);
