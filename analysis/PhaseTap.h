// CPhaseTap: the analysis page's view of the stream. The streaming thread hands it every chunk
// (IChunkTap); it gathers the sums of the quadrature pair in a ring of segments covering the
// longest window, the input's and the output's correlation with meter ballistics, and the
// latest output frames, and publishes them as TapSnapshots through a triple buffer: the stream
// never allocates, locks or waits, and the page copies the newest snapshot whenever it likes.
// A new snapshot follows 20 times a second (in place of one the reader has not taken) and when
// the stream stops.
//
// Threads: OnChunk and BeginBlock on the streaming thread only; Read on one reader thread at a
// time; SetWindow and RequestReset on any thread.
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>

#include "analysis/QuadratureSums.h"
#include "analysis/StereoFigures.h"
#include "analysis/TapSnapshot.h"
#include "engine/ChunkTap.h"
#include "engine/PhaseKernels.h"

// The sums are kept per segment of at least this many frames (the chunks they take are never
// split); the window is a whole number of them besides the segment being gathered.
constexpr int kTapSegmentFrames = 8192;
// The ring covers the longest window at the highest rate the precise filter is designed for;
// at higher rates the window is as long as the ring.
constexpr uint32_t kTapHighestRateHz = 192000;
constexpr int kTapSegments =
    static_cast<int>(uint64_t{kTapMaxWindowSeconds} * kTapHighestRateHz / kTapSegmentFrames) + 2;

static_assert((kTapScopeFrames & (kTapScopeFrames - 1)) == 0, "the scope ring wraps by a mask");

class CPhaseTap final : public IChunkTap {
public:
    // Allocates everything the stream will use: null when memory runs out.
    static std::unique_ptr<CPhaseTap> Create();
    CPhaseTap(const CPhaseTap&) = delete;
    CPhaseTap& operator=(const CPhaseTap&) = delete;

    // IChunkTap (streaming thread).
    void BeginBlock(const ParamValues& params, uint32_t sampleRate) override;
    void OnChunk(const TapChunk& chunk) override;
    void EndStream() override;

    // Any thread: the window in seconds (clamped to 1..30) from the next block on.
    void SetWindow(int seconds);
    // Any thread: the stream starts everything afresh at its next block; until it has published
    // again, Read gives an empty snapshot.
    void RequestReset();
    // One reader at a time: copies the newest snapshot; true when it was published after the
    // one the previous call returned.
    bool Read(TapSnapshot* snapshot);

private:
    CPhaseTap();

    void ResetSums();
    void ResetStream();
    void CloseSegment();
    void SumWindow();
    template <typename Sample>
    void GatherScope(const Sample* out, int frames);
    void TakeBackLines(int frames);
    void TakeBackHeader();
    void StepMeters();
    void Publish();
    static void SetCorrelations(TapSnapshot& s);

    // Each thread's members, and the shared ones, lie on cache lines of their own: a line one
    // thread writes is taken from the other thread's cache, which the other then waits for.
    static constexpr int kCacheLine = 64;
    // A buffer of the triple: its snapshot (the scope in it a ring, whose next place scopeNext
    // is), and the reset the snapshot follows.
    struct alignas(kCacheLine) Buffer {
        TapSnapshot snapshot;
        int scopeNext = 0;
        uint32_t resets = 0;
    };

    // Shared: the reader's requests (rarely written), the buffers (set up once), and the triple
    // buffer's middle slot (its index, with kFresh when the writer has put a snapshot there
    // since the reader last took one).
    static constexpr int kFresh = 4;
    alignas(kCacheLine) std::atomic<int> m_window{kTapDefaultWindowSeconds};
    std::atomic<uint32_t> m_resetsAsked{0};
    std::unique_ptr<Buffer[]> m_buffers;  // three
    alignas(kCacheLine) std::atomic<int> m_middle{2};

    // Reader.
    alignas(kCacheLine) int m_front = 1;
    uint64_t m_lastRead = 0;

    // Streaming thread.
    alignas(kCacheLine) int m_back = 0;
    int m_lastPublished = 0;
    uint32_t m_resetsDone = 0;
    uint64_t m_sequence = 0;
    ParamValues m_params = kDefaultParams;
    uint32_t m_rate = 0;
    int m_windowSeconds = kTapDefaultWindowSeconds;
    int m_publishFrames = kPhaseChunkFrames;  // frames between publications, at least
    double m_decayPerFrame = 0.0;             // ln of the correlation average's decay per frame
    std::unique_ptr<QuadratureSums[]> m_segments;
    int m_newest = 0;               // the ring slot the last closed segment went to
    int m_closed = 0;               // closed segments in the ring
    QuadratureSums m_current;       // the segment being gathered
    QuadratureSums m_windowClosed;  // the closed segments the window covers
    QuadratureSums m_recent;        // the meters' exponential average of the chunks' sums
    QuadratureSums m_pending;       // the chunks' sums since the average's last step
    int m_scopeNext = 0;
    int m_scopeFrames = 0;
    int m_sincePublish = 0;
};
