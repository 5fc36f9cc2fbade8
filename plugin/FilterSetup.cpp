// The filter registration record: audio in, audio out, merit "unlikely" so that graph
// building never inserts the effect on its own.
#include "plugin/FilterSetup.h"

#include <uuids.h>

#include "plugin/PluginGuids.h"

const WCHAR kTwPhaseName[] = L"Corvane:tw Phase";
const WCHAR kTwPhasePageName[] = L"Corvane:tw Phase Property Page";

namespace {

const AMOVIESETUP_MEDIATYPE kAudioAnySubtype = {&MEDIATYPE_Audio, &GUID_NULL};

// The mapper's records take non-const name pointers; the names are never written.
WCHAR kInputName[] = L"Input";
WCHAR kOutputName[] = L"Output";

const AMOVIESETUP_PIN kPins[2] = {
    {kInputName, FALSE, FALSE, FALSE, FALSE, &GUID_NULL, kOutputName, 1, &kAudioAnySubtype},
    {kOutputName, FALSE, TRUE, FALSE, FALSE, &GUID_NULL, kInputName, 1, &kAudioAnySubtype},
};

}  // namespace

const AMOVIESETUP_FILTER kTwPhaseFilterSetup = {&CLSID_TwPhase, kTwPhaseName, MERIT_UNLIKELY, 2,
                                                kPins};
