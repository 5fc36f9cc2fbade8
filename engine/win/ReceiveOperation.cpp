// The receive operation: one input media sample becomes one or more processed stereo output
// samples. Only the first output sample carries the input's time stamps and flags.
#include <algorithm>

#include <vfwmsgs.h>

#include "base/win/ComPtr.h"
#include "engine/FormatRules.h"
#include "engine/win/AudioTransform.h"

namespace {

constexpr LONGLONG kUnitsPerSecond = 10000000;  // 100-ns reference time

// Frames at a sample rate of a reference time, truncated towards zero; split so that the
// product cannot overflow for any time a host can send.
LONGLONG FramesAt(LONGLONG time, DWORD samplesPerSec) {
    const LONGLONG rate = samplesPerSec;
    return time / kUnitsPerSecond * rate + time % kUnitsPerSecond * rate / kUnitsPerSecond;
}

// The reference time of a position in frames at a sample rate, truncated towards zero.
LONGLONG TimeAt(LONGLONG frames, DWORD samplesPerSec) {
    const LONGLONG rate = samplesPerSec;
    return frames / rate * kUnitsPerSecond + frames % rate * kUnitsPerSecond / rate;
}

bool FormatsUsable(const WaveFormat* in, const WaveFormat* out) {
    return in && out && IsProcessablePair(*in, *out);
}

}  // namespace

HRESULT CAudioTransform::ProcessChunk(const BYTE* in, int frames, BYTE* out) {
    const WaveFormat* format = m_processor.InputFormat();
    int inFrames = frames, outFrames = frames;
    if (format->wFormatTag == kWaveFormatIeeeFloat) {
        if (format->wBitsPerSample == 64) {
            return m_processor.ProcessDouble(reinterpret_cast<const double*>(in), &inFrames,
                                             reinterpret_cast<double*>(out), &outFrames);
        }
        return m_processor.ProcessFloat(reinterpret_cast<const float*>(in), &inFrames,
                                        reinterpret_cast<float*>(out), &outFrames);
    }

    // 16-bit PCM goes through float buffers from the process heap.
    const int channels = format->nChannels;
    HANDLE heap = GetProcessHeap();
    void* inFloat = HeapAlloc(heap, 0, sizeof(float) * channels * frames + 1);
    void* outFloat = HeapAlloc(heap, 0, sizeof(float) * 2 * frames + 1);
    HRESULT hr = E_OUTOFMEMORY;
    if (inFloat && outFloat) {
        hr = m_processor.ProcessPcm16(reinterpret_cast<const int16_t*>(in), frames,
                                      reinterpret_cast<int16_t*>(out), static_cast<float*>(inFloat),
                                      static_cast<float*>(outFloat));
    }
    if (inFloat) HeapFree(heap, 0, inFloat);
    if (outFloat) HeapFree(heap, 0, outFloat);
    return hr;
}

HRESULT CAudioTransform::ReceiveSample(IMediaSample* input, IOutputDelivery* output) {
    if (!input || !output) return E_POINTER;
    const WaveFormat* inFormat = m_processor.InputFormat();
    const WaveFormat* outFormat = m_processor.OutputFormat();
    if (!FormatsUsable(inFormat, outFormat)) return VFW_E_INVALIDMEDIATYPE;
    // A new input rate (a type carried on a sample) keeps the position at the same time, so
    // automation goes on where it was.
    const DWORD rate = inFormat->nSamplesPerSec;
    if (m_positionRate != 0 && m_positionRate != rate)
        m_samplePosition = FramesAt(TimeAt(m_samplePosition, m_positionRate), rate);
    m_positionRate = rate;

    REFERENCE_TIME start = 0, stop = 0;
    const HRESULT timeResult = input->GetTime(&start, &stop);
    const bool hasTime = timeResult == S_OK || timeResult == VFW_S_NO_STOP_TIME;
    REFERENCE_TIME* startOut = hasTime ? &start : nullptr;
    REFERENCE_TIME* stopOut = timeResult == S_OK ? &stop : nullptr;

    ComPtr<IMediaSample> outSample;
    HRESULT hr = output->GetDeliveryBuffer(outSample.Put(), startOut, stopOut, 0);
    if (FAILED(hr)) return hr;

    const bool discontinuity = input->IsDiscontinuity() == S_OK;
    if (discontinuity && hasTime) m_samplePosition = FramesAt(start, inFormat->nSamplesPerSec);
    if (IEngineAutomation* automation = m_params.Automation())
        automation->UpdateToPosition(m_samplePosition);

    outSample->SetTime(startOut, stopOut);
    outSample->SetSyncPoint(input->IsSyncPoint() == S_OK);
    outSample->SetDiscontinuity(discontinuity);
    LONGLONG mediaStart = 0, mediaStop = 0;
    if (input->GetMediaTime(&mediaStart, &mediaStop) == S_OK)
        outSample->SetMediaTime(&mediaStart, &mediaStop);

    BYTE* read = nullptr;
    hr = input->GetPointer(&read);
    long remaining = SUCCEEDED(hr) ? input->GetActualDataLength() : 0;
    const long inAlign = inFormat->nBlockAlign, outAlign = outFormat->nBlockAlign;
    while (SUCCEEDED(hr)) {
        BYTE* write = nullptr;
        hr = outSample->GetPointer(&write);
        if (FAILED(hr)) break;
        const long capacity = outSample->GetSize() / outAlign;
        const long inFrames = remaining / inAlign;
        if (inFrames > 0 && capacity <= 0) {
            // A buffer smaller than one frame could never make progress.
            hr = VFW_E_BUFFER_OVERFLOW;
            break;
        }
        const int n = static_cast<int>(std::min(inFrames, capacity));
        hr = ProcessChunk(read, n, write);
        m_samplePosition += hr == E_OUTOFMEMORY ? inFrames : n;
        if (FAILED(hr)) break;

        outSample->SetActualDataLength(n * outAlign);
        hr = output->Deliver(outSample.Get());
        if (FAILED(hr) || n >= inFrames) break;

        read += n * inAlign;
        remaining -= n * inAlign;
        hr = output->GetDeliveryBuffer(outSample.Put(), nullptr, nullptr, 0);
    }
    return hr;
}
