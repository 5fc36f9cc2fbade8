// "tw:Meter" under Wine, laid out as on the editor page: the level meter (vertical, ballistics)
// and the phase meter (horizontal bar) driven with their messages, checked through the values
// they report and the pixels they put on screen.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "editor/SkinImages.h"
#include "editor/win/SkinResources.h"
#include "editor/controls/Meter.h"
#include "ControlTestPage.h"

namespace {

using controltest::CPixels;
using controltest::CTestPage;
using controltest::RgbtColour;

constexpr int32_t kSilence = -9999;

constexpr int kLevelWidth = 12, kLevelHeight = 120;
constexpr int kPhaseWidth = 154, kPhaseHeight = 12;

// Compares the meter's picture with the unlit image, except where lit(x, y) says the lit image
// must show. Returns "" when every pixel matches, else the first mismatch and their number.
std::string PictureMismatch(HWND meter, const BYTE* unlit, const BYTE* lit,
                            const std::function<bool(int, int)>& litAt) {
    const CPixels picture(meter, CPixels::kAsShown);
    std::ostringstream first;
    int mismatches = 0;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const bool shouldBeLit = litAt(x, y);
            const COLORREF expected = RgbtColour(shouldBeLit ? lit : unlit, picture.width(), x, y);
            if (picture.At(x, y) == expected) continue;
            if (mismatches++ == 0) {
                first << "(" << x << ", " << y << ") should show the "
                      << (shouldBeLit ? "lit" : "unlit") << " image";
            }
        }
    }
    if (mismatches == 0) return "";
    first << "; " << mismatches << " pixels differ";
    return first.str();
}

std::function<bool(int, int)> Rows(int first, int last) {
    return [=](int, int y) { return y >= first && y <= last; };
}
std::function<bool(int, int)> Columns(int first, int last) {
    return [=](int x, int) { return x >= first && x <= last; };
}
const std::function<bool(int, int)> kNothingLit = [](int, int) { return false; };

LRESULT Send(HWND window, UINT message, int32_t wParam, int32_t lParam) {
    return SendMessageA(window, message, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam));
}

class MeterWindowTest : public testing::Test {
protected:
    void SetUp() override {
        module_ = GetModuleHandleA(nullptr);
        ASSERT_TRUE(RegisterMeterClass(module_));
        ASSERT_TRUE(RegisterMeterClass(module_)) << "a second editor registers the class again";
        ASSERT_NE(CTestPage::Get().background(), nullptr);
        levelUnlit_ = LoadRawImage(module_, skin::kLevelMeterId);
        levelLit_ = LoadRawImage(module_, skin::kLevelMeterLitId);
        phaseUnlit_ = LoadRawImage(module_, skin::kPhaseMeterId);
        phaseLit_ = LoadRawImage(module_, skin::kPhaseMeterLitId);
        ASSERT_TRUE(levelUnlit_ && levelLit_ && phaseUnlit_ && phaseLit_);

        page_ = CTestPage::Get().window();
        ASSERT_NE(page_, nullptr);
        level_ =
            CreateMeter(MTS_VERTICAL | MTS_BALLISTICS, 341, 54, kLevelWidth, kLevelHeight, 10010);
        phase_ = CreateMeter(0, 149, 157, kPhaseWidth, kPhaseHeight, 10009);
        ASSERT_TRUE(level_ && phase_);
        // A first paint before the images arrive draws nothing of them and must not fail.
        UpdateWindow(page_);

        Send(level_, MTM_SETRANGE, -300, 0);
        SendMessageA(level_, MTM_SETIMAGES, reinterpret_cast<WPARAM>(levelUnlit_),
                     reinterpret_cast<LPARAM>(levelLit_));
        Send(phase_, MTM_SETRANGE, 0, 180);
        SendMessageA(phase_, MTM_SETIMAGES, reinterpret_cast<WPARAM>(phaseUnlit_),
                     reinterpret_cast<LPARAM>(phaseLit_));
    }

    void TearDown() override {
        CTestPage::Get().Reset();  // destroys the meters before their class goes
        UnregisterMeterClass(module_);
    }

    HWND CreateMeter(DWORD style, int x, int y, int w, int h, int id) {
        return CTestPage::Get().Create(kMeterClassName, id, x, y, w, h, style);
    }

    std::string LevelMismatch(const std::function<bool(int, int)>& lit) {
        return PictureMismatch(level_, levelUnlit_, levelLit_, lit);
    }
    std::string PhaseMismatch(const std::function<bool(int, int)>& lit) {
        return PictureMismatch(phase_, phaseUnlit_, phaseLit_, lit);
    }

    static void PeakHolds(HWND meter, int32_t* first, int32_t* second) {
        SendMessageA(meter, MTM_GETPEAKHOLD, reinterpret_cast<WPARAM>(first),
                     reinterpret_cast<LPARAM>(second));
    }
    static void Maxima(HWND meter, int32_t* first, int32_t* second) {
        SendMessageA(meter, MTM_GETMAX, reinterpret_cast<WPARAM>(first),
                     reinterpret_cast<LPARAM>(second));
    }

    HMODULE module_ = nullptr;
    const BYTE* levelUnlit_ = nullptr;
    const BYTE* levelLit_ = nullptr;
    const BYTE* phaseUnlit_ = nullptr;
    const BYTE* phaseLit_ = nullptr;
    HWND page_ = nullptr;
    HWND level_ = nullptr;
    HWND phase_ = nullptr;
};

TEST_F(MeterWindowTest, LevelMeterLightsRowsFromTheLevelDownToTheScaleEnd) {
    Send(level_, MTM_SETVALUES, kSilence, 0);
    EXPECT_EQ(LevelMismatch(kNothingLit), "");
    Send(level_, MTM_SETVALUES, -150, 0);  // -15.0 dB: 58 rows
    EXPECT_EQ(LevelMismatch(Rows(60, 117)), "");
    Send(level_, MTM_SETVALUES, 0, 0);
    EXPECT_EQ(LevelMismatch(Rows(2, 117)), "");
    Send(level_, MTM_SETVALUES, 120, 0);  // above the range: still the full height
    EXPECT_EQ(LevelMismatch(Rows(2, 117)), "");
}

TEST_F(MeterWindowTest, LevelMeterFallsByTheDecayStepAndHoldsItsPeakLine) {
    int32_t peak = 0, secondPeak = 0;
    Send(level_, MTM_SETVALUES, -150, -60);
    for (int i = 0; i < 3; ++i) Send(level_, MTM_SETVALUES, kSilence, -60);
    // The bar has fallen to -210 (rows 83 on); the peak line stays at -150 (rows 60 and 61).
    EXPECT_EQ(LevelMismatch([](int, int y) { return y == 60 || y == 61 || (y >= 83 && y <= 117); }),
              "");
    PeakHolds(level_, &peak, &secondPeak);
    EXPECT_EQ(peak, -150);
    EXPECT_EQ(secondPeak, -60);

    for (int i = 3; i < 30; ++i) Send(level_, MTM_SETVALUES, kSilence, -60);
    PeakHolds(level_, &peak, nullptr);
    EXPECT_EQ(peak, -150) << "held for 30 updates";
    EXPECT_EQ(LevelMismatch(Rows(60, 61)), "") << "the bar is gone, the line is left";

    Send(level_, MTM_SETVALUES, kSilence, -60);
    PeakHolds(level_, &peak, &secondPeak);
    EXPECT_EQ(peak, -180);
    EXPECT_EQ(secondPeak, -60) << "channel 2 keeps being pushed up by its own bar";
    EXPECT_EQ(LevelMismatch(Rows(72, 73)), "");
    Send(level_, MTM_SETVALUES, kSilence, -60);
    PeakHolds(level_, &peak, nullptr);
    EXPECT_EQ(peak, -210);

    // A value above the peak restarts everything at once.
    Send(level_, MTM_SETVALUES, -30, -60);
    PeakHolds(level_, &peak, nullptr);
    EXPECT_EQ(peak, -30);
    EXPECT_EQ(LevelMismatch(Rows(14, 117)), "");  // s = 104 of 116
}

TEST_F(MeterWindowTest, DecayStepSetsTheFallPerUpdate) {
    Send(level_, MTM_SETDECAY, 50, 0);
    Send(level_, MTM_SETVALUES, -100, 0);
    Send(level_, MTM_SETVALUES, kSilence, 0);
    // Bar at -150 (rows 60 on), peak line at -100 (rows 41 and 42).
    EXPECT_EQ(LevelMismatch([](int, int y) { return y == 41 || y == 42 || (y >= 60 && y <= 117); }),
              "");
}

TEST_F(MeterWindowTest, MaximaRunUntilResetAndOnlyWithBallistics) {
    int32_t first = 0, second = 0;
    Send(level_, MTM_SETVALUES, -120, -40);
    Send(level_, MTM_SETVALUES, -200, -10);
    Send(level_, MTM_SETVALUES, kSilence, kSilence);
    Maxima(level_, &first, &second);
    EXPECT_EQ(first, -120);
    EXPECT_EQ(second, -10);

    Send(level_, MTM_RESETMAX, 0, 0);
    Maxima(level_, &first, &second);
    EXPECT_EQ(first, kSilence);
    EXPECT_EQ(second, kSilence);
    Send(level_, MTM_SETVALUES, -250, -260);
    Maxima(level_, nullptr, &second);  // a null address is skipped
    Maxima(level_, &first, nullptr);
    EXPECT_EQ(first, -250);
    EXPECT_EQ(second, -260);

    // The phase meter has no ballistics: neither maxima nor peak holds move.
    Send(phase_, MTM_SETVALUES, 150, 1);
    Maxima(phase_, &first, &second);
    EXPECT_EQ(first, kSilence);
    EXPECT_EQ(second, kSilence);
    PeakHolds(phase_, &first, &second);
    EXPECT_EQ(first, kSilence);
    EXPECT_EQ(second, kSilence);
}

TEST_F(MeterWindowTest, PhaseMeterBarFollowsEachValueAtOnce) {
    Send(phase_, MTM_SETVALUES, 90, 1);
    EXPECT_EQ(PhaseMismatch(Columns(0, 76)), "");
    Send(phase_, MTM_SETVALUES, 179, 1);
    EXPECT_EQ(PhaseMismatch(Columns(0, 150)), "");
    Send(phase_, MTM_SETVALUES, 180, 1);  // full opposition shows a full bar, not an empty one
    EXPECT_EQ(PhaseMismatch(Columns(0, 151)), "");
    Send(phase_, MTM_SETVALUES, 0, 1);  // no ballistics: straight down
    EXPECT_EQ(PhaseMismatch(Columns(0, 1)), "");
}

TEST_F(MeterWindowTest, RangeAndImagesTakeEffectAtTheNextPaint) {
    Send(phase_, MTM_SETVALUES, 90, 1);
    Send(phase_, MTM_SETRANGE, 0, 90);
    EXPECT_EQ(PhaseMismatch(Columns(0, 76)), "") << "a new range does not repaint";

    // Scribble over the meter; WM_PAINT brings back the picture under the new range.
    HDC dc = GetDC(phase_);
    PatBlt(dc, 0, 0, kPhaseWidth, kPhaseHeight, BLACKNESS);
    ReleaseDC(phase_, dc);
    InvalidateRect(phase_, nullptr, FALSE);
    UpdateWindow(phase_);
    EXPECT_EQ(PhaseMismatch(Columns(0, 151)), "");

    // Swapped images: the former lit image is now the background and vice versa.
    SendMessageA(phase_, MTM_SETIMAGES, reinterpret_cast<WPARAM>(phaseLit_),
                 reinterpret_cast<LPARAM>(phaseUnlit_));
    EXPECT_EQ(PhaseMismatch(Columns(0, 151)), "") << "new images do not repaint";
    Send(phase_, MTM_SETVALUES, 45, 1);
    EXPECT_EQ(PictureMismatch(phase_, phaseLit_, phaseUnlit_, Columns(0, 76)), "");
}

TEST_F(MeterWindowTest, DisabledMeterDrawsTheSame) {
    EnableWindow(level_, FALSE);
    Send(level_, MTM_SETVALUES, -150, 0);
    EXPECT_EQ(LevelMismatch(Rows(60, 117)), "");
    InvalidateRect(level_, nullptr, FALSE);
    UpdateWindow(level_);
    EXPECT_EQ(LevelMismatch(Rows(60, 117)), "");
}

}  // namespace
