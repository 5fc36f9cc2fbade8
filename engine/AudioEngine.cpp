// The engine as one object: the parameter model and the block processor that reads it.
#include "engine/AudioEngine.h"

CAudioEngine::CAudioEngine() = default;

CAudioEngine::~CAudioEngine() = default;
