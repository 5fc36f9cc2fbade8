// The search for the best angle's peak: for the peak and crest objectives, the angles whose peak
// could still make them the best, level after level; for the others, the peaks of the angles
// to suggest until one does not clip.
#pragma once
#include <string>
#include <vector>

#include "analysis/AnalysisPass.h"
#include "analysis/CaseRun.h"

bool PeakObjective(AnalysisObjective objective);

// An integer file holds nothing beyond full scale.
bool Clips(const CaseRun& run, int phase, bool clipsAtFullScale);

// The angles of a case that may be suggested: evaluated ones (for the peak objectives) that do
// not clip; all evaluated ones when every one clips.
std::vector<char> Allowed(const CaseRun& run, const AnalysisSettings& settings,
                          bool clipsAtFullScale, bool* allClip);

// The peak and crest objectives: every 10th degree, then the candidates among every 5th, then
// the candidates among the rest.
bool SearchPeaks(IAnalysisSource& source, std::vector<CaseRun>& runs,
                 const AnalysisSettings& settings, const PassContext& pass,
                 PhaseAnalysisResult* result, std::string* error);

// The other objectives, whose figure every angle has: the peak of the angle to suggest, and
// with an integer output, of the next ones until one does not clip. A case that keeps no frames
// evaluates a few angles per pass, in the order they would be suggested.
bool SettleBest(IAnalysisSource& source, std::vector<CaseRun>& runs,
                const AnalysisSettings& settings, const PassContext& pass,
                PhaseAnalysisResult* result, std::string* error);
