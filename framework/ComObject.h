// ComObject moved to base/win; this name stays until the renderer includes it from there.
#pragma once
#include "base/win/ComObject.h"
