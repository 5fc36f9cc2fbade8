// The committed skin files against the resource script: every image the script lists exists
// with the size and format its users assume, and the list is complete.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "editor/SkinImages.h"

namespace {

using Bytes = std::vector<uint8_t>;

// The file of each "<id> <type> "<file>"" line of the resource script, read in, by id.
std::map<int, Bytes> ScriptFiles(const std::string& type) {
    const std::string root = TW_SOURCE_DIR;
    std::ifstream script(root + "/resources/twPhaseDX.rc");
    std::map<int, Bytes> files;
    std::string text;
    while (std::getline(script, text)) {
        std::istringstream fields(text);
        int id;
        std::string lineType, file;
        if (!(fields >> id >> lineType >> file) || lineType != type) continue;
        if (file.size() < 2 || file.front() != '"' || file.back() != '"') {
            ADD_FAILURE() << "unquoted file name: " << text;
            continue;
        }
        std::ifstream in(root + "/" + file.substr(1, file.size() - 2), std::ios::binary);
        const Bytes bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        EXPECT_TRUE(files.emplace(id, bytes).second) << "duplicate " << id;
    }
    return files;
}

uint32_t U32(const Bytes& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}

// Button images have transparent corners and an opaque middle; meter images are opaque.
TEST(SkinFiles, RawImagesHaveTheirSizesAndTransparency) {
    const auto files = ScriptFiles("RCDATA");
    std::set<int> listed, expected;
    for (const auto& entry : files) listed.insert(entry.first);
    for (const auto& info : skin::kRawImages) expected.insert(info.id);
    EXPECT_EQ(listed, expected);

    for (const auto& info : skin::kRawImages) {
        SCOPED_TRACE("image " + std::to_string(info.id));
        if (!files.count(info.id)) continue;
        const Bytes& image = files.at(info.id);
        ASSERT_EQ(image.size(), size_t(info.width) * info.height * 4);
        auto transparency = [&](int x, int y) { return image[(y * info.width + x) * 4 + 3]; };
        const int r = info.width - 1, b = info.height - 1;
        if (info.kind == skin::RawImageKind::kButton) {
            for (int corner :
                 {transparency(0, 0), transparency(r, 0), transparency(0, b), transparency(r, b)}) {
                EXPECT_EQ(corner, skin::kFullyTransparent);
            }
            EXPECT_EQ(transparency(info.width / 2, info.height / 2), skin::kOpaque);
        } else if (info.kind == skin::RawImageKind::kOpaque) {
            for (size_t i = 3; i < image.size(); i += 4)
                ASSERT_EQ(image[i], skin::kOpaque) << i / 4;
        }
    }
    // The lit level meter runs from red at the top to green at the bottom; the phase meter is blue.
    const Bytes& level = files.at(skin::kLevelMeterLitId);
    const Bytes& phase = files.at(skin::kPhaseMeterLitId);
    const uint8_t* top = &level[5 * 4];
    const uint8_t* bottom = &level[(118 * 12 + 5) * 4];
    const uint8_t* middle = &phase[(6 * 154 + 1) * 4];
    EXPECT_TRUE(top[0] > 200 && top[1] < 100 && bottom[1] > top[1] && bottom[0] < 100);
    EXPECT_TRUE(middle[2] > middle[0] && middle[2] > middle[1]);
}

TEST(SkinFiles, BitmapsHaveTheirSizesAndFormats) {
    const struct {
        int id, width, height, bitCount;
    } expected[] = {
        {skin::kPageBackgroundId, skin::kPageWidth, skin::kPageHeight, 24},
        {skin::kAnalysisBackgroundId, skin::kPageWidth, skin::kPageHeight, 24},
        {skin::kClipOffId, skin::kClipWidth, skin::kClipHeight, 24},
        {skin::kClipHeldId, skin::kClipWidth, skin::kClipHeight, 24},
        {skin::kClipActiveId, skin::kClipWidth, skin::kClipHeight, 24},
        {skin::kIndicatorGlyphId, skin::kGlyphWidth, skin::kGlyphHeight, 4},
    };
    const auto files = ScriptFiles("BITMAP");
    EXPECT_EQ(files.size(), std::size(expected));
    for (const auto& e : expected) {
        SCOPED_TRACE("bitmap " + std::to_string(e.id));
        ASSERT_TRUE(files.count(e.id));
        const Bytes& file = files.at(e.id);
        ASSERT_GE(file.size(), 54u);
        EXPECT_TRUE(file[0] == 'B' && file[1] == 'M');
        EXPECT_EQ(U32(file, 14), 40u);  // BITMAPINFOHEADER
        EXPECT_EQ(int32_t(U32(file, 18)), e.width);
        EXPECT_EQ(int32_t(U32(file, 22)), e.height);  // positive: rows bottom first
        EXPECT_EQ(file[28] | file[29] << 8, e.bitCount);
        EXPECT_EQ(U32(file, 30), 0u);  // BI_RGB
        EXPECT_EQ(file.size(),
                  U32(file, 10) + (size_t(e.width) * e.bitCount + 31) / 32 * 4 * e.height);
    }
}

}  // namespace
