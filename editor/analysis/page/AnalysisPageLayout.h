// The analysis page's controls: where each sits, its class, style and images, in tab order.
#pragma once
#include "editor/page/PageLayout.h"

extern const PageControlLayout kAnalysisLayout[];
extern const int kAnalysisLayoutCount;
