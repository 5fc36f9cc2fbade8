// The exact curves: the sums of one case's quadrature pair (u, t, v) over the frames, from which
// the output's moments at every phase angle follow, since the output is linear in the cosine
// and sine of the angle.
#pragma once
#include <algorithm>
#include <cmath>

#include "analysis/StereoFigures.h"
#include "engine/Coefficients.h"

// The quadrature pair of one frame.
struct Frame {
    double u, t, v;
};

// The output as the plug-in's mode matrix and gains make it from u and q = t cos + v sin:
// left = lu u + lq q, right = ru u + rq q. The weights are the output stage's own response to u
// alone and to q alone (q is t at angle 0).
struct MixForm {
    double lu, lq, ru, rq;
};

MixForm MixFormOf(Coefficients c);

// The frame count and the sums of u, t, v and of their products; also the energies of u + t
// and of u - t. Near phase 0 or 180 a fold-down (or difference) that all but cancels is then a
// small sum of its own in the basis (u + t, t, v) or (u - t, t, v), rather than the difference
// of large ones; the basis's other sums (of u + t or u - t times t and v) enter it only with
// weights that vanish there, so they may be taken from the plain products.
struct QuadratureSums {
    double frames = 0.0;
    double sum[3] = {};
    double product[3][3] = {};  // symmetric; the upper triangle is kept
    double plus = 0.0;          // the sum of (u + t)^2
    double minus = 0.0;         // the sum of (u - t)^2

    void Add(const QuadratureSums& o) {
        frames += o.frames;
        plus += o.plus;
        minus += o.minus;
        for (int i = 0; i < 3; ++i) {
            sum[i] += o.sum[i];
            for (int j = i; j < 3; ++j) product[i][j] += o.product[i][j];
        }
    }
    double Product(int i, int j) const { return i <= j ? product[i][j] : product[j][i]; }
    // The sum over the frames of (a . x)(b . x), x = (u, t, v).
    double Cross(const double (&a)[3], const double (&b)[3]) const {
        double total = 0.0;
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) total += a[i] * Product(i, j) * b[j];
        return total;
    }
    // The sum of (w . x)^2, in the basis where w's weights are smallest: with u = y - t the
    // weights on (y, t, v) are (w0, w1 - w0, w2), with u = z + t (w0, w1 + w0, w2).
    double Energy(const double (&w)[3]) const {
        const double plain = std::fabs(w[0]) + std::fabs(w[1]) + std::fabs(w[2]);
        const double onPlus = std::fabs(w[0]) + std::fabs(w[1] - w[0]) + std::fabs(w[2]);
        const double onMinus = std::fabs(w[0]) + std::fabs(w[1] + w[0]) + std::fabs(w[2]);
        if (plain <= onPlus && plain <= onMinus) return std::max(0.0, Cross(w, w));
        const bool usePlus = onPlus <= onMinus;
        const double sign = usePlus ? 1.0 : -1.0;  // the first vector is u + sign t
        const double c[3] = {w[0], w[1] - sign * w[0], w[2]};
        const double withT = Product(0, 1) + sign * Product(1, 1);
        const double withV = Product(0, 2) + sign * Product(1, 2);
        // The Gram matrix of the basis: its first vector's sums, then t's and v's.
        const double gram[3][3] = {{usePlus ? plus : minus, withT, withV},
                                   {withT, Product(1, 1), Product(1, 2)},
                                   {withV, Product(1, 2), Product(2, 2)}};
        double total = 0.0;
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) total += c[i] * gram[i][j] * c[j];
        return std::max(0.0, total);
    }
};

// The output's moments at the coefficients' angle, from the sums alone (peak unknown).
StereoMoments MomentsAt(const QuadratureSums& s, const Coefficients& c);
// The moments of a signal whose left and right channels are the weights wl and wr on (u, t, v)
// (peak unknown).
StereoMoments MomentsOfChannels(const QuadratureSums& s, const double (&wl)[3],
                                const double (&wr)[3]);

// The chunk's sums, even and odd frames in their own lanes, each sum in a register of its own;
// and the frames that may reach the floor (their indices into `found`, their count returned).
// The energies of u + t and u - t only where they are used: MS phase's fold-down and difference
// are u and q alone.
// With `anchors` the energies of u + t and u - t are summed too.
int AddChunkSums(QuadratureSums& sums, const double* u, const double* t, const double* v, int count,
                 bool anchors, double reach, int* found);
