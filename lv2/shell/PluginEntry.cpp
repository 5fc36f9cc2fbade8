// The LV2 entry point: one descriptor per input layout, each instance a port processor.
#include <lv2/core/lv2.h>

#include <new>

#include "lv2/PortProcessor.h"

namespace {

CPortProcessor* ProcessorOf(LV2_Handle instance) {
    return static_cast<CPortProcessor*>(instance);
}

template <InputLayout kLayout>
LV2_Handle Instantiate(const LV2_Descriptor*, double sampleRate, const char*,
                       const LV2_Feature* const*) {
    // The host's thread, not the audio thread: the one allocation of the instance's life.
    return new (std::nothrow) CPortProcessor(kLayout, sampleRate);
}

void ConnectPort(LV2_Handle instance, uint32_t port, void* data) {
    ProcessorOf(instance)->ConnectPort(static_cast<int>(port), static_cast<float*>(data));
}

void Activate(LV2_Handle instance) {
    ProcessorOf(instance)->Activate();
}

void Run(LV2_Handle instance, uint32_t frames) {
    ProcessorOf(instance)->Run(frames);
}

void Deactivate(LV2_Handle instance) {
    ProcessorOf(instance)->Deactivate();
}

void Cleanup(LV2_Handle instance) {
    delete ProcessorOf(instance);
}

const void* ExtensionData(const char*) {
    return nullptr;
}

template <InputLayout kLayout>
constexpr LV2_Descriptor DescriptorOf(const char* uri) {
    return {uri, Instantiate<kLayout>, ConnectPort, Activate, Run, Deactivate, Cleanup,
            ExtensionData};
}

}  // namespace

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
    static const LV2_Descriptor descriptors[kInputLayoutCount] = {
        DescriptorOf<InputLayout::kStereo>(PluginUriOf(InputLayout::kStereo)),
        DescriptorOf<InputLayout::kMono>(PluginUriOf(InputLayout::kMono)),
    };
    return index < kInputLayoutCount ? &descriptors[index] : nullptr;
}
