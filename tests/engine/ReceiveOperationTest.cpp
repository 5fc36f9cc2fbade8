// The receive operation under Wine with the framework's real media samples and allocators:
// chunking into output samples, time stamps and flags, position re-anchoring, the sample
// formats, bypass and hostile buffers.
#include <cstring>
#include <vector>

#include <gtest/gtest.h>
#include <vfwmsgs.h>

#include "automation/win/MediaParams.h"
#include "base/win/ComPtr.h"
#include "engine/FormatRules.h"
#include "engine/win/AudioTransform.h"
#include "framework/MemAllocator.h"
#include "tests/engine/EngineTestSupport.h"

namespace {

// A stand-alone engine streaming a 44.1 kHz format of the sample type and channels: its own
// reference count stands in for the filter's.
class TestTransform : public CAudioTransform {
public:
    TestTransform(WORD tag, WORD bits, WORD channels)
        : CAudioTransform(&owner_),
          in_(MakeFormat(tag, bits, channels)),
          out_(MakeFormat(tag, bits, 2)) {
        Params().SetParams(kDefaultParams);
        Processor().StartStream(&in_, &out_);
    }
    int STDMETHODCALLTYPE OwnerQuery() override { return 1; }
    // What the filter does when a sample carries a type at another rate.
    void SetInputRate(DWORD rate) {
        in_ = MakeWaveFormat(in_.wFormatTag, in_.nChannels, rate, in_.wBitsPerSample);
        out_ = MakeWaveFormat(out_.wFormatTag, out_.nChannels, rate, out_.wBitsPerSample);
    }

private:
    struct Owner : IUnknown {
        STDMETHODIMP QueryInterface(REFIID, void** out) override {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        STDMETHODIMP_(ULONG) AddRef() override { return 2; }
        STDMETHODIMP_(ULONG) Release() override { return 1; }
    } owner_;
    WaveFormat in_, out_;
};

// A committed allocator of count buffers of the given size, decommitted and released with it.
class CommittedAllocator {
public:
    CommittedAllocator(LONG count, LONG bufferBytes) {
        HRESULT hr = S_OK;
        allocator_ = new CMemAllocator(nullptr, nullptr, &hr);
        allocator_->NonDelegatingAddRef();
        ALLOCATOR_PROPERTIES want{count, bufferBytes, 1, 0}, got{};
        EXPECT_EQ(allocator_->SetProperties(&want, &got), S_OK);
        EXPECT_EQ(allocator_->Commit(), S_OK);
    }
    ~CommittedAllocator() {
        allocator_->Decommit();
        allocator_->NonDelegatingRelease();
    }
    CMemAllocator* operator->() { return allocator_; }

private:
    CMemAllocator* allocator_;
};

// Hands out buffers from a real allocator and records what is delivered.
class Collector : public IOutputDelivery {
public:
    struct Delivered {
        std::vector<BYTE> data;
        HRESULT timeResult;
        REFERENCE_TIME start, stop;
        bool sync, discontinuity, mediaTime;
    };
    std::vector<Delivered> delivered;
    HRESULT deliverResult = S_OK;

    explicit Collector(LONG bufferBytes, LONG count = 2) : allocator_(count, bufferBytes) {}

    HRESULT GetDeliveryBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop,
                              DWORD flags) override {
        return allocator_->GetBuffer(sample, start, stop, flags);
    }
    HRESULT Deliver(IMediaSample* sample) override {
        Delivered d{};
        BYTE* p = nullptr;
        sample->GetPointer(&p);
        d.data.assign(p, p + sample->GetActualDataLength());
        d.timeResult = sample->GetTime(&d.start, &d.stop);
        d.sync = sample->IsSyncPoint() == S_OK;
        d.discontinuity = sample->IsDiscontinuity() == S_OK;
        LONGLONG a, b;
        d.mediaTime = sample->GetMediaTime(&a, &b) == S_OK;
        delivered.push_back(d);
        return deliverResult;
    }

private:
    CommittedAllocator allocator_;
};

// An input sample holding the given bytes, from its own allocator.
class InputSample {
public:
    explicit InputSample(const void* data, LONG bytes) : allocator_(1, bytes > 0 ? bytes : 1) {
        allocator_->GetBuffer(&sample_, nullptr, nullptr, 0);
        BYTE* p = nullptr;
        sample_->GetPointer(&p);
        if (bytes > 0) std::memcpy(p, data, bytes);
        sample_->SetActualDataLength(bytes);
    }
    ~InputSample() { sample_->Release(); }
    IMediaSample* operator->() { return sample_; }
    IMediaSample* get() { return sample_; }

private:
    CommittedAllocator allocator_;
    IMediaSample* sample_ = nullptr;
};

}  // namespace

TEST(ReceiveOperation, SplitsIntoGrantedBuffersWithStampsAndFlagsOnTheFirstOnly) {
    TestTransform engine(WAVE_FORMAT_IEEE_FLOAT, 32, 2), reference(WAVE_FORMAT_IEEE_FLOAT, 32, 2);
    const ParamValues params =
        Settings().Phase(30).Width(140).Output(-12).With(Mode::kMsPhase, QuadratureFilter::kFir);
    engine.Params().SetParams(params);
    reference.Params().SetParams(params);
    const auto audio = Noise(1000, 2, 3);
    InputSample in(audio.data(), static_cast<LONG>(audio.size() * sizeof(float)));
    REFERENCE_TIME start = 5000000, stop = 5226757;
    LONGLONG mediaStart = 10, mediaStop = 1010;
    in->SetTime(&start, &stop);
    in->SetSyncPoint(TRUE);
    in->SetDiscontinuity(TRUE);
    in->SetMediaTime(&mediaStart, &mediaStop);

    Collector out(256 * 8);
    ASSERT_EQ(engine.ReceiveSample(in.get(), &out), S_OK);
    ASSERT_EQ(out.delivered.size(), 4u);
    EXPECT_EQ(out.delivered[0].timeResult, S_OK);
    EXPECT_EQ(out.delivered[0].start, start);
    EXPECT_EQ(out.delivered[0].stop, stop);
    EXPECT_TRUE(out.delivered[0].sync);
    EXPECT_TRUE(out.delivered[0].discontinuity);
    EXPECT_TRUE(out.delivered[0].mediaTime);
    std::vector<BYTE> all;
    for (size_t i = 0; i < out.delivered.size(); ++i) {
        const auto& d = out.delivered[i];
        EXPECT_EQ(d.data.size(), (i < 3 ? 256u : 232u) * 8);
        if (i > 0) {
            EXPECT_TRUE(FAILED(d.timeResult));
            EXPECT_FALSE(d.sync);
            EXPECT_FALSE(d.discontinuity);
            EXPECT_FALSE(d.mediaTime);
        }
        all.insert(all.end(), d.data.begin(), d.data.end());
    }
    std::vector<float> expected(2 * 1000);
    int frames = 1000, outFrames = 1000;
    reference.Processor().ProcessFloat(audio.data(), &frames, expected.data(), &outFrames);
    ASSERT_EQ(all.size(), expected.size() * sizeof(float));
    EXPECT_EQ(std::memcmp(all.data(), expected.data(), all.size()), 0);
    // Re-anchored at 0.5 s = 22050 frames, then advanced by the 1000 processed.
    EXPECT_EQ(engine.SamplePosition(), 22050 + 1000);
}

TEST(ReceiveOperation, PositionAdvancesAndReanchorsOnlyWithAValidStart) {
    TestTransform engine(WAVE_FORMAT_IEEE_FLOAT, 64, 1);
    std::vector<double> audio(300, 0.25);
    Collector out(300 * 16);
    {
        InputSample in(audio.data(), 300 * 8);
        in->SetDiscontinuity(TRUE);  // no time stamps: GetTime fails
        ASSERT_EQ(engine.ReceiveSample(in.get(), &out), S_OK);
        EXPECT_EQ(engine.SamplePosition(), 300);
        EXPECT_TRUE(FAILED(out.delivered.back().timeResult));
    }
    {
        InputSample in(audio.data(), 300 * 8);
        REFERENCE_TIME start = 20000000;  // 2 s, no stop time
        in->SetTime(&start, nullptr);
        in->SetDiscontinuity(TRUE);
        ASSERT_EQ(engine.ReceiveSample(in.get(), &out), S_OK);
        EXPECT_EQ(engine.SamplePosition(), 88200 + 300);
        EXPECT_EQ(out.delivered.back().timeResult, VFW_S_NO_STOP_TIME);
        EXPECT_EQ(out.delivered.back().start, start);
    }
    {
        InputSample in(audio.data(), 300 * 8);
        REFERENCE_TIME start = 0, stop = 1;
        in->SetTime(&start, &stop);  // not a discontinuity: the position runs on
        ASSERT_EQ(engine.ReceiveSample(in.get(), &out), S_OK);
        EXPECT_EQ(engine.SamplePosition(), 88200 + 600);
    }
    {
        // A new rate keeps the position's time, and it runs on in frames of the new rate.
        engine.SetInputRate(48000);
        InputSample in(audio.data(), 300 * 8);
        ASSERT_EQ(engine.ReceiveSample(in.get(), &out), S_OK);
        EXPECT_EQ(engine.SamplePosition(), (88200LL + 600) * 48000 / 44100 + 300);
    }
}

TEST(ReceiveOperation, MonoSixteenBitBecomesProcessedStereoSixteenBit) {
    TestTransform engine(WAVE_FORMAT_PCM, 16, 1);
    engine.Params().SetParams(Settings().With(QuadratureFilter::kFir));  // a plain delay
    std::vector<short> audio(500);
    for (int i = 0; i < 500; ++i) audio[i] = static_cast<short>((i * 977) % 65536 - 32768);
    InputSample in(audio.data(), 500 * 2);
    Collector out(200 * 4);
    ASSERT_EQ(engine.ReceiveSample(in.get(), &out), S_OK);
    std::vector<short> all;
    for (const auto& d : out.delivered) {
        const short* s = reinterpret_cast<const short*>(d.data.data());
        all.insert(all.end(), s, s + d.data.size() / 2);
    }
    ASSERT_EQ(all.size(), 1000u);
    for (int i = 0; i < 500; ++i) {
        const short expected = i < kFirLatencyFrames ? 0 : audio[i - kFirLatencyFrames];
        ASSERT_EQ(all[2 * i], expected) << i;
        ASSERT_EQ(all[2 * i + 1], expected) << i;
    }
}

TEST(ReceiveOperation, BypassWritesMonoToBothChannels) {
    TestTransform engine(WAVE_FORMAT_PCM, 16, 1);
    engine.Params().SetParams(kEveryParamMoved);
    engine.SetBypass(1);
    const short audio[4] = {-32768, 12, 32767, -5};
    InputSample in(audio, sizeof audio);
    Collector out(1024);
    ASSERT_EQ(engine.ReceiveSample(in.get(), &out), S_OK);
    ASSERT_EQ(out.delivered.size(), 1u);
    const short* s = reinterpret_cast<const short*>(out.delivered[0].data.data());
    const short expected[8] = {-32768, -32768, 12, 12, 32767, 32767, -5, -5};
    EXPECT_EQ(std::memcmp(s, expected, sizeof expected), 0);
}

TEST(ReceiveOperation, HostileBuffersEndWithAResultNotAHang) {
    TestTransform engine(WAVE_FORMAT_IEEE_FLOAT, 32, 2);
    const auto audio = Noise(64, 2, 3);
    {
        // An output buffer smaller than one stereo float frame can never make progress.
        InputSample in(audio.data(), 64 * 8);
        Collector tiny(7);
        EXPECT_EQ(engine.ReceiveSample(in.get(), &tiny), VFW_E_BUFFER_OVERFLOW);
        EXPECT_TRUE(tiny.delivered.empty());
    }
    {
        // A trailing partial frame is ignored.
        InputSample in(audio.data(), 10 * 8 + 5);
        Collector out(3 * 8);
        EXPECT_EQ(engine.ReceiveSample(in.get(), &out), S_OK);
        size_t bytes = 0;
        for (const auto& d : out.delivered) bytes += d.data.size();
        EXPECT_EQ(bytes, 10u * 8);
        EXPECT_EQ(out.delivered.size(), 4u);
    }
    {
        // An empty sample passes on as one empty sample with its stamps.
        InputSample in(nullptr, 0);
        REFERENCE_TIME start = 100, stop = 200;
        in->SetTime(&start, &stop);
        Collector out(1024);
        EXPECT_EQ(engine.ReceiveSample(in.get(), &out), S_OK);
        ASSERT_EQ(out.delivered.size(), 1u);
        EXPECT_TRUE(out.delivered[0].data.empty());
    }
    {
        // A refused delivery stops the loop and is the result.
        InputSample in(audio.data(), 64 * 8);
        Collector out(16 * 8);
        out.deliverResult = E_FAIL;
        EXPECT_EQ(engine.ReceiveSample(in.get(), &out), E_FAIL);
        EXPECT_EQ(out.delivered.size(), 1u);
    }
    EXPECT_EQ(engine.ReceiveSample(nullptr, nullptr), E_POINTER);
}

TEST(ReceiveOperation, FloatBeyondFullScaleStaysInFloatAndClampsInSixteenBit) {
    TestTransform floatEngine(WAVE_FORMAT_IEEE_FLOAT, 32, 2);
    floatEngine.SetBypass(1);
    const float hot[2] = {1.5f, -1.5f};
    InputSample in(hot, sizeof hot);
    Collector out(64);
    ASSERT_EQ(floatEngine.ReceiveSample(in.get(), &out), S_OK);
    EXPECT_EQ(std::memcmp(out.delivered[0].data.data(), hot, sizeof hot), 0);

    TestTransform pcm(WAVE_FORMAT_PCM, 16, 2);
    pcm.Params().SetParams(Settings().Output(60).With(QuadratureFilter::kFir));  // +6 dB delay
    std::vector<short> loud(2 * 100);
    for (int i = 0; i < 100; ++i) {
        loud[2 * i] = 30000;
        loud[2 * i + 1] = -30000;
    }
    InputSample in16(loud.data(), 400);
    Collector out16(400);
    ASSERT_EQ(pcm.ReceiveSample(in16.get(), &out16), S_OK);
    const short* s = reinterpret_cast<const short*>(out16.delivered[0].data.data());
    EXPECT_EQ(s[2 * 99], 32767);
    EXPECT_EQ(s[2 * 99 + 1], -32768);
    EXPECT_EQ(pcm.GetClipLeft(0), kClipHoldSteps);
}

TEST(ReceiveOperation, EvaluatesAutomationAtEachInputSamplesPosition) {
    TestTransform engine(WAVE_FORMAT_IEEE_FLOAT, 32, 2);
    // The automation object as the filter attaches it, answering for the engine's identity.
    ComPtr<CMediaParams> automation;
    ASSERT_EQ(CreateMediaParams(automation.Put(), &engine), S_OK);
    engine.Params().SetAutomation(automation->Engine());
    IMediaParamsSdk* params = automation.Get();
    // Width 0 (identical channels) from 0.5 s on.
    MP_ENVELOPE_SEGMENT narrow = {5000000, 9000000, 0.0f, 0.0f, MP_CURVE_JUMP, 0};
    ASSERT_EQ(params->AddEnvelope(1, 1, &narrow), S_OK);
    const auto audio = Noise(441, 2, 3);
    Collector out(441 * 8);
    for (int block = 0; block < 60; ++block) {
        InputSample in(audio.data(), 441 * 8);
        REFERENCE_TIME start = block * 100000LL, stop = start + 100000;
        in->SetTime(&start, &stop);
        in->SetDiscontinuity(block == 0);
        ASSERT_EQ(engine.ReceiveSample(in.get(), &out), S_OK);
        const float* s = reinterpret_cast<const float*>(out.delivered.back().data.data());
        bool identical = true;
        for (int i = 0; i < 441; ++i) identical = identical && s[2 * i] == s[2 * i + 1];
        EXPECT_EQ(identical, block >= 50) << "block " << block;
    }
    MP_DATA width = -1;
    params->GetParam(1, &width);
    EXPECT_EQ(width, 0.0f);
    engine.Params().SetAutomation(nullptr);
}
