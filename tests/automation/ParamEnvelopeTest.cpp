// CParamEnvelope: segment bookkeeping, evaluation and how direct settings and captures
// combine with automation.
#include "automation/ParamEnvelope.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "automation/ParamInfoTable.h"
#include "engine/ParamMapping.h"

namespace {

constexpr double k44100 = 44100 * 1e-7;  // samples per 100 ns
constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
constexpr int64_t kMax = std::numeric_limits<int64_t>::max();

MpEnvelopeSegment Seg(int64_t start, int64_t end, float v0, float v1,
                      int32_t curve = tw::kCurveJump, int32_t flags = 0) {
    return {start, end, v0, v1, curve, flags};
}

class EnvelopeTest : public ::testing::Test {
protected:
    void SetUp() override { env.InitFromInfo(kParamInfoTable[kParamWidth]); }
    void Add(const MpEnvelopeSegment& s) { ASSERT_EQ(tw::kOk, env.AddSegments(1, &s, k44100)); }
    CParamEnvelope env;
};

}  // namespace

TEST_F(EnvelopeTest, FreshEnvelopeHoldsNeutralValueAsOverride) {
    EXPECT_TRUE(env.IsOverridden());
    EXPECT_FLOAT_EQ(0.5f, env.EffectiveValue());
    CParamEnvelope output;
    output.InitFromInfo(kParamInfoTable[kParamOutput]);
    float v = 0;
    EXPECT_EQ(tw::kOk, output.GetValue(&v));
    EXPECT_EQ(0.8574821949005127f, v);
    EXPECT_EQ(tw::kErrPointer, output.GetValue(nullptr));
}

TEST_F(EnvelopeTest, TimesAreQuantisedOnceToTheSampleStart) {
    const MpEnvelopeSegment host = Seg(1000005, 2000000, 0.1f, 0.2f);
    Add(host);
    EXPECT_EQ(1000000, env.Segments()[0].rtStart);
    EXPECT_EQ(1000005, host.rtStart);  // the caller's array is only read

    // Without a sample rate there is no grid: times stay as given, nothing divides by zero.
    CParamEnvelope raw;
    raw.InitFromInfo(kParamInfoTable[kParamWidth]);
    EXPECT_EQ(tw::kOk, raw.AddSegments(1, &host, 0.0));
    EXPECT_EQ(1000005, raw.Segments()[0].rtStart);

    // Times near the ends of the range saturate rather than overflow.
    const MpEnvelopeSegment forever = Seg(kMax - 1, kMax, 0.0f, 1.0f);
    Add(forever);
    EXPECT_EQ(kMax, env.Segments().back().rtEnd);
}

TEST_F(EnvelopeTest, DuplicatesSkippedAndSegmentsKeptSorted) {
    EXPECT_EQ(tw::kFalse, env.AddSegments(0, nullptr, k44100));
    const MpEnvelopeSegment a = Seg(0, 100000, 0.1f, 0.2f);
    Add(a);
    Add(a);
    const MpEnvelopeSegment pair[2] = {a, a};
    EXPECT_EQ(tw::kOk, env.AddSegments(2, pair, k44100));
    EXPECT_EQ(1u, env.Segments().size());
    Add(Seg(0, 100000, 0.1f, 0.2f, tw::kCurveJump, 1));  // differs only in flags
    EXPECT_EQ(2u, env.Segments().size());

    CParamEnvelope desc;
    desc.InitFromInfo(kParamInfoTable[kParamWidth]);
    const MpEnvelopeSegment descending[3] = {Seg(30000000, 35000000, 0, 0),
                                             Seg(20000000, 25000000, 0, 0),
                                             Seg(10000000, 15000000, 0, 0)};
    ASSERT_EQ(tw::kOk, desc.AddSegments(3, descending, k44100));
    const auto s = desc.Segments();
    ASSERT_EQ(3u, s.size());
    EXPECT_TRUE(s[0].rtStart < s[1].rtStart && s[1].rtStart < s[2].rtStart);
}

TEST(EnvelopeTrim, SpentSegmentsTrimmedOnlyWhenNewAutomationLiesAhead) {
    // Four segments, playback last evaluated inside the third; then one more segment.
    auto countAfterAdding = [](int64_t newStart) {
        CParamEnvelope e;
        e.InitFromInfo(kParamInfoTable[kParamWidth]);
        for (int64_t start : {0, 10000000, 20000000, 30000000}) {
            const MpEnvelopeSegment s = Seg(start, start + 5000000, 0, 1);
            e.AddSegments(1, &s, k44100);
        }
        e.UpdateAt(25000000);
        const MpEnvelopeSegment s = Seg(newStart, newStart + 5000000, 0.3f, 0.3f);
        e.AddSegments(1, &s, k44100);
        const auto segments = e.Segments();
        return std::make_pair(segments.size(), segments.front().rtStart);
    };
    // Ahead of playback: the first segment goes; the one before the segment in force stays.
    EXPECT_EQ(std::make_pair(size_t(4), int64_t(10000000)), countAfterAdding(40000000));
    // Not ahead of playback: nothing goes.
    EXPECT_EQ(std::make_pair(size_t(5), int64_t(0)), countAfterAdding(20000000));
}

// Thousands of random calls against a plain model: quantise, append what is not listed yet,
// stable sort by start, and trim the spent segments when all new ones lie ahead of playback.
// Starts on a coarse grid make equal starts and exact duplicates common, within a call too.
// Playback times never fall on a start, so the segment in force is simply the last one
// starting before it. Runs of equal start are compared in canonical order.
TEST(EnvelopeModel, AddSegmentsMatchesPlainModel) {
    CParamEnvelope env;
    env.InitFromInfo(kParamInfoTable[kParamWidth]);
    std::vector<MpEnvelopeSegment> model, sent;
    int64_t lastEval = 0;
    std::mt19937 rng(7);
    auto pick = [&](uint32_t n) { return static_cast<int64_t>(rng() % n); };
    auto byStart = [](const MpEnvelopeSegment& a, const MpEnvelopeSegment& b) {
        return a.rtStart < b.rtStart;
    };
    auto canonical = [](std::vector<MpEnvelopeSegment> v) {
        std::sort(v.begin(), v.end(), [](const MpEnvelopeSegment& a, const MpEnvelopeSegment& b) {
            return std::tie(a.rtStart, a.rtEnd, a.valStart, a.valEnd, a.iCurve, a.flags) <
                   std::tie(b.rtStart, b.rtEnd, b.valStart, b.valEnd, b.iCurve, b.flags);
        });
        return v;
    };
    // The envelope's quantisation of one segment, learned from a fresh envelope.
    auto quantised = [](const MpEnvelopeSegment& s) {
        CParamEnvelope q;
        q.AddSegments(1, &s, k44100);
        return q.Segments().front();
    };

    for (int call = 0; call < 3000; ++call) {
        if (pick(4) == 0) {
            const int64_t t = pick(42) * 1000000 + 500000;
            env.UpdateAt(t);
            if (!model.empty()) lastEval = t;
        }
        MpEnvelopeSegment batch[5];
        const int count = 1 + static_cast<int>(pick(5));
        for (int k = 0; k < count; ++k) {
            if (k > 0 && pick(5) == 0) {
                batch[k] = batch[pick(k)];
            } else if (!sent.empty() && pick(4) == 0) {
                batch[k] = sent[pick(static_cast<uint32_t>(sent.size()))];
            } else {
                const int64_t start = (1 + pick(40)) * 1000000 + pick(4) * 150;
                batch[k] = Seg(start, start + pick(2) * 2000000 + pick(4) * 150,
                               0.5f * pick(2), 0.5f, tw::kCurveJump << pick(2),
                               static_cast<int32_t>(pick(2)));
                sent.push_back(batch[k]);
            }
        }
        ASSERT_EQ(tw::kOk, env.AddSegments(count, batch, k44100));

        int64_t firstNewStart = kMax;
        for (int k = 0; k < count; ++k) {
            const MpEnvelopeSegment s = quantised(batch[k]);
            firstNewStart = std::min(firstNewStart, s.rtStart);
            if (std::find(model.begin(), model.end(), s) == model.end()) model.push_back(s);
        }
        std::stable_sort(model.begin(), model.end(), byStart);
        if (firstNewStart > lastEval) {
            const auto inForce =
                std::upper_bound(model.begin(), model.end(), Seg(lastEval, 0, 0, 0), byStart) -
                model.begin() - 1;
            if (inForce >= 2) model.erase(model.begin(), model.begin() + (inForce - 1));
        }
        ASSERT_TRUE(canonical(model) == canonical(env.Segments())) << "call " << call;
    }
}

TEST_F(EnvelopeTest, FindSegmentReturnsSegmentInForce) {
    EXPECT_EQ(-1, env.FindSegment(0));
    for (int64_t start : {1000000, 2000000, 3000000, 4000000, 5000000})
        Add(Seg(start, start, 0, 0));
    EXPECT_EQ(-1, env.FindSegment(999999));
    EXPECT_EQ(0, env.FindSegment(1000000));
    EXPECT_EQ(0, env.FindSegment(1999999));
    EXPECT_EQ(2, env.FindSegment(3000000));
    EXPECT_EQ(3, env.FindSegment(4500000));
    EXPECT_EQ(4, env.FindSegment(kMax));
}

TEST_F(EnvelopeTest, CurveShapesInsideAndAfterSegment) {
    struct Case {
        int32_t curve;
        float expected;
    } cases[] = {{tw::kCurveJump, 0.0f},
                 {tw::kCurveLinear, 0.25f},
                 {tw::kCurveSquare, 0.0625f},
                 {tw::kCurveInvSquare, 0.4375f},
                 // Sine and unknown shapes: a half cosine, (1 - cos(pi/4)) / 2 at a quarter.
                 {tw::kCurveSine, 0.14644660940672627f},
                 {0x40, 0.14644660940672627f}};
    for (const Case& c : cases) {
        CParamEnvelope e;
        e.InitFromInfo(kParamInfoTable[kParamWidth]);
        const MpEnvelopeSegment s = Seg(0, 10000000, 0.0f, 1.0f, c.curve);
        ASSERT_EQ(tw::kOk, e.AddSegments(1, &s, k44100));
        ASSERT_EQ(tw::kOk, e.UpdateAt(2500000));
        EXPECT_FLOAT_EQ(c.expected, e.EffectiveValue()) << "curve " << c.curve;
        ASSERT_EQ(tw::kOk, e.UpdateAt(10000000));
        EXPECT_FLOAT_EQ(c.curve == tw::kCurveJump ? 0.0f : 1.0f, e.EffectiveValue());
        ASSERT_EQ(tw::kOk, e.UpdateAt(10000001));
        EXPECT_FLOAT_EQ(1.0f, e.EffectiveValue()) << "end value holds after the segment";
    }

    Add(Seg(0, 10000000, 0.2f, 0.8f));
    env.UpdateAt(5000000);
    EXPECT_FLOAT_EQ(0.2f, env.EffectiveValue());
    env.UpdateAt(20000000);
    EXPECT_FLOAT_EQ(0.8f, env.EffectiveValue());
}

TEST_F(EnvelopeTest, ZeroLengthSegmentYieldsEndValueWithoutNaN) {
    for (int32_t curve :
         {tw::kCurveLinear, tw::kCurveSquare, tw::kCurveInvSquare, tw::kCurveSine}) {
        CParamEnvelope e;
        e.InitFromInfo(kParamInfoTable[kParamWidth]);
        const MpEnvelopeSegment s = Seg(1000000, 1000000, 0.2f, 0.6f, curve);
        ASSERT_EQ(tw::kOk, e.AddSegments(1, &s, k44100));
        e.UpdateAt(1000000);
        EXPECT_FLOAT_EQ(0.6f, e.EffectiveValue()) << "curve " << curve;
    }
    Add(Seg(1000000, 1000000, 0.2f, 0.6f, tw::kCurveJump));
    env.UpdateAt(1000000);
    EXPECT_FLOAT_EQ(0.2f, env.EffectiveValue());
}

// A switch flips at one half; the Filter enumeration takes the nearest choice, so a host's
// envelope written when it was a switch (0.0 or 1.0) still plays IIR and FIR, and 2.0 plays the
// precise filter. The engine reads each held value as the same setting.
TEST(EnvelopeChoices, AutomationValuesRoundToTheNearestChoice) {
    const struct {
        int index;
        float value;
        float held;  // internal, and as GetValue reports it
        int32_t setting;
    } cases[] = {
        {kParamMeterPost, 0.49f, 0.0f, 0}, {kParamMeterPost, 0.5f, 1.0f, 1},
        {kParamFilter, 0.0f, 0.0f, 0},     {kParamFilter, 0.49f, 0.0f, 0},
        {kParamFilter, 0.5f, 1.0f, 1},     {kParamFilter, 1.0f, 1.0f, 1},
        {kParamFilter, 1.49f, 1.0f, 1},    {kParamFilter, 1.5f, 2.0f, 2},
        {kParamFilter, 2.0f, 2.0f, 2},
    };
    for (const auto& c : cases) {
        CParamEnvelope e;
        e.InitFromInfo(kParamInfoTable[c.index]);
        e.SetValue(c.value);
        float reported = -1;
        e.GetValue(&reported);
        int32_t setting = -1;
        EXPECT_TRUE(InternalFromNormalized(c.index, e.EffectiveValue(), &setting));
        EXPECT_TRUE(e.EffectiveValue() == c.held && reported == c.held && setting == c.setting)
            << c.index << " at " << c.value;
    }
}

TEST_F(EnvelopeTest, EmptyEnvelopeUpdateChangesNothing) {
    env.SetValue(0.3f);
    EXPECT_EQ(tw::kFalse, env.UpdateAt(5000000));
    EXPECT_EQ(0, env.LastEvaluationTime());
    EXPECT_TRUE(env.IsOverridden());
    EXPECT_FLOAT_EQ(0.3f, env.EffectiveValue());
}

TEST_F(EnvelopeTest, FlushRangeIsStrictAndFullFlushFreezesValue) {
    Add(Seg(1000000, 2000000, 0.7f, 0.7f));
    env.FlushSegments(2000000, 3000000);  // touches only the end: kept
    env.FlushSegments(0, 1000000);        // touches only the start: kept
    EXPECT_EQ(1u, env.Segments().size());

    env.UpdateAt(1500000);
    ASSERT_FALSE(env.IsOverridden());
    EXPECT_EQ(tw::kOk, env.FlushSegments(kMin, kMax));
    EXPECT_TRUE(env.Segments().empty());
    EXPECT_EQ(0, env.LastEvaluationTime());
    EXPECT_TRUE(env.IsOverridden());
    EXPECT_FLOAT_EQ(0.7f, env.HeldValue());

    // Open ends reach segments at the extremes of the time range.
    Add(Seg(kMin, kMin, 0, 0));
    Add(Seg(kMax, kMax, 0, 0));
    env.FlushSegments(kMin, kMax);
    EXPECT_TRUE(env.Segments().empty());
}

TEST_F(EnvelopeTest, DirectSettingsCapturesAndAutomationCombine) {
    Add(Seg(10000000, 20000000, 0.8f, 0.8f));
    env.SetValue(0.3f);
    env.UpdateAt(5000000);  // before the segment: the direct setting counts
    EXPECT_FLOAT_EQ(0.3f, env.EffectiveValue());
    env.UpdateAt(15000000);  // inside: the automation takes over
    EXPECT_FALSE(env.IsOverridden());
    EXPECT_FLOAT_EQ(0.8f, env.EffectiveValue());

    // A capture holds the dragged value even inside the segment.
    env.SetCapture(true);
    env.SetValue(0.4f);
    env.UpdateAt(16000000);
    EXPECT_FLOAT_EQ(0.4f, env.EffectiveValue());
    EXPECT_FLOAT_EQ(0.8f, env.CurrentValue());
    env.SetCapture(false);  // the evaluation inside the segment already ended the override
    EXPECT_FLOAT_EQ(0.8f, env.EffectiveValue());
    env.UpdateAt(17000000);

    // A direct setting that playback then passes a segment's end over gives way to the end value.
    env.SetValue(0.1f);
    env.UpdateAt(25000000);
    EXPECT_FLOAT_EQ(0.8f, env.EffectiveValue());
    // Once past, a new direct setting holds.
    env.SetValue(0.1f);
    env.UpdateAt(26000000);
    EXPECT_FLOAT_EQ(0.1f, env.EffectiveValue());
}

TEST(EnvelopeThreads, HostEditsRaceWithStreamingEvaluation) {
    CParamEnvelope env;
    env.InitFromInfo(kParamInfoTable[kParamWidth]);
    std::atomic<bool> done{false};
    std::atomic<int> outOfRange{0};

    std::thread streaming([&] {
        for (int64_t t = 0; !done.load(); t = (t + 44100) % 200000000) {
            env.UpdateAt(t);
            const float v = env.EffectiveValue();
            if (!(v >= 0.0f && v <= 1.0f)) outOfRange.fetch_add(1);
        }
    });
    for (int i = 0; i < 2000; ++i) {
        MpEnvelopeSegment batch[8];
        for (int k = 0; k < 8; ++k)
            batch[k] =
                Seg((i * 8 + k) * 250000LL % 200000000, (i * 8 + k) * 250000LL % 200000000 + 200000,
                    float(k) / 8, float(8 - k) / 8, tw::kCurveLinear << (k % 4));
        ASSERT_EQ(tw::kOk, env.AddSegments(8, batch, k44100));
        if (i % 3 == 0) env.FlushSegments(int64_t(i) * 100000, int64_t(i) * 100000 + 50000000);
        if (i % 50 == 0) env.FlushSegments(kMin, kMax);
    }
    done = true;
    streaming.join();
    EXPECT_EQ(0, outOfRange.load());
}
