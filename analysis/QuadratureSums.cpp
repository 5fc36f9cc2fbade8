// The sums of the quadrature pair, gathered a chunk at a time, and the moments they give.
#include "analysis/QuadratureSums.h"

#include "analysis/FramePairs.h"
#include "engine/OutputStage.h"
#include "engine/PhaseKernels.h"

namespace {

// The chunk's sums, even and odd frames in their own lanes, each sum in a register of its own;
// and the frames that may reach the floor (their indices into `found`, their count returned).
// The energies of u + t and u - t only where they are used: MS phase's fold-down and difference
// are u and q alone.
template <bool kAnchors>
int AddAnchoredChunkSums(QuadratureSums& sums, const double* u, const double* t, const double* v,
                         int count, double reach, int* found) {
    FramePair su = {}, st = {}, sv = {}, uu = {}, ut = {}, uv = {}, tt = {}, tv = {}, vv = {};
    FramePair pp = {}, mm = {};
    const int even = count - count % 2;
    int pairs[kPhaseChunkFrames / 2 + 1];
    int n = 0;
    for (int k = 0; k < even; k += 2) {
        const FramePair a = LoadPair(u + k), b = LoadPair(t + k), c = LoadPair(v + k);
        const FramePair p = a + b, m = a - b;
        const FramePair a2 = a * a, b2 = b * b, c2 = c * c;
        su += a;
        st += b;
        sv += c;
        uu += a2;
        ut += a * b;
        uv += a * c;
        tt += b2;
        tv += b * c;
        vv += c2;
        if (kAnchors) {
            pp += p * p;
            mm += m * m;
        }
        const PairMask near = (a2 + b2 + c2) >= reach;
        pairs[n] = k;
        n += static_cast<int>((near[0] | near[1]) & 1);
    }
    QuadratureSums chunk;
    chunk.frames = count;
    chunk.sum[0] = LaneSum(su);
    chunk.sum[1] = LaneSum(st);
    chunk.sum[2] = LaneSum(sv);
    chunk.product[0][0] = LaneSum(uu);
    chunk.product[0][1] = LaneSum(ut);
    chunk.product[0][2] = LaneSum(uv);
    chunk.product[1][1] = LaneSum(tt);
    chunk.product[1][2] = LaneSum(tv);
    chunk.product[2][2] = LaneSum(vv);
    chunk.plus = LaneSum(pp);
    chunk.minus = LaneSum(mm);
    if (even < count) {
        const double a = u[even], b = t[even], c = v[even], p = a + b, m = a - b;
        chunk.sum[0] += a;
        chunk.sum[1] += b;
        chunk.sum[2] += c;
        chunk.product[0][0] += a * a;
        chunk.product[0][1] += a * b;
        chunk.product[0][2] += a * c;
        chunk.product[1][1] += b * b;
        chunk.product[1][2] += b * c;
        chunk.product[2][2] += c * c;
        chunk.plus += p * p;
        chunk.minus += m * m;
        pairs[n++] = even;
    }
    sums.Add(chunk);
    // Pairs to frames, each frame tested exactly.
    int kept = 0;
    for (int i = 0; i < n; ++i)
        for (int k = pairs[i]; k < pairs[i] + 2 && k < count; ++k) found[kept++] = k;
    return kept;
}

}  // namespace

MixForm MixFormOf(Coefficients c) {
    c.cosPhase = 1.0;
    c.sinPhase = 0.0;
    MixForm f;
    OutputStage::MixFrame(1.0, 0.0, 0.0, c, &f.lu, &f.ru);
    OutputStage::MixFrame(0.0, 1.0, 0.0, c, &f.lq, &f.rq);
    return f;
}

StereoMoments MomentsAt(const QuadratureSums& s, const Coefficients& c) {
    const MixForm f = MixFormOf(c);
    const double wl[3] = {f.lu, f.lq * c.cosPhase, f.lq * c.sinPhase};
    const double wr[3] = {f.ru, f.rq * c.cosPhase, f.rq * c.sinPhase};
    return MomentsOfChannels(s, wl, wr);
}

StereoMoments MomentsOfChannels(const QuadratureSums& s, const double (&wl)[3],
                                const double (&wr)[3]) {
    const double wm[3] = {wl[0] + wr[0], wl[1] + wr[1], wl[2] + wr[2]};
    const double ws[3] = {wl[0] - wr[0], wl[1] - wr[1], wl[2] - wr[2]};
    StereoMoments m;
    m.frames = s.frames;
    for (int i = 0; i < 3; ++i) {
        m.sumL += wl[i] * s.sum[i];
        m.sumR += wr[i] * s.sum[i];
    }
    m.sumLL = s.Cross(wl, wl);
    m.sumRR = s.Cross(wr, wr);
    m.sumLR = s.Cross(wl, wr);
    m.sumMid = s.Energy(wm);
    m.sumSide = s.Energy(ws);
    m.peak = kAnalysisNan;
    return m;
}

int AddChunkSums(QuadratureSums& sums, const double* u, const double* t, const double* v, int count,
                 bool anchors, double reach, int* found) {
    return anchors ? AddAnchoredChunkSums<true>(sums, u, t, v, count, reach, found)
                   : AddAnchoredChunkSums<false>(sums, u, t, v, count, reach, found);
}
