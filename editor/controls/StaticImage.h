// "tw:StaticImage" and "tw:StaticNoHitImage": pictures showing the top-left block of a bitmap
// resource. The first tells its parent when it is clicked; the second leaves mouse messages
// to their default course. Window thread only.
#pragma once
#include <windows.h>

constexpr const char* kStaticImageClassName = "tw:StaticImage";
constexpr const char* kStaticNoHitImageClassName = "tw:StaticNoHitImage";

// From the parent: wParam the bitmap resource id, or kNoStaticBitmap; invalidates.
constexpr UINT SIM_SETBITMAP = 2874;
constexpr int kNoStaticBitmap = -1;
// Posted by "tw:StaticImage" to its parent on a left press or double-click: wParam the
// control id, lParam the mouse position as received.
constexpr UINT SIN_CLICK = 2875;

// Register and unregister the classes in instance (the module holding the bitmaps). Each
// picture's creation parameter is the page background bitmap, which it never deletes; a
// picture without a bitmap shows the page background under it.
bool RegisterStaticImageClass(HINSTANCE instance);
void UnregisterStaticImageClass(HINSTANCE instance);
bool RegisterStaticNoHitImageClass(HINSTANCE instance);
void UnregisterStaticNoHitImageClass(HINSTANCE instance);
