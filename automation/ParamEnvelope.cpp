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
    : info_{}, current_(0.0f), override_(0), capture_(0), held_(0.0f), lastEvalTime_(0) {}

CParamEnvelope::~CParamEnvelope() = default;

void CParamEnvelope::InitFromInfo(const ParamInfoRecord& record) {
    CAutoLock lock(&lock_);  // only for the look at the segment list
    info_ = record;
    const float neutral = ToInternal(info_.info.mpdNeutralValue);
    current_.store(neutral, std::memory_order_relaxed);
    if (segments_.empty() && !IsOverridden() && !IsCaptured()) {
        held_.store(neutral, std::memory_order_relaxed);
        override_.store(1, std::memory_order_relaxed);
    }
}

float CParamEnvelope::ToInternal(float value) const {
    const MpParamInfo& p = info_.info;
    if (p.mpType == tw::kMpTypeBool) return value >= 0.5f ? 1.0f : 0.0f;
    const float scaled = info_.internalMin + (value - p.mpdMinValue) /
                                                 (p.mpdMaxValue - p.mpdMinValue) *
                                                 (info_.internalMax - info_.internalMin);
    if (p.mpType == tw::kMpTypeFloat) return scaled;
    return std::floor(scaled + 0.5f);  // integer and enumeration types
}

float CParamEnvelope::ToAutomation(float internal) const {
    const MpParamInfo& p = info_.info;
    if (p.mpType == tw::kMpTypeBool) return internal;
    return p.mpdMinValue + (internal - info_.internalMin) /
                               (info_.internalMax - info_.internalMin) *
                               (p.mpdMaxValue - p.mpdMinValue);
}

void CParamEnvelope::SetValue(float value) {
    const float internal = ToInternal(value);
    current_.store(internal, std::memory_order_relaxed);
    held_.store(internal, std::memory_order_relaxed);
    override_.store(1, std::memory_order_relaxed);
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
    capture_.store(captured ? 1 : 0, std::memory_order_relaxed);
}

int CParamEnvelope::FindSegment(int64_t t) {
    CAutoLock lock(&lock_);
    const int count = static_cast<int>(segments_.size());
    if (count == 0) return -1;
    if (t >= segments_[count - 1].rtStart) return count - 1;

    // Binary search over the starts; it stops early on an exact start.
    int lo = 0, hi = count, mid = count / 2;
    do {
        const int64_t start = segments_[mid].rtStart;
        if (start == t) break;
        if (t < start)
            hi = mid;
        else
            lo = mid;
        mid = (lo + hi) / 2;
    } while (mid != lo);

    while (mid >= 0 && segments_[mid].rtStart > t) --mid;
    return mid;
}

tw::Result CParamEnvelope::AddSegments(uint32_t count, const MpEnvelopeSegment* segments,
                                       double samplesPer100ns) {
    if (count == 0) return tw::kFalse;
    if (!segments) return tw::kErrPointer;

    CAutoLock lock(&lock_);
    // Room for every incoming segment up front: after this nothing below can fail, so a
    // failure leaves the list as it was. The list grows geometrically, so a host adding one
    // segment per call does not copy the whole list on every call; if the doubled size
    // cannot be had, the exact size still can be.
    const size_t existing = segments_.size();
    if (count > segments_.max_size() - existing) return tw::kErrOutOfMemory;
    const size_t needed = existing + count;
    if (needed > segments_.capacity()) {
        const size_t doubled = segments_.capacity() > segments_.max_size() / 2
                                   ? segments_.max_size()
                                   : 2 * segments_.capacity();
        try {
            segments_.reserve(std::max(needed, doubled));
        } catch (const std::exception&) {
            try {
                segments_.reserve(needed);
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
        segments_.push_back(segment);
    }

    const auto byStart = [](const MpEnvelopeSegment& a, const MpEnvelopeSegment& b) {
        return a.rtStart < b.rtStart;
    };
    const auto oldEnd = segments_.begin() + static_cast<std::ptrdiff_t>(existing);
    if (count > 1) std::stable_sort(oldEnd, segments_.end(), byStart);

    // Drop the incoming segments that duplicate one already listed or an earlier one of this
    // call. Duplicates share their start, so only the run of equal starts is searched: by
    // binary search in the sorted list, and in the incoming segments kept so far, which are
    // sorted too and end with that run.
    auto kept = oldEnd;
    for (auto in = oldEnd; in != segments_.end(); ++in) {
        const MpEnvelopeSegment segment = *in;
        const auto run = std::equal_range(segments_.begin(), oldEnd, segment, byStart);
        bool duplicate = std::find(run.first, run.second, segment) != run.second;
        for (auto k = kept; !duplicate && k != oldEnd && (k - 1)->rtStart == segment.rtStart; --k)
            duplicate = *(k - 1) == segment;
        if (!duplicate) *kept++ = segment;
    }
    segments_.erase(kept, segments_.end());

    // Merge the kept ones into place. The merge is stable: among segments of equal start the
    // ones already listed come first, then the new ones in the order the host gave them.
    // FindSegment returns whichever segment of such a run its binary search meets, and which
    // one that is depends only on the starts. A batch that lies after the list, the usual
    // case, is already in place.
    if (existing > 0 && kept != oldEnd && oldEnd->rtStart < (oldEnd - 1)->rtStart)
        std::inplace_merge(segments_.begin(), oldEnd, segments_.end(), byStart);

    // New automation lies ahead of playback: segments before the one in force are spent.
    // The one just before it stays.
    if (firstNewStart > lastEvalTime_) {
        const int inForce = FindSegment(lastEvalTime_);
        if (inForce >= 2) segments_.erase(segments_.begin(), segments_.begin() + (inForce - 1));
    }
    return tw::kOk;
}

tw::Result CParamEnvelope::FlushSegments(int64_t start, int64_t end) {
    CAutoLock lock(&lock_);
    const bool openStart = start == kTimeMin;
    const bool openEnd = end == kTimeMax;
    segments_.erase(std::remove_if(segments_.begin(), segments_.end(),
                                   [&](const MpEnvelopeSegment& s) {
                                       return (openStart || start < s.rtEnd) &&
                                              (openEnd || s.rtStart < end);
                                   }),
                    segments_.end());
    lastEvalTime_ = 0;
    // With its automation gone the parameter keeps the value it has.
    if (segments_.empty() && !IsOverridden() && !IsCaptured()) {
        held_.store(CurrentValue(), std::memory_order_relaxed);
        override_.store(1, std::memory_order_relaxed);
    }
    return tw::kOk;
}

tw::Result CParamEnvelope::UpdateAt(int64_t t) {
    CAutoLock lock(&lock_);
    if (segments_.empty()) return tw::kFalse;

    const int index = FindSegment(t);
    if (index >= 0) {
        const MpEnvelopeSegment& s = segments_[index];
        if (s.rtStart <= t && t <= s.rtEnd) {
            // Playback inside a segment ends a direct setting; a capture still holds.
            override_.store(0, std::memory_order_relaxed);

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
            current_.store(static_cast<float>(value), std::memory_order_relaxed);
        } else {
            // Past the segment's end: its end value holds until the next segment starts.
            current_.store(ToInternal(s.valEnd), std::memory_order_relaxed);
            // A direct setting made before playback passed this segment gives way to it.
            if (t > s.rtEnd && lastEvalTime_ < s.rtEnd && !IsCaptured() && IsOverridden())
                held_.store(CurrentValue(), std::memory_order_relaxed);
        }
    }
    lastEvalTime_ = t;
    return tw::kOk;
}

std::vector<MpEnvelopeSegment> CParamEnvelope::Segments() {
    CAutoLock lock(&lock_);
    return segments_;
}

int64_t CParamEnvelope::LastEvaluationTime() {
    CAutoLock lock(&lock_);
    return lastEvalTime_;
}
