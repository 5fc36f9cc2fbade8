// "tw:Meter" under Wine, laid out as on the editor page: the level meter (vertical, ballistics)
// and the phase meter (horizontal bar) driven with their messages. What they report and paint
// is checked against the meter arithmetic of editor/MeterModel, tested on its own natively.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>

#include "ControlTestPage.h"
#include "editor/MeterModel.h"
#include "editor/controls/Meter.h"

using namespace controltest;

namespace {

// One meter window with the model of what it should show.
struct CMeter {
    HWND window = nullptr;
    const BYTE* unlit = nullptr;
    const BYTE* lit = nullptr;
    meter::MeterLayout layout;
    meter::ChannelBallistics channels[2];
    bool ballistics = false;

    void Create(DWORD style, int x, int y, int w, int h, int unlitId, int litId, int32_t min,
                int32_t max) {
        window = CTestPage::Get().Create(kMeterClassName, 100 + x, x, y, w, h, style);
        unlit = LoadRawImage(Module(), unlitId);
        lit = LoadRawImage(Module(), litId);
        layout.width = w, layout.height = h, layout.min = min, layout.max = max;
        layout.vertical = (style & MTS_VERTICAL) != 0;
        ballistics = (style & MTS_BALLISTICS) != 0;
        Send(MTM_SETRANGE, WPARAM(min), max);
        Send(MTM_SETIMAGES, reinterpret_cast<WPARAM>(unlit), reinterpret_cast<LPARAM>(lit));
    }
    LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam) {
        return SendMessageA(window, message, wParam, lParam);
    }
    void SetValues(int32_t first, int32_t second, int32_t decay = meter::kDefaultDecayStep) {
        const int32_t values[2] = {first, second};
        for (int i = 0; i < 2; ++i) {
            if (ballistics) {
                meter::ApplyBallistics(channels[i], values[i], decay);
            } else {
                channels[i].level = values[i];
            }
        }
        Send(MTM_SETVALUES, WPARAM(first), second);
    }
    // Where the picture on screen differs from the unlit image, except where the model lights
    // the level band and (with ballistics) the peak-hold line; "" when nowhere.
    std::string Mismatch(bool swapped = false) const {
        const meter::PixelBand band = meter::LitBand(layout, channels[0].level);
        const meter::PixelBand peak =
            ballistics ? meter::PeakHoldLine(layout, channels[0].peakHold) : meter::PixelBand();
        auto inside = [](const meter::PixelBand& b, int x, int y) {
            return !b.Empty() && x >= b.x && x < b.x + b.width && y >= b.y && y < b.y + b.height;
        };
        const CPixels picture(window, CPixels::kAsShown);
        const Box wrong = picture.BoundsWhere([&](int x, int y) {
            const bool litHere = inside(band, x, y) || inside(peak, x, y);
            return picture.At(x, y) !=
                   RgbtColour(litHere != swapped ? lit : unlit, layout.width, x, y);
        });
        std::ostringstream where;
        if (!wrong.Empty())
            where << "x " << wrong.left << ".." << wrong.right << ", y " << wrong.top << ".."
                  << wrong.bottom;
        return where.str();
    }
    void Read(UINT message, int32_t* first, int32_t* second) {
        Send(message, reinterpret_cast<WPARAM>(first), reinterpret_cast<LPARAM>(second));
    }
};

class MeterWindowTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(RegisterMeterClass(Module()));
        ASSERT_TRUE(RegisterMeterClass(Module())) << "a second editor registers the class again";
        level_.Create(MTS_VERTICAL | MTS_BALLISTICS, 341, 54, 12, 120, skin::kLevelMeterId,
                      skin::kLevelMeterLitId, -300, 0);
        phase_.Create(0, 149, 157, 154, 12, skin::kPhaseMeterId, skin::kPhaseMeterLitId, 0, 180);
        ASSERT_TRUE(level_.window && phase_.window && level_.lit && level_.unlit && phase_.lit &&
                    phase_.unlit);
    }
    void TearDown() override {
        CTestPage::Get().Reset();  // destroys the meters before their class goes
        UnregisterMeterClass(Module());
    }
    // Both channels' peak holds and maxima as the level meter reports them equal the model's.
    void ExpectReports() {
        int32_t peaks[2] = {}, maxima[2] = {};
        level_.Read(MTM_GETPEAKHOLD, &peaks[0], &peaks[1]);
        level_.Read(MTM_GETMAX, &maxima[0], &maxima[1]);
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(peaks[i], level_.channels[i].peakHold) << "channel " << i + 1;
            EXPECT_EQ(maxima[i], level_.channels[i].maxLevel) << "channel " << i + 1;
        }
    }

    CMeter level_, phase_;
};

TEST_F(MeterWindowTest, LevelMeterRunsTheBallisticsAndShowsBarAndPeakLine) {
    // A first paint before any value draws the unlit image.
    UpdateWindow(CTestPage::Get().window());
    level_.SetValues(meter::kNoLevel, 0);
    EXPECT_EQ(level_.Mismatch(), "");
    // A peak, then silence on channel 1 past the hold, against a steady channel 2; above the
    // range; a new peak; then a faster decay.
    const int32_t values[] = {-150, -9999, -9999, -9999, 120, -30};
    for (int32_t v : values) {
        level_.SetValues(v, -60);
        EXPECT_EQ(level_.Mismatch(), "") << v;
        ExpectReports();
    }
    for (int i = 0; i < meter::kPeakHoldUpdates + 5; ++i) level_.SetValues(meter::kNoLevel, -60);
    EXPECT_EQ(level_.Mismatch(), "");
    ExpectReports();
    level_.Send(MTM_SETDECAY, 50, 0);
    level_.SetValues(-100, 0, 50);
    level_.SetValues(meter::kNoLevel, 0, 50);
    EXPECT_EQ(level_.Mismatch(), "") << "decay step 50";
    ExpectReports();
}

TEST_F(MeterWindowTest, MaximaRunUntilResetAndOnlyWithBallistics) {
    level_.SetValues(-120, -40);
    level_.SetValues(-200, -10);
    level_.Send(MTM_RESETMAX, 0, 0);
    for (auto& channel : level_.channels) channel.maxLevel = meter::kNoLevel;
    ExpectReports();
    level_.SetValues(-250, -260);
    int32_t first = 0, second = 0;
    level_.Read(MTM_GETMAX, nullptr, &second);  // a null address is skipped
    level_.Read(MTM_GETMAX, &first, nullptr);
    EXPECT_EQ(first, -250);
    EXPECT_EQ(second, -260);

    phase_.SetValues(150, 1);
    for (UINT message : {UINT(MTM_GETMAX), UINT(MTM_GETPEAKHOLD)}) {
        phase_.Read(message, &first, &second);
        EXPECT_EQ(first, meter::kNoLevel) << message;
        EXPECT_EQ(second, meter::kNoLevel) << message;
    }
}

TEST_F(MeterWindowTest, PhaseMeterBarFollowsEachValueAtOnce) {
    for (int32_t v : {90, 179, 180, 0, 45}) {  // no ballistics: straight down from 180 to 0
        phase_.SetValues(v, 1);
        EXPECT_EQ(phase_.Mismatch(), "") << v;
    }
}

TEST_F(MeterWindowTest, RangeAndImagesTakeEffectAtTheNextPaintAndDisabledDrawsTheSame) {
    phase_.SetValues(90, 1);
    phase_.Send(MTM_SETRANGE, 0, 90);
    EXPECT_EQ(phase_.Mismatch(), "") << "a new range does not repaint";
    phase_.layout.max = 90;

    // Scribble over the meter; WM_PAINT brings back the picture under the new range.
    HDC dc = GetDC(phase_.window);
    PatBlt(dc, 0, 0, phase_.layout.width, phase_.layout.height, BLACKNESS);
    ReleaseDC(phase_.window, dc);
    InvalidateRect(phase_.window, nullptr, FALSE);
    UpdateWindow(phase_.window);
    EXPECT_EQ(phase_.Mismatch(), "");

    // Swapped images: the former lit image is now the background and vice versa.
    phase_.Send(MTM_SETIMAGES, reinterpret_cast<WPARAM>(phase_.lit),
                reinterpret_cast<LPARAM>(phase_.unlit));
    EXPECT_EQ(phase_.Mismatch(), "") << "new images do not repaint";
    phase_.SetValues(45, 1);
    EXPECT_EQ(phase_.Mismatch(true), "");

    EnableWindow(level_.window, FALSE);
    level_.SetValues(-150, 0);
    EXPECT_EQ(level_.Mismatch(), "");
    InvalidateRect(level_.window, nullptr, FALSE);
    UpdateWindow(level_.window);
    EXPECT_EQ(level_.Mismatch(), "");
}

}  // namespace
