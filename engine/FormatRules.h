// The audio formats the block processor runs, and the stereo format it delivers for an input.
// The filter's negotiation, its receive operation and the renderer's WAV files all go by
// these rules.
#pragma once
#include <cstdint>

#include "engine/WaveFormat.h"

// A plain (non-extensible) format record: block alignment and byte rate follow from the
// sample size, cbSize 0.
WaveFormat MakeWaveFormat(uint16_t tag, uint16_t channels, uint32_t samplesPerSec,
                          uint16_t bitsPerSample);

// 16-bit PCM, 32-bit or 64-bit IEEE float, in one or two channels.
bool IsProcessableSampleLayout(uint16_t tag, uint16_t bitsPerSample, uint16_t channels);

// A format the processor can stream: a processable sample layout at a sample rate above 0,
// frames packed one sample per channel (block alignment = bytes per sample x channels).
// The byte rate and cbSize are not looked at.
bool IsProcessableFormat(const WaveFormat& format);

// The format delivered for an input: the same sample type and rate in two channels.
WaveFormat StereoOutputOf(const WaveFormat& input);

// Whether the processor can run from input to output: a processable sample layout with
// packed frames in, and out the input's sample type in stereo frames. The rates are the
// negotiation's business and are not looked at.
bool IsProcessablePair(const WaveFormat& input, const WaveFormat& output);
