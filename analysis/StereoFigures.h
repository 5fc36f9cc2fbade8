// The figures of a stereo signal and the sums they come from: correlation, mid/side balance,
// mono-sum loss, peak, crest factor and RMS, the sums gathered without losing precision over
// long files.
#pragma once
#include <cmath>
#include <cstddef>
#include <limits>
#include <string>

constexpr double kAnalysisNan = std::numeric_limits<double>::quiet_NaN();
constexpr double kAnalysisInf = std::numeric_limits<double>::infinity();

inline double Db10(double ratio) {
    return 10.0 * std::log10(ratio);
}

inline double Db20(double magnitude) {
    return magnitude > 0.0 ? 20.0 * std::log10(magnitude) : -kAnalysisInf;
}

// Sums over the frames of a stereo signal, from which its figures follow. The fold-down's and
// the difference's energies are sums of their own: taken from sumLL, sumRR and sumLR they would
// lose a fold-down more than about 150 dB down to rounding.
struct StereoMoments {
    double frames = 0.0;
    double sumL = 0.0, sumR = 0.0;
    double sumLL = 0.0, sumRR = 0.0, sumLR = 0.0;
    double sumMid = 0.0;   // the sum of (L + R)^2
    double sumSide = 0.0;  // the sum of (L - R)^2
    double peak = 0.0;     // the largest magnitude of either channel; NaN when not known
};

// Accumulates StereoMoments frame by frame, in blocks whose partial sums are added to the
// totals, so long files lose no precision to one running sum.
class CStereoMeter {
public:
    void Add(double left, double right);
    // The same for a run of frames, two at a time.
    void AddFrames(const double* left, const double* right, size_t frames);
    StereoMoments Moments() const;

private:
    static constexpr int kBlockFrames = 4096;

    StereoMoments m_total;
    StereoMoments m_block;
    int m_blockFrames = 0;
};

// A signal's figures. Not-a-number where a figure is undefined (a silent channel has no
// correlation, a silent signal no loss); infinities where a ratio runs off the scale (a
// fold-down more than 200 dB below the stereo level counts as cancelled: +inf loss).
struct SignalFigures {
    double correlation = 0.0;  // Pearson, -1..+1
    double midSideDb = 0.0;    // mid energy over side energy, M = (L+R)/2, S = (L-R)/2
    double monoLossDb = 0.0;   // the mean stereo power over the fold-down's, never negative
    double peakDbfs = 0.0;     // NaN when the peak is not known
    double crestDb = 0.0;      // peak over the RMS of both channels; NaN with the peak unknown
    double rmsDbfs = 0.0;      // RMS of both channels
};

// The mean power per sample of the two channels, (sum L^2 + sum R^2) / 2 frames: the level the
// mono-sum loss is measured against.
double StereoPower(const StereoMoments& moments);

// The figures of a signal. Its mono loss is measured against its own stereo level: what a mono
// listener loses against a stereo listener of the same signal, so a change of level alone
// changes no loss.
SignalFigures FiguresOf(const StereoMoments& moments);

// Whether a rendered file's moments agree with the analysis's: the same frame count, and RMS,
// fold-down RMS and peak within what writing each sample with an error of at most `quantum`
// (a 16-bit step, or 0 for float files) and single-precision rounding can change; the
// correlation within what those changes allow. Names the figures that differ.
bool MomentsAgree(const StereoMoments& analysis, const StereoMoments& measured, double quantum,
                  std::string* differences);
