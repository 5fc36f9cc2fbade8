// The built-in demo signal: a few seconds of stereo material on which phase and width are
// easy to hear. Deterministic, and any stretch of it can be generated on its own.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

constexpr uint32_t kDemoSampleRate = 44100;
constexpr double kDemoSeconds = 8.0;

// Frames of a demo signal of the given length in seconds at the rate.
uint64_t DemoFrameCount(uint32_t samplesPerSec, double seconds);

// Writes frameCount interleaved stereo frames (left, right), starting at frame `first`, of a
// demo signal totalFrames long (which sets where the fade-out falls). Frames past the end are
// silence. Every sample depends only on its frame index: blocks join seamlessly.
void GenerateDemoSignal(uint32_t samplesPerSec, uint64_t totalFrames, uint64_t first,
                        float* interleaved, size_t frameCount);

// Writes `seconds` of the demo signal at kDemoSampleRate as a stereo 32-bit float WAV file.
// False, with the writer's message in *error, when the file cannot be written.
bool WriteDemoFile(const std::string& path, double seconds, std::string* error);
