// CParamEnvelope: segment list maintenance and evaluation.
#include "automation/ParamEnvelope.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <exception>
#include <limits>

#include "automation/TimeMath.h"

namespace {

constexpr double kSecondsPer100ns = 1e-7;
constexpr double kPi = 3.14159265358979323846;

constexpr int64_t kTimeMin = std::numeric_limits<int64_t>::min();
constexpr int64_t kTimeMax = std::numeric_limits<int64_t>::max();

// The start of the sample that holds time t. Computed in double precision it can land one
// sample early for a time already on a sample boundary, so each time is quantised only once.
int64_t QuantiseTime(int64_t t, double samplesPer100ns) {
    const double sample = std::trunc(static_cast<double>(t) * samplesPer100ns);
    return tw::TruncateToTime(sample * (1.0 / samplesPer100ns) + 0.5);
}

// b - a as a double for a <= b, without signed overflow for far-apart times.
double Distance(int64_t a, int64_t b) {
    return static_cast<double>(static_cast<uint64_t>(b) - static_cast<uint64_t>(a));
}

}  // namespace

CParamEnvelope::CParamEnvelope()
    : m_info{}, m_current(0.0f), m_override(0), m_capture(0), m_held(0.0f), m_lastEvalTime(0) {}

CParamEnvelope::~CParamEnvelope() = default;

void CParamEnvelope::InitFromInfo(const ParamInfoRecord& record) {
    CAutoLock lock(&m_lock);  // only for the look at the segment list
    m_info = record;
    const float neutral = ToInternal(m_info.info.mpdNeutralValue);
    m_current.store(neutral, std::memory_order_relaxed);
    if (m_segments.empty() && !IsOverridden() && !IsCaptured()) {
        m_held.store(neutral, std::memory_order_relaxed);
        m_override.store(1, std::memory_order_relaxed);
    }
}

float CParamEnvelope::ToInternal(float value) const {
    const MpParamInfo& p = m_info.info;
    if (p.mpType == tw::kMpTypeBool) return value >= 0.5f ? 1.0f : 0.0f;
    const float scaled = m_info.internalMin + (value - p.mpdMinValue) /
                                                 (p.mpdMaxValue - p.mpdMinValue) *
                                                 (m_info.internalMax - m_info.internalMin);
    if (p.mpType == tw::kMpTypeFloat) return scaled;
    return std::floor(scaled + 0.5f);  // integer and enumeration types
}

float CParamEnvelope::ToAutomation(float internal) const {
    const MpParamInfo& p = m_info.info;
    if (p.mpType == tw::kMpTypeBool) return internal;
    return p.mpdMinValue + (internal - m_info.internalMin) /
                               (m_info.internalMax - m_info.internalMin) *
                               (p.mpdMaxValue - p.mpdMinValue);
}

void CParamEnvelope::SetValue(float value) {
    const float internal = ToInternal(value);
    m_current.store(internal, std::memory_order_relaxed);
    m_held.store(internal, std::memory_order_relaxed);
    m_override.store(1, std::memory_order_relaxed);
}

tw::Result CParamEnvelope::GetValue(float* value) const {
    if (!value) return tw::kErrPointer;
    *value = ToAutomation(EffectiveValue());
    return tw::kOk;
}

float CParamEnvelope::EffectiveValue() const {
    if (IsOverridden() || IsCaptured()) return HeldValue();
    return CurrentValue();
}

void CParamEnvelope::SetCapture(bool captured) {
    m_capture.store(captured ? 1 : 0, std::memory_order_relaxed);
}

int CParamEnvelope::FindSegment(int64_t t) {
    CAutoLock lock(&m_lock);
    const int count = static_cast<int>(m_segments.size());
    if (count == 0) return -1;
    if (t >= m_segments[count - 1].rtStart) return count - 1;

    // Binary search over the starts; it stops early on an exact start.
    int lo = 0, hi = count, mid = count / 2;
    do {
        const int64_t start = m_segments[mid].rtStart;
        if (start == t) break;
        if (t < start)
            hi = mid;
        else
            lo = mid;
        mid = (lo + hi) / 2;
    } while (mid != lo);

    while (mid >= 0 && m_segments[mid].rtStart > t) --mid;
    return mid;
}

tw::Result CParamEnvelope::AddSegments(uint32_t count, const MpEnvelopeSegment* segments,
                                       double samplesPer100ns) {
    if (count == 0) return tw::kFalse;
    if (!segments) return tw::kErrPointer;

    CAutoLock lock(&m_lock);
    // Room for every incoming segment up front: after this nothing below can fail, so a
    // failure leaves the list as it was. The list grows geometrically, so a host adding one
    // segment per call does not copy the whole list on every call; if the doubled size
    // cannot be had, the exact size still can be.
    const size_t existing = m_segments.size();
    if (count > m_segments.max_size() - existing) return tw::kErrOutOfMemory;
    const size_t needed = existing + count;
    if (needed > m_segments.capacity()) {
        const size_t doubled = m_segments.capacity() > m_segments.max_size() / 2
                                   ? m_segments.max_size()
                                   : 2 * m_segments.capacity();
        try {
            m_segments.reserve(std::max(needed, doubled));
        } catch (const std::exception&) {
            try {
                m_segments.reserve(needed);
            } catch (const std::exception&) {
                return tw::kErrOutOfMemory;
            }
        }
    }

    // The incoming segments, quantised, go behind the sorted list for now.
    // Without a sample rate there is no sample grid; the host's times are kept.
    const bool quantise = samplesPer100ns > 0.0 && std::isfinite(samplesPer100ns);
    int64_t firstNewStart = kTimeMax;
    for (uint32_t i = 0; i < count; ++i) {
        MpEnvelopeSegment segment = segments[i];
        if (quantise) {
            segment.rtStart = QuantiseTime(segment.rtStart, samplesPer100ns);
            segment.rtEnd = QuantiseTime(segment.rtEnd, samplesPer100ns);
        }
        firstNewStart = std::min(firstNewStart, segment.rtStart);
        m_segments.push_back(segment);
    }

    const auto byStart = [](const MpEnvelopeSegment& a, const MpEnvelopeSegment& b) {
        return a.rtStart < b.rtStart;
    };
    const auto oldEnd = m_segments.begin() + static_cast<std::ptrdiff_t>(existing);
    if (count > 1) std::stable_sort(oldEnd, m_segments.end(), byStart);

    // Drop the incoming segments that duplicate one already listed or an earlier one of this
    // call. Duplicates share their start, so only the run of equal starts is searched: by
    // binary search in the sorted list, and in the incoming segments kept so far, which are
    // sorted too and end with that run.
    auto kept = oldEnd;
    for (auto in = oldEnd; in != m_segments.end(); ++in) {
        const MpEnvelopeSegment segment = *in;
        const auto run = std::equal_range(m_segments.begin(), oldEnd, segment, byStart);
        bool duplicate = std::find(run.first, run.second, segment) != run.second;
        for (auto k = kept; !duplicate && k != oldEnd && (k - 1)->rtStart == segment.rtStart; --k)
            duplicate = *(k - 1) == segment;
        if (!duplicate) *kept++ = segment;
    }
    m_segments.erase(kept, m_segments.end());

    // Merge the kept ones into place. The merge is stable: among segments of equal start the
    // ones already listed come first, then the new ones in the order the host gave them.
    // FindSegment returns whichever segment of such a run its binary search meets, and which
    // one that is depends only on the starts. A batch that lies after the list, the usual
    // case, is already in place.
    if (existing > 0 && kept != oldEnd && oldEnd->rtStart < (oldEnd - 1)->rtStart)
        std::inplace_merge(m_segments.begin(), oldEnd, m_segments.end(), byStart);

    // New automation lies ahead of playback: segments before the one in force are spent.
    // The one just before it stays.
    if (firstNewStart > m_lastEvalTime) {
        const int inForce = FindSegment(m_lastEvalTime);
        if (inForce >= 2) m_segments.erase(m_segments.begin(), m_segments.begin() + (inForce - 1));
    }
    return tw::kOk;
}

tw::Result CParamEnvelope::FlushSegments(int64_t start, int64_t end) {
    CAutoLock lock(&m_lock);
    const bool openStart = start == kTimeMin;
    const bool openEnd = end == kTimeMax;
    m_segments.erase(std::remove_if(m_segments.begin(), m_segments.end(),
                                   [&](const MpEnvelopeSegment& s) {
                                       return (openStart || start < s.rtEnd) &&
                                              (openEnd || s.rtStart < end);
                                   }),
                    m_segments.end());
    m_lastEvalTime = 0;
    // With its automation gone the parameter keeps the value it has.
    if (m_segments.empty() && !IsOverridden() && !IsCaptured()) {
        m_held.store(CurrentValue(), std::memory_order_relaxed);
        m_override.store(1, std::memory_order_relaxed);
    }
    return tw::kOk;
}

tw::Result CParamEnvelope::UpdateAt(int64_t t) {
    CAutoLock lock(&m_lock);
    if (m_segments.empty()) return tw::kFalse;

    const int index = FindSegment(t);
    if (index >= 0) {
        const MpEnvelopeSegment& s = m_segments[index];
        if (s.rtStart <= t && t <= s.rtEnd) {
            // Playback inside a segment ends a direct setting; a capture still holds.
            m_override.store(0, std::memory_order_relaxed);

            const double y0 = ToInternal(s.valStart);
            const double y1 = ToInternal(s.valEnd);
            const double d = y1 - y0;
            // A segment of zero length is evaluated at its end.
            const double h = s.rtEnd == s.rtStart
                                 ? 1.0
                                 : (Distance(s.rtStart, t) * kSecondsPer100ns) /
                                       (Distance(s.rtStart, s.rtEnd) * kSecondsPer100ns);
            double value;
            switch (s.iCurve) {
                case tw::kCurveJump:
                    value = y0;
                    break;
                case tw::kCurveLinear:
                    value = y0 + h * d;
                    break;
                case tw::kCurveSquare:
                    value = y0 + d * (h * h);
                    break;
                case tw::kCurveInvSquare:
                    value = y1 - d * ((h - 1.0) * (h - 1.0));
                    break;
                default:
                    // Sine and unknown shapes: a half cosine from y0 to y1, flat at both ends.
                    value = y0 + d * (1.0 - std::cos(kPi * h)) / 2.0;
                    break;
            }
            m_current.store(static_cast<float>(value), std::memory_order_relaxed);
        } else {
            // Past the segment's end: its end value holds until the next segment starts.
            m_current.store(ToInternal(s.valEnd), std::memory_order_relaxed);
            // A direct setting made before playback passed this segment gives way to it.
            if (t > s.rtEnd && m_lastEvalTime < s.rtEnd && !IsCaptured() && IsOverridden())
                m_held.store(CurrentValue(), std::memory_order_relaxed);
        }
    }
    m_lastEvalTime = t;
    return tw::kOk;
}

std::vector<MpEnvelopeSegment> CParamEnvelope::Segments() {
    CAutoLock lock(&m_lock);
    return m_segments;
}

int64_t CParamEnvelope::LastEvaluationTime() {
    CAutoLock lock(&m_lock);
    return m_lastEvalTime;
}
