// The analysis tap: the stream's sums, meters and scope, and their publication.
#include "analysis/PhaseTap.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace {

constexpr int kPublishesPerSecond = 20;

// Asks for the cache line at p to be brought in to be written, without waiting for it.
inline void PrefetchForWrite(const char* p) {
#if defined(__x86_64__) || defined(__i386__)
    __asm__("prefetchw %0" : : "m"(*p));  // a no-op on processors that lack it
#else
    __builtin_prefetch(p, 1);
#endif
}

// The pair's sums scaled by a factor, the average's decay.
void Scale(QuadratureSums& s, double factor) {
    s.frames *= factor;
    s.plus *= factor;
    s.minus *= factor;
    for (int i = 0; i < 3; ++i) {
        s.sum[i] *= factor;
        for (int j = i; j < 3; ++j) s.product[i][j] *= factor;
    }
}

}  // namespace

CPhaseTap::CPhaseTap() = default;

std::unique_ptr<CPhaseTap> CPhaseTap::Create() {
    std::unique_ptr<CPhaseTap> tap(new (std::nothrow) CPhaseTap());
    if (!tap) return nullptr;
    tap->m_buffers.reset(new (std::nothrow) TapSnapshot[3]);
    tap->m_bufferResets.reset(new (std::nothrow) uint32_t[3]());
    tap->m_segments.reset(new (std::nothrow) QuadratureSums[kTapSegments]);
    if (!tap->m_buffers || !tap->m_bufferResets || !tap->m_segments) return nullptr;
    return tap;
}

void CPhaseTap::SetWindow(int seconds) {
    m_window.store(std::max(kTapMinWindowSeconds, std::min(kTapMaxWindowSeconds, seconds)),
                   std::memory_order_relaxed);
}

void CPhaseTap::RequestReset() {
    m_resetsAsked.fetch_add(1, std::memory_order_acq_rel);
}

bool CPhaseTap::Read(TapSnapshot* snapshot) {
    if (m_middle.load(std::memory_order_acquire) & kFresh) {
        m_front = m_middle.exchange(m_front, std::memory_order_acq_rel) & ~kFresh;
        // The figures of the meters, formed here on the reader's thread rather than the stream's.
        SetCorrelations(m_buffers[m_front]);
    }
    // A snapshot from before the latest reset request is no longer the analysis asked for.
    if (m_bufferResets[m_front] != m_resetsAsked.load(std::memory_order_acquire)) {
        *snapshot = TapSnapshot();
        snapshot->windowSeconds = m_window.load(std::memory_order_relaxed);
        m_lastRead = 0;
        return false;
    }
    *snapshot = m_buffers[m_front];
    const bool newer = snapshot->sequence != m_lastRead;
    m_lastRead = snapshot->sequence;
    return newer;
}

// The meters' figures from their average of the sums. The input from the reference pair: u and
// t are the first and second signals through the same all-pass reference chain (or delay), which
// leaves their correlation as it is. The output at the block's coefficients.
void CPhaseTap::SetCorrelations(TapSnapshot& s) {
    static constexpr double kLrLeft[3] = {1.0, 0.0, 0.0}, kLrRight[3] = {0.0, 1.0, 0.0};
    static constexpr double kMsLeft[3] = {0.5, 0.5, 0.0}, kMsRight[3] = {0.5, -0.5, 0.0};
    const bool ms = ModeOf(s.params) == Mode::kMsPhase;
    s.inputCorrelation =
        FiguresOf(MomentsOfChannels(s.recent, ms ? kMsLeft : kLrLeft, ms ? kMsRight : kLrRight))
            .correlation;
    s.outputCorrelation = FiguresOf(MomentsAt(s.recent, ComputeCoefficients(s.params))).correlation;
}

void CPhaseTap::ResetSums() {
    m_closed = 0;
    m_current = QuadratureSums();
    m_windowClosed = QuadratureSums();
}

void CPhaseTap::ResetStream() {
    ResetSums();
    m_recent = m_pending = QuadratureSums();
    m_scopeNext = m_scopeFrames = 0;
    m_sincePublish = 0;
}

void CPhaseTap::BeginBlock(const ParamValues& params, uint32_t sampleRate) {
    const uint32_t asked = m_resetsAsked.load(std::memory_order_acquire);
    if (asked != m_resetsDone) {
        m_resetsDone = asked;
        ResetStream();
    }
    // Another mode or filter makes another pair: its sums start afresh.
    if (ModeOf(params) != ModeOf(m_params) || FilterOf(params) != FilterOf(m_params)) {
        ResetSums();
        m_recent = m_pending = QuadratureSums();
    }
    m_params = params;
    const int window = m_window.load(std::memory_order_relaxed);
    if (sampleRate != m_rate || window != m_windowSeconds) {
        m_rate = sampleRate;
        m_windowSeconds = window;
        m_publishFrames = std::max<int>(kPhaseChunkFrames, sampleRate / kPublishesPerSecond);
        m_decayPerFrame = sampleRate > 0 ? -1.0 / (kTapCorrelationSeconds * sampleRate) : 0.0;
        SumWindow();
    }
}

namespace {

// The kernel's sums of the chunk as QuadratureSums.
QuadratureSums SumsOf(const TapChunk& chunk) {
    const ChunkSums& c = chunk.sums;
    QuadratureSums s;
    s.frames = chunk.frames;
    for (int i = 0; i < 3; ++i) s.sum[i] = c.sum[i];
    s.product[0][0] = c.product[0];
    s.product[0][1] = c.product[1];
    s.product[0][2] = c.product[2];
    s.product[1][1] = c.product[3];
    s.product[1][2] = c.product[4];
    s.product[2][2] = c.product[5];
    s.plus = c.plus;
    s.minus = c.minus;
    return s;
}

}  // namespace

void CPhaseTap::OnChunk(const TapChunk& chunk) {
    const QuadratureSums sums = SumsOf(chunk);
    m_current.Add(sums);
    // The meters take the same sums into their average a publication's worth at a time.
    m_pending.Add(sums);
    if (m_pending.frames >= m_publishFrames) StepMeters();

    if (chunk.outFloat != nullptr)
        GatherScope(chunk.outFloat, chunk.frames);
    else
        GatherScope(chunk.outDouble, chunk.frames);
    TakeBackLines(chunk.frames);
    if (m_current.frames >= kTapSegmentFrames) CloseSegment();
    // A snapshot the reader has not taken yet is not replaced: a page reads at its own pace,
    // and one that holds its view costs the stream no copies.
    m_sincePublish += chunk.frames;
    if (m_sincePublish >= m_publishFrames && !(m_middle.load(std::memory_order_relaxed) & kFresh))
        Publish();
}

void CPhaseTap::EndStream() {
    if (m_sincePublish > 0) Publish();
}

// The snapshot the stream writes next was last read by the page, on its own thread and so
// perhaps in another core's cache: each of its lines the stream writes must first be taken from
// there. Asked for a share at a time as the chunks come, they arrive while the signal path runs,
// rather than one after the other while the snapshot is written.
void CPhaseTap::TakeBackLines(int frames) {
    constexpr int kLine = 64;
    constexpr int kBytes = static_cast<int>(sizeof(TapSnapshot));
    const int end = std::min<int>(kBytes, static_cast<int>(m_takenBytes + int64_t{kBytes} * frames /
                                                                    m_publishFrames + kLine));
    const char* back = reinterpret_cast<const char*>(&m_buffers[m_back]);
    for (; m_takenBytes < end; m_takenBytes += kLine) PrefetchForWrite(back + m_takenBytes);
}

// The output frames as written, into the ring, in the runs it holds without wrapping.
template <typename Sample>
void CPhaseTap::GatherScope(const Sample* out, int frames) {
    for (int done = 0; done < frames;) {
        const int n = std::min(frames - done, kTapScopeFrames - m_scopeNext);
        std::copy(out + 2 * done, out + 2 * (done + n), &m_scope[m_scopeNext][0]);
        m_scopeNext = (m_scopeNext + n) & (kTapScopeFrames - 1);
        done += n;
    }
    m_scopeFrames = std::min(kTapScopeFrames, m_scopeFrames + frames);
}

void CPhaseTap::CloseSegment() {
    m_newest = (m_newest + 1) % kTapSegments;
    m_segments[m_newest] = m_current;
    m_closed = std::min(m_closed + 1, kTapSegments);
    m_current = QuadratureSums();
    SumWindow();
}

// The closed segments, newest first, that fit in the window beside a segment being gathered;
// summed afresh rather than by taking the oldest away, which would leave its rounding behind.
void CPhaseTap::SumWindow() {
    const double room = static_cast<double>(m_windowSeconds) * m_rate - kTapSegmentFrames;
    m_windowClosed = QuadratureSums();
    for (int n = 0; n < m_closed; ++n) {
        const QuadratureSums& s = m_segments[(m_newest - n + kTapSegments) % kTapSegments];
        if (n > 0 && m_windowClosed.frames + s.frames > room) break;
        m_windowClosed.Add(s);
    }
}

// The meters' exponential average, stepped over the frames gathered since its last step: the
// older frames decay by the time those took, the newer ones join at full weight. A step spans at
// most a publication's frames, a fraction of the time constant, so the figures move as smoothly
// as the page shows them, whether or not the page has taken the last snapshot.
void CPhaseTap::StepMeters() {
    Scale(m_recent, std::exp(m_decayPerFrame * m_pending.frames));
    m_recent.Add(m_pending);
    m_pending = QuadratureSums();
}

void CPhaseTap::Publish() {
    TapSnapshot& s = m_buffers[m_back];
    s.sequence = ++m_sequence;
    s.params = m_params;
    s.sampleRate = m_rate;
    s.windowSeconds = m_windowSeconds;
    s.sums = m_windowClosed;
    s.sums.Add(m_current);
    StepMeters();
    s.recent = m_recent;
    s.scopeFrames = m_scopeFrames;
    // Oldest first: the ring from its next slot round to the one before it.
    const int oldest = (m_scopeNext - m_scopeFrames + kTapScopeFrames) & (kTapScopeFrames - 1);
    const int first = std::min(m_scopeFrames, kTapScopeFrames - oldest);
    std::copy(&m_scope[oldest][0], &m_scope[oldest][0] + 2 * first, &s.scope[0][0]);
    std::copy(&m_scope[0][0], &m_scope[0][0] + 2 * (m_scopeFrames - first), &s.scope[first][0]);
    m_bufferResets[m_back] = m_resetsDone;
    m_back = m_middle.exchange(m_back | kFresh, std::memory_order_acq_rel) & ~kFresh;
    m_takenBytes = 0;
    m_sincePublish = 0;
}
