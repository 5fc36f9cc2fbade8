// Media samples and CMemAllocator: time and flag semantics, buffer bounds, commit state,
// blocking GetBuffer, and samples returning to their allocator.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>

#include <dshow.h>

#include "base/win/ComPtr.h"
#include "framework/MediaSample.h"
#include "framework/MediaType.h"
#include "framework/MemAllocator.h"

namespace {

// A free-standing sample over a test-owned buffer; it deletes itself on its last Release.
ComPtr<IMediaSample> NewLooseSample(BYTE* buffer, LONG size) {
    HRESULT hr = S_OK;
    ComPtr<IMediaSample> sample(new CMediaSample(L"loose", nullptr, &hr, buffer, size));
    EXPECT_EQ(S_OK, hr);
    return sample;
}

IMemAllocator* NewAllocator() {
    HRESULT hr = S_OK;
    CUnknown* object = CMemAllocator::CreateInstance(nullptr, &hr);
    EXPECT_EQ(S_OK, hr);
    IMemAllocator* allocator = nullptr;
    EXPECT_EQ(S_OK, object->NonDelegatingQueryInterface(IID_IMemAllocator,
                                                        reinterpret_cast<void**>(&allocator)));
    return allocator;
}

ALLOCATOR_PROPERTIES Props(LONG count, LONG size, LONG align = 1, LONG prefix = 0) {
    ALLOCATOR_PROPERTIES p;
    p.cBuffers = count;
    p.cbBuffer = size;
    p.cbAlign = align;
    p.cbPrefix = prefix;
    return p;
}

// Sets properties and commits; returns the granted properties.
ALLOCATOR_PROPERTIES Ready(IMemAllocator* allocator, ALLOCATOR_PROPERTIES request) {
    ALLOCATOR_PROPERTIES actual{};
    EXPECT_EQ(S_OK, allocator->SetProperties(&request, &actual));
    EXPECT_EQ(S_OK, allocator->Commit());
    return actual;
}

TEST(MediaSampleTest, TimesReportMissingStopAndUnsetTimes) {
    BYTE buffer[64];
    ComPtr<IMediaSample> sample = NewLooseSample(buffer, sizeof buffer);
    REFERENCE_TIME start = -1, stop = -1;
    EXPECT_EQ(VFW_E_SAMPLE_TIME_NOT_SET, sample->GetTime(&start, &stop));

    REFERENCE_TIME t0 = 1000, t1 = 2000;
    EXPECT_EQ(S_OK, sample->SetTime(&t0, &t1));
    EXPECT_EQ(S_OK, sample->GetTime(&start, &stop));
    EXPECT_EQ(1000, start);
    EXPECT_EQ(2000, stop);

    EXPECT_EQ(S_OK, sample->SetTime(&t0, nullptr));
    EXPECT_EQ(VFW_S_NO_STOP_TIME, sample->GetTime(&start, &stop));
    EXPECT_EQ(1000, start);
    EXPECT_EQ(1001, stop);

    EXPECT_EQ(S_OK, sample->SetTime(nullptr, &t1));
    EXPECT_EQ(VFW_E_SAMPLE_TIME_NOT_SET, sample->GetTime(&start, &stop));
    EXPECT_EQ(E_POINTER, sample->GetTime(nullptr, &stop));

    LONGLONG m0 = 5, m1 = 9, a = 0, b = 0;
    EXPECT_EQ(VFW_E_MEDIA_TIME_NOT_SET, sample->GetMediaTime(&a, &b));
    EXPECT_EQ(E_POINTER, sample->SetMediaTime(&m0, nullptr));
    EXPECT_EQ(S_OK, sample->SetMediaTime(&m0, &m1));
    EXPECT_EQ(S_OK, sample->GetMediaTime(&a, &b));
    EXPECT_EQ(5, a);
    EXPECT_EQ(9, b);
    EXPECT_EQ(S_OK, sample->SetMediaTime(nullptr, nullptr));
    EXPECT_EQ(VFW_E_MEDIA_TIME_NOT_SET, sample->GetMediaTime(&a, &b));
    EXPECT_EQ(0u, sample.Detach()->Release());
}

TEST(MediaSampleTest, DataLengthIsBoundedByTheBuffer) {
    BYTE buffer[100];
    ComPtr<IMediaSample> sample = NewLooseSample(buffer, sizeof buffer);
    BYTE* pointer = nullptr;
    EXPECT_EQ(S_OK, sample->GetPointer(&pointer));
    EXPECT_EQ(buffer, pointer);
    EXPECT_EQ(E_POINTER, sample->GetPointer(nullptr));
    EXPECT_EQ(100, sample->GetSize());
    EXPECT_EQ(S_OK, sample->SetActualDataLength(100));
    EXPECT_EQ(S_OK, sample->SetActualDataLength(0));
    EXPECT_EQ(VFW_E_BUFFER_OVERFLOW, sample->SetActualDataLength(101));
    EXPECT_EQ(E_INVALIDARG, sample->SetActualDataLength(-1));
    EXPECT_EQ(0, sample->GetActualDataLength());
}

TEST(MediaSampleTest, MediaTypeIsCopiedInAndOut) {
    BYTE buffer[16];
    ComPtr<IMediaSample> sample = NewLooseSample(buffer, sizeof buffer);
    AM_MEDIA_TYPE* out = reinterpret_cast<AM_MEDIA_TYPE*>(1);
    EXPECT_EQ(S_FALSE, sample->GetMediaType(&out));
    EXPECT_EQ(nullptr, out);

    WAVEFORMATEX wfx{WAVE_FORMAT_PCM, 2, 48000, 192000, 4, 16, 0};
    AM_MEDIA_TYPE mt{};
    mt.majortype = MEDIATYPE_Audio;
    mt.subtype = MEDIASUBTYPE_PCM;
    mt.formattype = FORMAT_WaveFormatEx;
    mt.cbFormat = sizeof wfx;
    mt.pbFormat = reinterpret_cast<BYTE*>(&wfx);
    EXPECT_EQ(S_OK, sample->SetMediaType(&mt));
    wfx.nChannels = 1;  // the sample kept its own copy
    ASSERT_EQ(S_OK, sample->GetMediaType(&out));
    ASSERT_NE(nullptr, out);
    EXPECT_EQ(MEDIATYPE_Audio, out->majortype);
    ASSERT_EQ(sizeof wfx, out->cbFormat);
    EXPECT_EQ(2, reinterpret_cast<WAVEFORMATEX*>(out->pbFormat)->nChannels);
    EXPECT_NE(mt.pbFormat, out->pbFormat);
    DeleteMediaType(out);

    EXPECT_EQ(S_OK, sample->SetMediaType(nullptr));
    EXPECT_EQ(S_FALSE, sample->GetMediaType(&out));
    EXPECT_EQ(E_POINTER, sample->GetMediaType(nullptr));
}

TEST(MemAllocatorTest, PropertiesAreRoundedToAlignmentAndValidated) {
    IMemAllocator* allocator = NewAllocator();
    ALLOCATOR_PROPERTIES actual{};
    ALLOCATOR_PROPERTIES request = Props(3, 1000, 64, 16);
    ASSERT_EQ(S_OK, allocator->SetProperties(&request, &actual));
    EXPECT_EQ(3, actual.cBuffers);
    EXPECT_EQ(64, actual.cbAlign);
    EXPECT_EQ(16, actual.cbPrefix);
    EXPECT_EQ(0, (actual.cbBuffer + actual.cbPrefix) % 64);
    EXPECT_GE(actual.cbBuffer, 1000);
    ALLOCATOR_PROPERTIES read{};
    EXPECT_EQ(S_OK, allocator->GetProperties(&read));
    EXPECT_EQ(actual.cbBuffer, read.cbBuffer);

    request = Props(2, 100, 3);
    EXPECT_EQ(VFW_E_BADALIGN, allocator->SetProperties(&request, &actual));
    request = Props(-1, 100);
    EXPECT_EQ(E_INVALIDARG, allocator->SetProperties(&request, &actual));
    EXPECT_EQ(E_POINTER, allocator->SetProperties(&request, nullptr));
    EXPECT_EQ(E_POINTER, allocator->GetProperties(nullptr));
    EXPECT_EQ(0u, allocator->Release());
}

TEST(MemAllocatorTest, BuffersAreAlignedWithRoomForThePrefix) {
    IMemAllocator* allocator = NewAllocator();
    const ALLOCATOR_PROPERTIES actual = Ready(allocator, Props(4, 100, 32, 8));
    IMediaSample* samples[4] = {};
    for (auto& sample : samples) {
        ASSERT_EQ(S_OK, allocator->GetBuffer(&sample, nullptr, nullptr, 0));
        BYTE* data = nullptr;
        sample->GetPointer(&data);
        EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(data) % 32);
        EXPECT_EQ(actual.cbBuffer, sample->GetSize());
        data[-8] = 0xAB;  // the prefix belongs to the sample
        data[actual.cbBuffer - 1] = 0xCD;
    }
    for (auto* sample : samples) sample->Release();
    allocator->Decommit();
    EXPECT_EQ(0u, allocator->Release());
}

TEST(MemAllocatorTest, CommitStateGovernsGetBuffer) {
    IMemAllocator* allocator = NewAllocator();
    IMediaSample* sample = reinterpret_cast<IMediaSample*>(1);
    EXPECT_EQ(VFW_E_SIZENOTSET, allocator->Commit());
    EXPECT_EQ(VFW_E_NOT_COMMITTED, allocator->GetBuffer(&sample, nullptr, nullptr, 0));
    EXPECT_EQ(nullptr, sample);
    EXPECT_EQ(E_POINTER, allocator->GetBuffer(nullptr, nullptr, nullptr, 0));

    Ready(allocator, Props(1, 256));
    ALLOCATOR_PROPERTIES request = Props(2, 256), actual{};
    EXPECT_EQ(VFW_E_ALREADY_COMMITTED, allocator->SetProperties(&request, &actual));
    EXPECT_EQ(S_OK, allocator->Commit());  // again: no change

    REFERENCE_TIME t0 = 10, t1 = 20;
    ASSERT_EQ(S_OK, allocator->GetBuffer(&sample, &t0, &t1, 0));
    REFERENCE_TIME start = 0, stop = 0;
    EXPECT_EQ(S_OK, sample->GetTime(&start, &stop));
    EXPECT_EQ(10, start);
    EXPECT_EQ(20, stop);

    IMediaSample* second = nullptr;
    EXPECT_EQ(VFW_E_TIMEOUT, allocator->GetBuffer(&second, nullptr, nullptr, AM_GBF_NOWAIT));

    // Decommitted with the sample still out: properties cannot change until it returns.
    EXPECT_EQ(S_OK, allocator->Decommit());
    EXPECT_EQ(VFW_E_NOT_COMMITTED, allocator->GetBuffer(&second, nullptr, nullptr, 0));
    EXPECT_EQ(VFW_E_BUFFERS_OUTSTANDING, allocator->SetProperties(&request, &actual));
    sample->Release();
    EXPECT_EQ(S_OK, allocator->SetProperties(&request, &actual));
    EXPECT_EQ(0u, allocator->Release());
}

TEST(MemAllocatorTest, ReleasedSampleReturnsCleanToTheFreeList) {
    IMemAllocator* allocator = NewAllocator();
    Ready(allocator, Props(1, 64));
    IMediaSample* sample = nullptr;
    REFERENCE_TIME t0 = 5, t1 = 6;
    ASSERT_EQ(S_OK, allocator->GetBuffer(&sample, &t0, &t1, 0));
    IMediaSample* const first = sample;
    sample->SetSyncPoint(TRUE);
    sample->SetDiscontinuity(TRUE);
    sample->SetActualDataLength(10);
    EXPECT_EQ(2u, sample->AddRef());
    EXPECT_EQ(1u, sample->Release());
    EXPECT_EQ(0u, sample->Release());

    ASSERT_EQ(S_OK, allocator->GetBuffer(&sample, nullptr, nullptr, AM_GBF_NOWAIT));
    EXPECT_EQ(first, sample);
    REFERENCE_TIME start, stop;
    EXPECT_EQ(VFW_E_SAMPLE_TIME_NOT_SET, sample->GetTime(&start, &stop));
    EXPECT_EQ(S_FALSE, sample->IsSyncPoint());
    EXPECT_EQ(S_FALSE, sample->IsDiscontinuity());
    EXPECT_EQ(64, sample->GetActualDataLength());

    // ReleaseBuffer takes only this allocator's samples whose references are gone.
    BYTE other[8];
    EXPECT_EQ(E_INVALIDARG, allocator->ReleaseBuffer(NewLooseSample(other, sizeof other).Get()));
    EXPECT_EQ(E_UNEXPECTED, allocator->ReleaseBuffer(sample));
    EXPECT_EQ(E_POINTER, allocator->ReleaseBuffer(nullptr));
    sample->Release();
    allocator->Decommit();
    EXPECT_EQ(0u, allocator->Release());
}

TEST(MemAllocatorTest, OutstandingSampleKeepsTheAllocatorAlive) {
    const LONG before = CBaseObject::ObjectsActive();
    IMemAllocator* allocator = NewAllocator();
    Ready(allocator, Props(2, 32));
    IMediaSample* sample = nullptr;
    ASSERT_EQ(S_OK, allocator->GetBuffer(&sample, nullptr, nullptr, 0));
    allocator->Decommit();
    EXPECT_EQ(1u, allocator->Release());  // the sample's reference remains
    EXPECT_GT(CBaseObject::ObjectsActive(), before);
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    data[0] = 1;  // the memory is still valid
    sample->Release();
    EXPECT_EQ(before, CBaseObject::ObjectsActive());
}

// A GetBuffer waiting for the one buffer, which the test holds, returns when the sample comes
// back (with that buffer) or when the allocator is decommitted (with nothing); recommitting
// before the sample returns reuses the same buffer.
TEST(MemAllocatorTest, BlockedGetBufferWakesOnReleaseOrDecommit) {
    for (bool decommit : {false, true}) {
        SCOPED_TRACE(decommit ? "decommit" : "release");
        IMemAllocator* allocator = NewAllocator();
        Ready(allocator, Props(1, 64));
        IMediaSample* held = nullptr;
        ASSERT_EQ(S_OK, allocator->GetBuffer(&held, nullptr, nullptr, 0));

        std::atomic<bool> done{false};
        IMediaSample* received = reinterpret_cast<IMediaSample*>(1);
        HRESULT hr = E_FAIL;
        std::thread waiter([&] {
            hr = allocator->GetBuffer(&received, nullptr, nullptr, 0);
            done = true;
        });
        Sleep(100);
        EXPECT_FALSE(done);
        if (decommit)
            allocator->Decommit();
        else
            held->Release();
        waiter.join();
        EXPECT_EQ(decommit ? VFW_E_NOT_COMMITTED : S_OK, hr);
        if (decommit) {
            EXPECT_EQ(nullptr, received);
            EXPECT_EQ(S_OK, allocator->Commit());
            held->Release();
            ASSERT_EQ(S_OK, allocator->GetBuffer(&received, nullptr, nullptr, AM_GBF_NOWAIT));
        }
        EXPECT_EQ(held, received);
        received->Release();
        allocator->Decommit();
        allocator->Release();
    }
}

}  // namespace
