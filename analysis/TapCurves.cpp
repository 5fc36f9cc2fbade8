// The analysis page's curves from a tap snapshot: the same moments, figures and choice of angle
// as the phase analysis of a file.
#include <vector>

#include "analysis/TapSnapshot.h"
#include "engine/Coefficients.h"

bool TapCurvesOf(const TapSnapshot& snapshot, TapCurves* curves) {
    if (!(snapshot.sums.frames > 0.0)) return false;
    std::vector<SignalFigures> curve(kAnalysisAngleCount);
    ParamValues params = snapshot.params;
    for (int phase = kAnalysisMinPhase; phase <= kAnalysisMaxPhase; ++phase) {
        params[kParamPhase] = phase;
        const int i = TapAngleIndex(phase);
        curve[i] = FiguresOf(MomentsAt(snapshot.sums, ComputeCoefficients(params)));
        curves->monoLossDb[i] = curve[i].monoLossDb;
        curves->correlation[i] = curve[i].correlation;
    }
    const std::vector<char> allowed(kAnalysisAngleCount, 1);
    curves->bestMonoPhase = ChooseAngle(curve, AnalysisObjective::kMonoLoss, allowed);
    curves->bestCorrelationPhase = ChooseAngle(curve, AnalysisObjective::kCorrelation, allowed);
    return true;
}
