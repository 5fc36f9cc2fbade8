// The frames that can hold the output's peak at some angle: the floor every angle's peak reaches,
// the test a frame must pass to be kept, and the peaks of the probed angles over the frames.
#pragma once
#include <cstddef>
#include <vector>

#include "analysis/CaseRun.h"

// The least over all angles of the peak of the strongest kept frames: the peak at every angle
// reaches it. The frames below it are dropped; a case that would still keep more than `limit`
// keeps none.
void RaiseFloor(CaseRun& run, size_t limit);

// The frames of a chunk that may reach the floor. A frame's bound w0 |u| + w1 r is at most
// sqrt(w0^2 + w1^2) times the length of (u, t, v), so the frames (nearly all) whose squared
// length is below `reach` (the floor's square over the larger w0^2 + w1^2 of the two channels)
// cannot; the others are tested exactly, without a square root unless they pass.
struct FloorTest {
    double reach;  // squared length a frame must have to be tested
    double floor;
};

FloorTest FloorTestOf(const CaseRun& run);

// Whether a frame's bound reaches the floor: w0 |u| + w1 r >= floor when w0 |u| does, or when
// (w1 r)^2 reaches (floor - w0 |u|)^2.
bool ReachesFloor(const CaseRun& run, double u, double t, double v, double floor);

// Each probe's peaks, left and right, taken over one more frame.
void ProbeFrame(std::vector<Probe>& probes, const Frame& f);
