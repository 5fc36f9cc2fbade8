// The analysis tap: the stream's sums, meters and scope, and their publication.
#include "analysis/PhaseTap.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace {

constexpr int kPublishesPerSecond = 20;

// Asks for the cache line at p to be brought in to be written, without waiting for it.
inline void PrefetchForWrite(const void* address) {
    const char* p = static_cast<const char*>(address);
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
    tap->m_buffers.reset(new (std::nothrow) Buffer[3]);
    tap->m_segments.reset(new (std::nothrow) QuadratureSums[kTapSegments]);
    if (!tap->m_buffers || !tap->m_segments) return nullptr;
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
        SetCorrelations(m_buffers[m_front].snapshot);
    }
    const Buffer& front = m_buffers[m_front];
    // A snapshot from before the latest reset request is no longer the analysis asked for.
    if (front.resets != m_resetsAsked.load(std::memory_order_acquire)) {
        *snapshot = TapSnapshot();
        snapshot->windowSeconds = m_window.load(std::memory_order_relaxed);
        m_lastRead = 0;
        return false;
    }
    *snapshot = front.snapshot;
    // The scope oldest first: the ring from its oldest frame round to the newest.
    const int frames = front.snapshot.scopeFrames;
    const int oldest = (front.scopeNext - frames) & (kTapScopeFrames - 1);
    const int first = std::min(frames, kTapScopeFrames - oldest);
    const float* ring = &front.snapshot.scope[0][0];
    std::copy(ring + 2 * oldest, ring + 2 * (oldest + first), &snapshot->scope[0][0]);
    std::copy(ring, ring + 2 * (frames - first), &snapshot->scope[first][0]);
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
    if (m_current.frames >= kTapSegmentFrames) CloseSegment();
    // Published whether or not the reader has taken the last snapshot: a publication writes no
    // more than the snapshot's own figures, while looking first would cost the stream a wait for
    // the line the reader last wrote. That line is asked for a chunk ahead instead.
    m_sincePublish += chunk.frames;
    if (m_sincePublish >= m_publishFrames)
        Publish();
    else if (m_sincePublish + kPhaseChunkFrames >= m_publishFrames)
        PrefetchForWrite(&m_middle);
    // After any publication, so the lines asked for are those of the buffer the next chunk goes to.
    TakeBackLines(chunk.frames);
}

void CPhaseTap::EndStream() {
    if (m_sincePublish > 0) Publish();
}

// The snapshot the stream writes next was last read by the page, on its own thread and so
// perhaps in another core's cache: each of its lines the stream writes must first be taken from
// there. Asked for ahead of their writing, they arrive while the signal path runs instead of
// holding up the writes: the scope's lines for as many frames as the last chunk had, and after
// a publication the rest of the new buffer.
void CPhaseTap::TakeBackLines(int frames) {
    const Buffer& back = m_buffers[m_back];
    for (int i = 0; i < frames; i += kCacheLine / sizeof(back.snapshot.scope[0]))
        PrefetchForWrite(&back.snapshot.scope[(m_scopeNext + i) & (kTapScopeFrames - 1)][0]);
}

void CPhaseTap::TakeBackHeader() {
    const Buffer& back = m_buffers[m_back];
    const char* first = reinterpret_cast<const char*>(&back);
    const char* scope = reinterpret_cast<const char*>(&back.snapshot.scope[0][0]);
    for (const char* p = first; p < scope; p += kCacheLine) PrefetchForWrite(p);
    const char* end = first + sizeof(Buffer);
    for (const char* p = scope + sizeof(back.snapshot.scope); p < end; p += kCacheLine)
        PrefetchForWrite(p);
}

// The output frames as written, into the ring of the snapshot being prepared (each frame at the
// same place in every buffer's ring), in the runs it holds without wrapping.
template <typename Sample>
void CPhaseTap::GatherScope(const Sample* out, int frames) {
    float(&ring)[kTapScopeFrames][2] = m_buffers[m_back].snapshot.scope;
    for (int done = 0; done < frames;) {
        const int n = std::min(frames - done, kTapScopeFrames - m_scopeNext);
        std::copy(out + 2 * done, out + 2 * (done + n), &ring[m_scopeNext][0]);
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
    Buffer& back = m_buffers[m_back];
    TapSnapshot& s = back.snapshot;
    s.sequence = ++m_sequence;
    s.params = m_params;
    s.sampleRate = m_rate;
    s.windowSeconds = m_windowSeconds;
    s.sums = m_windowClosed;
    s.sums.Add(m_current);
    StepMeters();
    s.recent = m_recent;
    s.scopeFrames = m_scopeFrames;
    // The ring holds the frames since this buffer was last published; the older ones the scope
    // shows are in the buffer published last, at the same places (published earlier, and written
    // by no one until the stream takes it back).
    const int older = m_scopeFrames - std::min(m_sincePublish, kTapScopeFrames);
    if (older > 0) {
        const float* last = &m_buffers[m_lastPublished].snapshot.scope[0][0];
        float* ring = &s.scope[0][0];
        const int from = (m_scopeNext - std::min(m_sincePublish, kTapScopeFrames) - older) &
                         (kTapScopeFrames - 1);
        const int first = std::min(older, kTapScopeFrames - from);
        std::copy(last + 2 * from, last + 2 * (from + first), ring + 2 * from);
        std::copy(last, last + 2 * (older - first), ring);
    }
    back.scopeNext = m_scopeNext;
    back.resets = m_resetsDone;
    m_lastPublished = m_back;
    m_back = m_middle.exchange(m_back | kFresh, std::memory_order_acq_rel) & ~kFresh;
    TakeBackHeader();
    m_sincePublish = 0;
}
