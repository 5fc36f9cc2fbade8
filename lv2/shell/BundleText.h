// The Turtle files of the bundle, written from the port table and the built-in presets: the
// manifest hosts scan, the plug-ins' description with every port, and the presets.
#pragma once
#include <string>

constexpr char kBinaryFileName[] = "twphase.so";
constexpr char kPluginFileName[] = "twphase.ttl";
constexpr char kPresetsFileName[] = "presets.ttl";

// manifest.ttl: each plug-in with its binary and description, each preset with its file.
std::string ManifestText();
// twphase.ttl: the plug-ins and their ports.
std::string PluginText();
// presets.ttl: each built-in preset's six values by port symbol.
std::string PresetsText();
