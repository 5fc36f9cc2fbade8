// The commands of the editor's presets menu besides the presets themselves, whose menu
// commands are their identifiers (3501 and up).
#pragma once

constexpr int kPresetManagerCommand = 10500;  // "Preset Manager..."
constexpr int kAddPresetCommand = 10501;      // "Add Preset..."
constexpr int kUpdatePresetCommand = 1503;    // "Update Preset: <name>..."

// Sent to the editor page for the current settings as a preset data text: wParam is a char**
// that receives a new[]-allocated text, which the receiver owns (delete[]); lParam is 0.
constexpr unsigned kPresetGetSettingsMessage = 10900;
