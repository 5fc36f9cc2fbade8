// Registration of every custom control class through each class's own functions.
#include "editor/controls/ControlClasses.h"

#include "editor/controls/Meter.h"
#include "editor/controls/PushButton.h"
#include "editor/controls/Slider.h"
#include "editor/controls/StaticImage.h"
#include "editor/controls/StaticText.h"
#include "editor/controls/ValueEdit.h"

namespace {

struct ControlClass {
    bool (*registerClass)(HINSTANCE);
    void (*unregisterClass)(HINSTANCE);
};

constexpr ControlClass kControlClasses[] = {
    {RegisterPushButtonClass, UnregisterPushButtonClass},
    {RegisterSliderClass, UnregisterSliderClass},
    {RegisterValueEditClass, UnregisterValueEditClass},
    {RegisterStaticTextClass, UnregisterStaticTextClass},
    {RegisterStaticImageClass, UnregisterStaticImageClass},
    {RegisterStaticNoHitImageClass, UnregisterStaticNoHitImageClass},
    {RegisterMeterClass, UnregisterMeterClass},
};

}  // namespace

bool RegisterControlClasses(HINSTANCE instance) {
    // Every class is tried even after a failure, so one missing class leaves the others usable.
    bool all = true;
    for (const ControlClass& c : kControlClasses) all = c.registerClass(instance) && all;
    return all;
}

void UnregisterControlClasses(HINSTANCE instance) {
    for (const ControlClass& c : kControlClasses) c.unregisterClass(instance);
}
