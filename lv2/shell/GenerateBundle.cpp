// twphase-lv2-ttl: writes the bundle's Turtle files into the bundle folder given, so the ports
// and presets hosts read are always those of the parameter table and the built-in presets.
// Usage: twphase-lv2-ttl BUNDLE_DIR
#include <cstdio>
#include <string>

#include "lv2/shell/BundleText.h"

namespace {

bool WriteFile(const std::string& path, const std::string& text) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: twphase-lv2-ttl BUNDLE_DIR\n");
        return 2;
    }
    const std::string dir = std::string(argv[1]) + "/";
    const struct {
        const char* name;
        std::string text;
    } files[] = {
        {"manifest.ttl", ManifestText()},
        {kPluginFileName, PluginText()},
        {kPresetsFileName, PresetsText()},
    };
    for (const auto& f : files) {
        if (!WriteFile(dir + f.name, f.text)) {
            std::fprintf(stderr, "twphase-lv2-ttl: cannot write %s%s\n", dir.c_str(), f.name);
            return 1;
        }
    }
    return 0;
}
