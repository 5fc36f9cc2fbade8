// Hostile media through the real DLL in Wine's filter graph, from the pushing source to the
// recording sink: NaN, infinite, denormal and huge float samples in each quadrature filter,
// full-scale 16-bit square waves, samples ending in part of a frame, empty samples,
// discontinuities, a flush, and media types carried on samples in mid-stream. Whatever comes
// in, the stream goes on without an error event (unless it brings a type downstream cannot
// take) and each sample comes out with the engine's output for its whole frames; once bad
// values are behind, the output is finite and the same as for the stream with them silenced.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>
#include <dshow.h>
#include <evcode.h>

#include "engine/FormatRules.h"
#include "tests/plugin/PlugInTestPeers.h"

namespace {

using namespace twtest;

constexpr DWORD kRateHz = 44100;
constexpr LONG kBufferBytes = 4096;
constexpr LONGLONG kUnitsPerSecond = 10000000;
constexpr int kPacketsPerStream = 6;
// Frames after the last bad value by which any filter has forgotten it: the FIR's window is
// 127 frames; the all-pass network's slowest pole (radius sqrt(0.995302)) leaves less than
// 1e-8 of a disturbance of full scale after this many.
constexpr int kSettleFrames = 8192;

// Settings {phase, width, output (0.1 dB), mode, meter post, filter}.
constexpr ParamValues kLrAllpass = {{90, 150, 0, 0, 1, 0}};
constexpr ParamValues kMsAllpass = {{-60, 120, -20, 1, 0, 0}};
constexpr ParamValues kLrFir = {{45, 100, 0, 0, 0, 1}};
constexpr ParamValues kMsFir = {{120, 180, -30, 1, 1, 1}};
constexpr ParamValues kScAllpass = {{150, 80, 0, 3, 1, 0}};

// A stream format and the settings it is processed with.
struct StreamSetup {
    const char* name;
    WORD tag, bits, channels;
    ParamValues params;
    WaveFormat Format() const { return MakeWaveFormat(tag, channels, kRateHz, bits); }
};

void PrintTo(const StreamSetup& s, std::ostream* os) { *os << s.name; }

// One input sample as the source sends it.
struct Packet {
    std::vector<BYTE> bytes;
    bool discontinuity = false;
    bool duringFlush = false;  // sent between BeginFlush and EndFlush on the source's pin
    REFERENCE_TIME start = 0;
    WaveFormat type = {};   // the format it carries as a media type; none with 0 channels
    HRESULT result = S_OK;  // what the plug-in answers (S_FALSE during a flush)
};

// Two tones per channel, interleaved, in [-0.95, 0.95].
std::vector<double> Tones(int frames, int channels, int firstFrame = 0) {
    std::vector<double> v(static_cast<size_t>(frames) * channels);
    const double pi = 3.14159265358979323846;
    for (int i = 0; i < frames; ++i) {
        const double t = static_cast<double>(firstFrame + i) / kRateHz;
        const double channel[2] = {
            0.7 * std::sin(2 * pi * 440 * t) + 0.25 * std::sin(2 * pi * 5000 * t),
            0.6 * std::sin(2 * pi * 660 * t + 1.0) - 0.3 * std::sin(2 * pi * 90 * t)};
        for (int c = 0; c < channels; ++c) v[static_cast<size_t>(i) * channels + c] = channel[c];
    }
    return v;
}

// Samples in the format's encoding: 16-bit values as given (already on the 16-bit scale).
std::vector<BYTE> Encode(const std::vector<double>& samples, WORD bits) {
    std::vector<BYTE> bytes(samples.size() * (bits / 8));
    for (size_t i = 0; i < samples.size(); ++i) {
        if (bits == 16) {
            const auto s = static_cast<int16_t>(samples[i]);
            std::memcpy(&bytes[i * 2], &s, 2);
        } else if (bits == 32) {
            const auto s = static_cast<float>(samples[i]);
            std::memcpy(&bytes[i * 4], &s, 4);
        } else {
            std::memcpy(&bytes[i * 8], &samples[i], 8);
        }
    }
    return bytes;
}

std::vector<double> Decode(const std::vector<BYTE>& bytes, WORD bits) {
    std::vector<double> samples(bytes.size() / (bits / 8));
    for (size_t i = 0; i < samples.size(); ++i) {
        if (bits == 16) {
            int16_t s;
            std::memcpy(&s, &bytes[i * 2], 2);
            samples[i] = s;
        } else if (bits == 32) {
            float s;
            std::memcpy(&s, &bytes[i * 4], 4);
            samples[i] = s;
        } else {
            std::memcpy(&samples[i], &bytes[i * 8], 8);
        }
    }
    return samples;
}

// The stream cut into buffers of whole frames that fill the source's buffers.
std::vector<Packet> Packets(const std::vector<BYTE>& stream, int blockAlign) {
    std::vector<Packet> packets;
    const size_t size = kBufferBytes / blockAlign * blockAlign;
    for (size_t offset = 0; offset < stream.size(); offset += size) {
        Packet p;
        p.bytes.assign(stream.begin() + offset,
                       stream.begin() + std::min(stream.size(), offset + size));
        packets.push_back(std::move(p));
    }
    return packets;
}

// Tones in the format, in whole packets; 16-bit samples are rounded to the 16-bit scale.
std::vector<Packet> TonePackets(const WaveFormat& format, int packets) {
    std::vector<double> tones =
        Tones(kBufferBytes / format.nBlockAlign * packets, format.nChannels);
    if (format.wBitsPerSample == 16) {
        for (double& s : tones) s = std::lround(s * 32767);
    }
    return Packets(Encode(tones, format.wBitsPerSample), format.nBlockAlign);
}

// What the engine makes of the packets' whole frames, one block per packet, each in the format
// it carries from there on; those sent during the flush and those refused never reach it.
// With restartAtFlush the engine starts afresh after the flush.
std::vector<BYTE> Expected(const WaveFormat& format, const ParamValues& params,
                           const std::vector<Packet>& packets, bool restartAtFlush) {
    auto engine = std::make_unique<ReferenceEngine>(format, params);
    std::vector<BYTE> out;
    for (const Packet& p : packets) {
        if (p.duringFlush) {
            if (restartAtFlush) engine = std::make_unique<ReferenceEngine>(format, params);
            continue;
        }
        if (FAILED(p.result)) continue;
        if (p.type.nChannels) engine->SwitchFormat(p.type);
        const std::vector<BYTE> block = engine->Process(p.bytes);
        out.insert(out.end(), block.begin(), block.end());
    }
    return out;
}

// Where two outputs first differ, in samples of the given size; npos when they are the same.
size_t FirstDifference(const std::vector<BYTE>& a, const std::vector<BYTE>& b, WORD bits) {
    if (a.size() != b.size()) return 0;
    const auto m = std::mismatch(a.begin(), a.end(), b.begin());
    return m.first == a.end() ? std::string::npos : (m.first - a.begin()) / (bits / 8);
}

class BadMediaGraph : public PlugInGraph {
protected:
    // Source → plug-in → sink in the format, the plug-in with the settings; the sink takes the
    // rates given.
    void Connect(const WaveFormat& format, const ParamValues& params,
                 std::vector<DWORD> sinkRates = {kRateHz}) {
        source_ = Add(new CPushSource(format, kBufferBytes), L"Source");
        sink_ = Add(new CStereoSink(std::move(sinkRates), 1 << 20, format.wFormatTag,
                                    format.wBitsPerSample),
                    L"Sink");
        ASSERT_EQ(S_OK, prop_->SetParams(&params));
        ASSERT_EQ(S_OK, graph_->ConnectDirect(source_->PinInterface(), plugInIn_.Get(), nullptr));
        ASSERT_EQ(S_OK, graph_->ConnectDirect(plugInOut_.Get(), sink_->PinInterface(), nullptr));
    }

    // Runs the graph and sends the packets with running time stamps (a discontinuity jumps
    // a second ahead, as after a seek) and the end of the stream; each must be answered as the
    // packet says, those during a flush refused, and unless one is refused the graph must hear
    // no error.
    void Stream(std::vector<Packet>& packets) {
        sink_->data.clear();
        sink_->received.clear();
        WaveFormat format = source_->preferred;
        bool refusal = false;
        GraphRun run(graph_.Get());
        LONGLONG frame = 0;
        for (size_t i = 0; i < packets.size(); ++i) {
            Packet& p = packets[i];
            AM_MEDIA_TYPE type = {};
            if (p.type.nChannels) type = AudioType(format = p.type);
            refusal = refusal || FAILED(p.result);
            if (p.discontinuity && i > 0) frame += kRateHz;
            const LONGLONG frames = static_cast<LONGLONG>(p.bytes.size() / format.nBlockAlign);
            p.start = frame * kUnitsPerSecond / kRateHz;
            const REFERENCE_TIME stop = (frame + frames) * kUnitsPerSecond / kRateHz;
            frame += frames;
            if (p.duringFlush) {
                EXPECT_EQ(S_OK, source_->BeginFlush());
            }
            EXPECT_EQ(
                p.duringFlush ? S_FALSE : p.result,
                source_->PushSample(p.bytes.data(), static_cast<long>(p.bytes.size()), p.start,
                                    stop, p.discontinuity, p.type.nChannels ? &type : nullptr))
                << "packet " << i;
            FreeMediaType(type);
            if (p.duringFlush) {
                EXPECT_EQ(S_OK, source_->EndFlush());
            }
        }
        if (!refusal) {
            EXPECT_EQ(S_OK, source_->EndOfStream());
        }
        EXPECT_EQ(S_OK, run.Stop());
        if (!refusal) ExpectNoErrorEvent();
    }

    void ExpectNoErrorEvent() {
        ComPtr<IMediaEvent> events;
        ASSERT_EQ(S_OK, graph_.As(IID_IMediaEvent, &events));
        long code = 0;
        LONG_PTR first = 0, second = 0;
        while (events->GetEvent(&code, &first, &second, 0) == S_OK) {
            EXPECT_NE(EC_ERRORABORT, code) << "error " << std::hex << first;
            EXPECT_NE(EC_STREAM_ERROR_STOPPED, code);
            EXPECT_NE(EC_STREAM_ERROR_STILLPLAYING, code);
            events->FreeEventParams(code, first, second);
        }
    }

    CPushSource* source_ = nullptr;
    CStereoSink* sink_ = nullptr;
};

// --- Bad sample values -----------------------------------------------------------------------

struct BadValue {
    const char* name;
    float inFloat32;
    double inFloat64;
};

void PrintTo(const BadValue& v, std::ostream* os) { *os << v.name; }

const BadValue kBadValues[] = {
    {"NaN", std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<double>::quiet_NaN()},
    {"PlusInfinity", std::numeric_limits<float>::infinity(),
     std::numeric_limits<double>::infinity()},
    {"MinusInfinity", -std::numeric_limits<float>::infinity(),
     -std::numeric_limits<double>::infinity()},
    {"Denormal", 1e-40f, 4e-320},
    // As large as the arithmetic can take without an overflow inside the filter.
    {"Huge", 3e38f, 1e300},
};

const StreamSetup kFloatSetups[] = {
    {"Float32Stereo_Lr_Allpass", WAVE_FORMAT_IEEE_FLOAT, 32, 2, kLrAllpass},
    {"Float32Stereo_Ms_Allpass", WAVE_FORMAT_IEEE_FLOAT, 32, 2, kMsAllpass},
    {"Float32Stereo_Lr_Fir", WAVE_FORMAT_IEEE_FLOAT, 32, 2, kLrFir},
    {"Float32Stereo_Ms_Fir", WAVE_FORMAT_IEEE_FLOAT, 32, 2, kMsFir},
    {"Float64Stereo_Sc_Allpass", WAVE_FORMAT_IEEE_FLOAT, 64, 2, kScAllpass},
    {"Float64Mono_Ms_Fir", WAVE_FORMAT_IEEE_FLOAT, 64, 1, kMsFir},
};

class BadValues : public BadMediaGraph,
                  public ::testing::WithParamInterface<std::tuple<BadValue, StreamSetup>> {};

// Three frames of the second packet carry the bad value, in the left channel, the right and
// both. The output before them is untouched, a finite value changes nothing but its own
// arithmetic, and after kSettleFrames the output is finite and as if they had been silence.
TEST_P(BadValues, StreamGoesOnAndRecovers) {
    const BadValue& bad = std::get<0>(GetParam());
    const StreamSetup& setup = std::get<1>(GetParam());
    const WaveFormat format = setup.Format();
    ASSERT_NO_FATAL_FAILURE(Connect(format, setup.params));

    const int framesPerPacket = kBufferBytes / format.nBlockAlign;
    const int firstBad = framesPerPacket + framesPerPacket / 3;
    // Whole packets, and at least two of them compared after the settling time.
    const int frames = ((firstBad + 3 + kSettleFrames) / framesPerPacket + 3) * framesPerPacket;
    const int channels = format.nChannels;
    std::vector<double> clean = Tones(frames, channels);
    std::vector<double> hostile = clean;
    const double value = setup.bits == 32 ? bad.inFloat32 : bad.inFloat64;
    const bool finite = std::isfinite(value);
    for (int i = 0; i < 3; ++i) {
        for (int c = 0; c < channels; ++c) {
            if (channels == 1 || i == 2 || i == c) {
                const size_t at = static_cast<size_t>(firstBad + i) * channels + c;
                hostile[at] = value;
                if (finite) clean[at] = value;  // else silenced in the comparison stream
            }
        }
    }
    ASSERT_GE(frames - (firstBad + 3), kSettleFrames + framesPerPacket);

    std::vector<Packet> packets = Packets(Encode(hostile, setup.bits), format.nBlockAlign);
    ASSERT_NO_FATAL_FAILURE(Stream(packets));
    const std::vector<BYTE> expected = Expected(
        format, setup.params, Packets(Encode(clean, setup.bits), format.nBlockAlign), false);
    ASSERT_EQ(expected.size(), sink_->data.size());

    const size_t difference = FirstDifference(expected, sink_->data, setup.bits);
    EXPECT_GE(difference, static_cast<size_t>(firstBad) * 2) << "before the bad values";
    if (finite) {
        EXPECT_EQ(std::string::npos, difference) << "first differing output sample";
    }

    const std::vector<double> out = Decode(sink_->data, setup.bits);
    const std::vector<double> ref = Decode(expected, setup.bits);
    size_t wrong = 0, firstWrong = std::string::npos;
    for (size_t i = static_cast<size_t>(firstBad + 3 + kSettleFrames) * 2; i < out.size(); ++i) {
        if (std::isfinite(out[i]) && std::fabs(out[i] - ref[i]) <= 1e-6) continue;
        if (wrong++ == 0) firstWrong = i;
    }
    EXPECT_EQ(0u, wrong) << "output samples after the settling time that are not finite or "
                         << "not the clean stream's, the first at frame " << firstWrong / 2
                         << " (" << out[firstWrong] << " for " << ref[firstWrong] << "), "
                         << (firstWrong / 2 - firstBad) << " frames after the first bad value";
}

INSTANTIATE_TEST_SUITE_P(
    Floats, BadValues,
    ::testing::Combine(::testing::ValuesIn(kBadValues), ::testing::ValuesIn(kFloatSetups)),
    [](const ::testing::TestParamInfo<BadValues::ParamType>& info) {
        return std::string(std::get<1>(info.param).name) + "_" + std::get<0>(info.param).name;
    });

// --- Full-scale 16-bit squares ---------------------------------------------------------------

// Squares between the extremes, the right channel in the opposite phase at another period,
// through settings that take the output far beyond full scale: each 16-bit output is the float
// path's result clipped to the 16-bit range (truncated towards zero within it), never wrapped
// round, and the plug-in delivers the engine's output.
TEST_F(BadMediaGraph, FullScale16BitSquaresClipAndNeverWrap) {
    const WaveFormat pcm = MakeWaveFormat(WAVE_FORMAT_PCM, 2, kRateHz, 16);
    const WaveFormat single = MakeWaveFormat(WAVE_FORMAT_IEEE_FLOAT, 2, kRateHz, 32);
    ASSERT_NO_FATAL_FAILURE(Connect(pcm, kMsAllpass));
    const int frames = kBufferBytes / pcm.nBlockAlign * kPacketsPerStream;
    std::vector<double> squares(static_cast<size_t>(frames) * 2);
    for (int i = 0; i < frames; ++i) {
        squares[2 * i] = (i / 50) % 2 ? -32768 : 32767;
        squares[2 * i + 1] = (i / 37) % 2 ? 32767 : -32768;
    }
    std::vector<double> asFloat(squares.size());
    for (size_t i = 0; i < squares.size(); ++i) asFloat[i] = squares[i] / 32768;

    const ParamValues settings[] = {{{90, 200, 60, 1, 1, 0}},   // MS, all-pass, +6 dB
                                    {{-90, 200, 60, 0, 0, 1}},  // LR, FIR
                                    {{180, 200, 60, 2, 1, 0}}};  // CS encode, all-pass
    for (const ParamValues& params : settings) {
        SCOPED_TRACE(testing::Message() << "phase " << params[kParamPhase] << ", mode "
                                        << params[kParamMode] << ", filter "
                                        << params[kParamFilter]);
        ASSERT_EQ(S_OK, prop_->SetParams(&params));
        std::vector<Packet> packets = Packets(Encode(squares, 16), pcm.nBlockAlign);
        ASSERT_NO_FATAL_FAILURE(Stream(packets));
        const std::vector<BYTE> expected = Expected(pcm, params, packets, false);
        EXPECT_EQ(std::string::npos, FirstDifference(expected, sink_->data, 16));

        const std::vector<double> out = Decode(sink_->data, 16);
        const std::vector<double> y = Decode(
            Expected(single, params, Packets(Encode(asFloat, 32), single.nBlockAlign), false), 32);
        ASSERT_EQ(y.size(), out.size());
        size_t beyond = 0, wrong = 0, firstWrong = 0;
        for (size_t i = 0; i < y.size(); ++i) {
            const double scaled = y[i] * 32768;
            const double clipped = std::trunc(std::fmin(32767, std::fmax(-32768, scaled)));
            if (std::fabs(scaled) > 32768) ++beyond;
            if (out[i] != clipped && wrong++ == 0) firstWrong = i;
        }
        EXPECT_GT(beyond, y.size() / 10) << "the settings must drive the output beyond full scale";
        EXPECT_EQ(0u, wrong) << "the first at sample " << firstWrong << ": " << out[firstWrong]
                             << " for " << y[firstWrong] * 32768;
    }
}

// --- Malformed and interrupted streams -------------------------------------------------------

enum class Abuse { kPartialFrames, kEmptySamples, kDiscontinuities, kFlush };

struct AbuseCase {
    const char* name;
    Abuse abuse;
};

const AbuseCase kAbuses[] = {
    {"PartialFrames", Abuse::kPartialFrames},
    {"EmptySamples", Abuse::kEmptySamples},
    {"Discontinuities", Abuse::kDiscontinuities},
    {"FlushMidStream", Abuse::kFlush},
};

const StreamSetup kStreamSetups[] = {
    {"Pcm16Stereo_Ms_Allpass", WAVE_FORMAT_PCM, 16, 2, kMsAllpass},
    {"Pcm16Mono_Lr_Fir", WAVE_FORMAT_PCM, 16, 1, kLrFir},
    {"Float32Stereo_Ms_Fir", WAVE_FORMAT_IEEE_FLOAT, 32, 2, kMsFir},
    {"Float64Mono_Lr_Allpass", WAVE_FORMAT_IEEE_FLOAT, 64, 1, kLrAllpass},
};

// The tones in whole packets, changed by the abuse.
std::vector<Packet> AbusedStream(Abuse abuse, const StreamSetup& setup) {
    const WaveFormat format = setup.Format();
    const int align = format.nBlockAlign;
    std::vector<Packet> packets = TonePackets(format, kPacketsPerStream);
    switch (abuse) {
        case Abuse::kPartialFrames: {
            // A sample ends one byte short of a further frame, and one holds less than a frame;
            // the stray bytes are loud, so any of them taken as audio shows.
            packets[1].bytes.resize(packets[1].bytes.size() - align);
            packets[1].bytes.insert(packets[1].bytes.end(), align - 1, BYTE{0x7f});
            Packet stub;
            stub.bytes.assign(align - 1, BYTE{0x7f});
            packets.insert(packets.begin() + 3, stub);
            break;
        }
        case Abuse::kEmptySamples:
            // The first sample, with the discontinuity that starts the stream, and one between.
            packets.insert(packets.begin(), Packet{});
            packets.insert(packets.begin() + 3, Packet{});
            break;
        case Abuse::kDiscontinuities:
            packets[2].discontinuity = packets[4].discontinuity = true;
            break;
        case Abuse::kFlush:
            // A seek: one sample is sent while the source flushes, the next starts afresh.
            packets[2].duringFlush = true;
            packets[3].discontinuity = true;
            break;
    }
    packets[0].discontinuity = true;
    return packets;
}

class AbusedStreams : public BadMediaGraph,
                      public ::testing::WithParamInterface<std::tuple<AbuseCase, StreamSetup>> {};

// Every sample taken comes out as one sample with its time stamp, its discontinuity flag and
// the engine's output for its whole frames; a sample sent during a flush never comes out and
// never reaches the filter. After the flush the filter may go on from the audio before it or
// start afresh: either is the engine's output.
TEST_P(AbusedStreams, EachSampleComesOutProcessed) {
    const Abuse abuse = std::get<0>(GetParam()).abuse;
    const StreamSetup& setup = std::get<1>(GetParam());
    const WaveFormat format = setup.Format();
    ASSERT_NO_FATAL_FAILURE(Connect(format, setup.params));
    std::vector<Packet> packets = AbusedStream(abuse, setup);
    ASSERT_NO_FATAL_FAILURE(Stream(packets));

    std::vector<const Packet*> taken;
    for (const Packet& p : packets)
        if (!p.duringFlush) taken.push_back(&p);
    ASSERT_EQ(taken.size(), sink_->received.size());
    for (size_t i = 0; i < taken.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "output sample " << i);
        const ReceivedSample& r = sink_->received[i];
        EXPECT_EQ(static_cast<long>(taken[i]->bytes.size() / format.nBlockAlign * 2 *
                                    (format.wBitsPerSample / 8)),
                  r.bytes);
        EXPECT_EQ(taken[i]->discontinuity, r.discontinuity);
        EXPECT_TRUE(r.timed);
        EXPECT_EQ(taken[i]->start, r.start);
    }

    const std::vector<BYTE> continued = Expected(format, setup.params, packets, false);
    const size_t difference = FirstDifference(continued, sink_->data, setup.bits);
    if (abuse == Abuse::kFlush && difference != std::string::npos) {
        EXPECT_EQ(std::string::npos,
                  FirstDifference(Expected(format, setup.params, packets, true), sink_->data,
                                  setup.bits))
            << "neither going on nor starting afresh after the flush";
    } else {
        EXPECT_EQ(std::string::npos, difference) << "first differing output sample";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Streams, AbusedStreams,
    ::testing::Combine(::testing::ValuesIn(kAbuses), ::testing::ValuesIn(kStreamSetups)),
    [](const ::testing::TestParamInfo<AbusedStreams::ParamType>& info) {
        return std::string(std::get<1>(info.param).name) + "_" + std::get<0>(info.param).name;
    });

// --- Media types carried on samples ----------------------------------------------------------

struct TypeChange {
    const char* name;
    WaveFormat to;     // what the fourth sample of a 16-bit stereo 44.1 kHz stream carries
    bool sinkTakesIt;  // the sink accepts its stereo version
};

void PrintTo(const TypeChange& c, std::ostream* os) { *os << c.name; }

const TypeChange kTypeChanges[] = {
    {"Pcm16At48k", MakeWaveFormat(WAVE_FORMAT_PCM, 2, 48000, 16), true},
    {"Float32", MakeWaveFormat(WAVE_FORMAT_IEEE_FLOAT, 2, kRateHz, 32), true},
    {"Float64MonoAt48k", MakeWaveFormat(WAVE_FORMAT_IEEE_FLOAT, 1, 48000, 64), true},
    {"Pcm16At48kRefusedDownstream", MakeWaveFormat(WAVE_FORMAT_PCM, 2, 48000, 16), false},
};

class MidStreamTypes : public BadMediaGraph, public ::testing::WithParamInterface<TypeChange> {};

// When the sink takes the stereo version of the new type, the plug-in processes that sample and
// the rest in the new format, and its first output sample after the change carries the new
// type to the sink. Otherwise the sample is refused and every format stays as it was.
TEST_P(MidStreamTypes, OutputFollowsTheInputOrTheSampleIsRefused) {
    const TypeChange& c = GetParam();
    const WaveFormat from = MakeWaveFormat(WAVE_FORMAT_PCM, 2, kRateHz, 16);
    std::vector<DWORD> sinkRates = {kRateHz};
    if (c.sinkTakesIt) sinkRates.push_back(c.to.nSamplesPerSec);
    ASSERT_NO_FATAL_FAILURE(Connect(from, kMsFir, sinkRates));
    if (c.sinkTakesIt) sink_->sampleFormats.emplace_back(c.to.wFormatTag, c.to.wBitsPerSample);

    std::vector<Packet> packets = TonePackets(from, 3);
    std::vector<Packet> after = TonePackets(c.to, c.sinkTakesIt ? 3 : 1);
    after[0].type = c.to;
    after[0].result = c.sinkTakesIt ? S_OK : VFW_E_INVALIDMEDIATYPE;
    packets.insert(packets.end(), after.begin(), after.end());
    ASSERT_NO_FATAL_FAILURE(Stream(packets));

    const WaveFormat now = c.sinkTakesIt ? c.to : from;
    const WaveFormat stereoFrom = StereoOutputOf(from), stereoNow = StereoOutputOf(now);
    WAVEFORMATEX engineIn = {}, engineOut = {};
    EXPECT_EQ(S_OK, prop_->GetFormat(0, &engineIn));
    EXPECT_EQ(S_OK, prop_->GetFormat(1, &engineOut));
    EXPECT_EQ(0, std::memcmp(&now, &engineIn, 16));
    EXPECT_EQ(0, std::memcmp(&stereoNow, &engineOut, 16));
    AM_MEDIA_TYPE output = {};
    ASSERT_EQ(S_OK, plugInOut_->ConnectionMediaType(&output));
    EXPECT_EQ(0, std::memcmp(&stereoNow, output.pbFormat, 16));
    FreeMediaType(output);

    // Three samples before the change, then those after it, split to fit the sink's buffers.
    ASSERT_GE(sink_->received.size(), c.sinkTakesIt ? 6u : 3u);
    for (size_t i = 0; i < sink_->received.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "output sample " << i);
        const ReceivedSample& r = sink_->received[i];
        EXPECT_EQ(i == 3, r.typed);
        EXPECT_EQ(0, std::memcmp(i < 3 ? &stereoFrom : &stereoNow, &r.format, 16));
    }
    EXPECT_EQ(std::string::npos, FirstDifference(Expected(from, kMsFir, packets, false),
                                                 sink_->data, 8))
        << "first differing output byte";
}

INSTANTIATE_TEST_SUITE_P(Types, MidStreamTypes, ::testing::ValuesIn(kTypeChanges),
                         [](const ::testing::TestParamInfo<TypeChange>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
