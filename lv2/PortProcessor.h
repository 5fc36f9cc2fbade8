// CPortProcessor: the engine run over a plug-in's port buffers, as an LV2 host drives it. Each
// run takes the control inputs once (parameters change at run boundaries, as they change at
// block boundaries in the DirectShow plug-in), interleaves the audio into the block processor
// the DirectShow plug-in streams through, and writes the latency and meters to the control
// outputs. Knows nothing of LV2's headers: the shell hands it the host's calls.
#pragma once
#include <cstdint>

#include "engine/BlockProcessor.h"
#include "engine/ParamModel.h"
#include "engine/WaveFormat.h"
#include "lv2/PortTable.h"

class CPortProcessor {
public:
    CPortProcessor(InputLayout layout, double sampleRate);
    CPortProcessor(const CPortProcessor&) = delete;
    CPortProcessor& operator=(const CPortProcessor&) = delete;

    // The host's buffer for a port (null leaves the port unconnected: a control input then
    // keeps its default, an output is not written, an audio input reads as silence).
    void ConnectPort(int index, float* data);
    // The filter state, meters, peaks and clip holds start afresh.
    void Activate();
    // Processes frames frames from the audio inputs into the audio outputs (which may be the
    // same buffers), then writes the control outputs. No allocation, no system call.
    void Run(uint32_t frames);
    // The meters drop, as when a stream stops.
    void Deactivate();

    // Frames the scratch buffers hold: longer runs are processed in pieces of this size.
    static constexpr int kPieceFrames = 1024;

private:
    void ReadControls();
    void ProcessPiece(int first, int frames);
    void WriteOutputs(uint32_t frames);
    float* Port(PortRole role, int channelOrParam = 0) const;

    InputLayout m_layout;
    WaveFormat m_inputFormat;
    WaveFormat m_outputFormat;
    CParamModel m_params;
    CBlockProcessor m_block;
    float* m_ports[kMaxPortCount] = {};
    // A clip shows for as long as the editor shows one: kClipHoldSteps of its 75 ms ticks.
    int64_t m_clipHoldFrames;
    int64_t m_clipLeftFrames[2] = {0, 0};
    float m_runPeak[2] = {0.0f, 0.0f};
    float m_inScratch[2 * kPieceFrames];
    float m_outScratch[2 * kPieceFrames];
};
