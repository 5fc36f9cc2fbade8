// The interface identifier of IVxPlugInProp, defined once for the whole plug-in.
#include "engine/win/VxPlugInProp.h"

extern "C" const IID IID_IVxPlugInProp = {
    0x3bfc40c3, 0x90bb, 0x41ba, {0x8c, 0x42, 0x93, 0xf7, 0x8d, 0x40, 0x31, 0x42}};
