// The committed skin files against the resource script: every image the script lists exists
// with the size and format its users assume, and the list is complete.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <set>
#include <string>
#include <vector>

#include "editor/SkinImages.h"

namespace {

using Bytes = std::vector<uint8_t>;

const std::string kSourceDir = TW_SOURCE_DIR;

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// id -> file of each "<id> <type> "<file>"" line of the resource script.
std::map<int, std::string> ScriptEntries(const std::string& type) {
    std::ifstream in(kSourceDir + "/resources/twPhaseDX.rc");
    std::map<int, std::string> entries;
    std::string text;
    while (std::getline(in, text)) {
        std::istringstream fields(text);
        int id;
        std::string lineType, file;
        if (!(fields >> id >> lineType >> file) || lineType != type) continue;
        if (file.size() < 2 || file.front() != '"' || file.back() != '"') {
            ADD_FAILURE() << "unquoted file name: " << text;
            continue;
        }
        EXPECT_TRUE(entries.emplace(id, file.substr(1, file.size() - 2)).second)
            << "duplicate " << id;
    }
    return entries;
}

uint32_t U32(const Bytes& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}
uint16_t U16(const Bytes& b, size_t at) {
    return uint16_t(b[at] | b[at + 1] << 8);
}

TEST(SkinFiles, RawImagesHaveTheirSizes) {
    const auto entries = ScriptEntries("RCDATA");
    std::set<int> listed;
    for (const auto& [id, file] : entries) listed.insert(id);
    std::set<int> expected;
    for (const auto& info : skin::kRawImages) expected.insert(info.id);
    EXPECT_EQ(listed, expected);

    for (const auto& info : skin::kRawImages) {
        SCOPED_TRACE("image " + std::to_string(info.id));
        auto it = entries.find(info.id);
        if (it == entries.end()) continue;
        const Bytes image = ReadFile(kSourceDir + "/" + it->second);
        ASSERT_EQ(image.size(), size_t(info.width) * info.height * 4);
        auto transparency = [&](int x, int y) { return image[(y * info.width + x) * 4 + 3]; };
        if (info.kind == skin::RawImageKind::kButton) {
            const int right = info.width - 1, bottom = info.height - 1;
            EXPECT_EQ(transparency(0, 0), skin::kFullyTransparent);
            EXPECT_EQ(transparency(right, 0), skin::kFullyTransparent);
            EXPECT_EQ(transparency(0, bottom), skin::kFullyTransparent);
            EXPECT_EQ(transparency(right, bottom), skin::kFullyTransparent);
            EXPECT_EQ(transparency(info.width / 2, info.height / 2), skin::kOpaque);
        } else if (info.kind == skin::RawImageKind::kOpaque) {
            for (int y = 0; y < info.height; ++y) {
                for (int x = 0; x < info.width; ++x) ASSERT_EQ(transparency(x, y), skin::kOpaque);
            }
        }
    }
}

TEST(SkinFiles, LevelMeterIsRedAtTheTopAndPhaseMeterBlue) {
    const auto entries = ScriptEntries("RCDATA");
    const Bytes level = ReadFile(kSourceDir + "/" + entries.at(skin::kLevelMeterLitId));
    const Bytes phase = ReadFile(kSourceDir + "/" + entries.at(skin::kPhaseMeterLitId));
    ASSERT_EQ(level.size(), 12u * 120 * 4);
    ASSERT_EQ(phase.size(), 154u * 12 * 4);
    auto at = [](const Bytes& image, int w, int x, int y) { return &image[(y * w + x) * 4]; };
    const uint8_t* top = at(level, 12, 5, 0);
    const uint8_t* bottom = at(level, 12, 5, 118);
    EXPECT_GT(top[0], 200);  // red
    EXPECT_LT(top[1], 100);
    EXPECT_GT(bottom[1], top[1]);  // green grows towards the bottom
    EXPECT_LT(bottom[0], 100);
    const uint8_t* middle = at(phase, 154, 1, 6);
    EXPECT_GT(middle[2], middle[0]);
    EXPECT_GT(middle[2], middle[1]);
}

TEST(SkinFiles, BitmapsHaveTheirSizesAndFormats) {
    struct Expected {
        int id, width, height, bitCount;
    };
    const Expected expected[] = {
        {skin::kPageBackgroundId, skin::kPageWidth, skin::kPageHeight, 24},
        {skin::kClipOffId, skin::kClipWidth, skin::kClipHeight, 24},
        {skin::kClipHeldId, skin::kClipWidth, skin::kClipHeight, 24},
        {skin::kClipActiveId, skin::kClipWidth, skin::kClipHeight, 24},
        {skin::kIndicatorGlyphId, skin::kGlyphWidth, skin::kGlyphHeight, 4},
    };
    const auto entries = ScriptEntries("BITMAP");
    EXPECT_EQ(entries.size(), std::size(expected));
    for (const auto& e : expected) {
        SCOPED_TRACE("bitmap " + std::to_string(e.id));
        ASSERT_TRUE(entries.count(e.id));
        const Bytes file = ReadFile(kSourceDir + "/" + entries.at(e.id));
        ASSERT_GE(file.size(), 54u);
        ASSERT_EQ(file[0], 'B');
        ASSERT_EQ(file[1], 'M');
        const size_t info = 14;
        EXPECT_EQ(U32(file, info), 40u);
        EXPECT_EQ(int32_t(U32(file, info + 4)), e.width);
        EXPECT_EQ(int32_t(U32(file, info + 8)), e.height);  // positive: rows bottom first
        EXPECT_EQ(U16(file, info + 14), e.bitCount);
        EXPECT_EQ(U32(file, info + 16), 0u);  // BI_RGB
        const size_t rowBytes = (size_t(e.width) * e.bitCount + 31) / 32 * 4;
        const size_t bits = U32(file, 10);
        EXPECT_EQ(file.size(), bits + rowBytes * e.height);
    }
}

TEST(SkinFiles, IndicatorGlyphIsSurroundedByTheKeyColour) {
    const Bytes file = ReadFile(kSourceDir + "/" + ScriptEntries("BITMAP").at(7500));
    ASSERT_GE(file.size(), 54u + 16 * 4);
    const size_t table = 54, bits = U32(file, 10);
    auto colourAt = [&](int x, int row) {  // row counted from the bottom, as stored
        const uint8_t byte = file[bits + row * 4 + x / 2];
        const int index = x % 2 ? byte & 0xf : byte >> 4;
        const uint8_t* quad = &file[table + index * 4];  // blue, green, red
        return uint32_t(quad[2]) | quad[1] << 8 | quad[0] << 16;
    };
    for (int row = 0; row < skin::kGlyphHeight; ++row) {
        EXPECT_EQ(colourAt(0, row), skin::kGlyphKeyColour) << "row " << row;
        EXPECT_EQ(colourAt(skin::kGlyphWidth - 1, row), skin::kGlyphKeyColour) << "row " << row;
    }
    bool drawn = false;
    for (int row = 0; row < skin::kGlyphHeight; ++row) {
        for (int x = 0; x < skin::kGlyphWidth; ++x) drawn |= colourAt(x, row) != 0xff00ff;
    }
    EXPECT_TRUE(drawn);
}

}  // namespace
