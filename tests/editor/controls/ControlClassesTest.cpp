// All control classes together under Wine: registering them at once, and refusing messages that
// carry addresses when another thread sends them.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>

#include "ControlTestPage.h"
#include "editor/controls/ControlClasses.h"
#include "editor/controls/Meter.h"
#include "editor/controls/PushButton.h"
#include "editor/controls/Slider.h"
#include "editor/controls/StaticImage.h"
#include "editor/controls/StaticText.h"
#include "editor/controls/ValueEdit.h"

using namespace controltest;

namespace {

// Every new page registers the classes again, as an earlier editor may have done; each takes
// double-clicks, and unregistering removes every one.
TEST(ControlClasses, RegisterAllTogetherAgainAndAgain) {
    const char* const names[] = {kPushButtonClassName,  kSliderClassName,
                                 kValueEditClassName,   kStaticTextClassName,
                                 kStaticImageClassName, kStaticNoHitImageClassName,
                                 kMeterClassName};
    auto registered = [&](const char* name, UINT style) {
        WNDCLASSA info = {};
        return GetClassInfoA(Module(), name, &info) && (info.style & style) == style;
    };
    ASSERT_TRUE(RegisterControlClasses(Module()));
    EXPECT_TRUE(RegisterControlClasses(Module())) << "registered again";
    for (const char* name : names) EXPECT_TRUE(registered(name, CS_DBLCLKS)) << name;
    UnregisterControlClasses(Module());
    for (const char* name : names) EXPECT_FALSE(registered(name, 0)) << name;
    EXPECT_TRUE(RegisterControlClasses(Module()));
}

using CrossThreadTest = CControlTest;

// From another thread such a message changes neither the control nor what its addresses point
// to; from the control's own thread it changes one of them.
TEST_F(CrossThreadTest, MessagesCarryingAddressesWorkOnlyFromTheControlsThread) {
    ASSERT_TRUE(RegisterControlClasses(Module()));
    const std::vector<BYTE> image = SolidRgbt(160, 30, RGB(10, 200, 30));  // covers each control
    const int insets[4] = {-2, 0, 1, 0};
    constexpr int32_t kUntouched = 0x5eed;
    int32_t read[2];
    const WPARAM pixels = reinterpret_cast<WPARAM>(image.data());
    const WPARAM first = reinterpret_cast<WPARAM>(&read[0]);
    const LPARAM second = reinterpret_cast<LPARAM>(&read[1]);
    const struct {
        const char* className;
        int w, h;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    } cases[] = {
        {kMeterClassName, 154, 12, MTM_GETMAX, first, second},
        {kMeterClassName, 154, 12, MTM_GETPEAKHOLD, first, second},
        {kMeterClassName, 154, 12, MTM_SETIMAGES, pixels, LPARAM(pixels)},
        {kPushButtonClassName, 76, 21, BTM_SETIMAGES, pixels, LPARAM(pixels)},
        {kPushButtonClassName, 76, 21, BTM_SETFOCUSINSETS, reinterpret_cast<WPARAM>(insets), 1},
        {kValueEditClassName, 40, 21, EDM_SETIMAGE, pixels, 0},
        {kSliderClassName, 160, 20, SLM_SETTHUMBIMAGE, pixels, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.className << " message " << c.message);
        control = page.Create(c.className, 1, 20, 20, c.w, c.h);
        ASSERT_NE(control, nullptr);
        SetFocus(control);  // shows the button's focus frame
        read[0] = read[1] = kUntouched;
        const CPixels before(control, CPixels::kRepainted);
        EXPECT_EQ(SendFromAnotherThread(control, c.message, c.wParam, c.lParam), 0);
        EXPECT_TRUE(read[0] == kUntouched && read[1] == kUntouched);
        EXPECT_TRUE(CPixels(control, CPixels::kRepainted).Differences(before).Empty());
        Send(c.message, c.wParam, c.lParam);
        EXPECT_TRUE(read[0] != kUntouched || read[1] != kUntouched ||
                    !CPixels(control, CPixels::kRepainted).Differences(before).Empty());
        DestroyWindow(control);
    }
    // Messages without addresses still work from any thread.
    control = page.Create(kSliderClassName, 1, 20, 20, 160, 20);
    SendFromAnotherThread(control, SLM_SETVALUE, 7, 0);
    EXPECT_EQ(Send(SLM_GETVALUE), 7);
}

}  // namespace
