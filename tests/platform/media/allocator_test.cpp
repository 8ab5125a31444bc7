// The memory allocator and its media samples.
#include "media/media_type_util.h"
#include "media/memory_allocator.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <future>
#include <vector>

namespace {

class AllocatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IMemAllocator, reinterpret_cast<void**>(&allocator_)));
    }
    void TearDown() override {
        if (allocator_ != nullptr)
            allocator_->Release();
        EXPECT_EQ(0, media::MemoryAllocatorBlocksInUse());
        CoUninitialize();
    }
    void Configure(LONG buffers, LONG size, LONG align = 1, LONG prefix = 0) {
        ALLOCATOR_PROPERTIES wanted{buffers, size, align, prefix};
        ASSERT_EQ(S_OK, allocator_->SetProperties(&wanted, &actual_));
    }
    IMediaSample* Take(DWORD flags = 0) {
        IMediaSample* sample = nullptr;
        EXPECT_EQ(S_OK, allocator_->GetBuffer(&sample, nullptr, nullptr, flags));
        return sample;
    }

    IMemAllocator* allocator_ = nullptr;
    ALLOCATOR_PROPERTIES actual_{};
};

TEST_F(AllocatorTest, CommitNeedsPropertiesAndGetBufferNeedsCommit) {
    EXPECT_EQ(VFW_E_SIZENOTSET, allocator_->Commit());
    Configure(2, 100);
    IMediaSample* sample = reinterpret_cast<IMediaSample*>(allocator_);
    EXPECT_EQ(VFW_E_NOT_COMMITTED, allocator_->GetBuffer(&sample, nullptr, nullptr, 0));
    EXPECT_EQ(nullptr, sample);
    EXPECT_EQ(S_OK, allocator_->Commit());
    sample = Take();
    ASSERT_NE(nullptr, sample);
    EXPECT_EQ(100, sample->GetSize());
    sample->Release();
    EXPECT_EQ(S_OK, allocator_->Decommit());
}

TEST_F(AllocatorTest, SetPropertiesIsRefusedWhileCommittedOrWhileBuffersAreOut) {
    Configure(2, 64);
    EXPECT_EQ(2, actual_.cBuffers);
    EXPECT_EQ(64, actual_.cbBuffer);
    ASSERT_EQ(S_OK, allocator_->Commit());
    ALLOCATOR_PROPERTIES wanted{4, 128, 1, 0};
    ALLOCATOR_PROPERTIES actual{};
    EXPECT_EQ(VFW_E_ALREADY_COMMITTED, allocator_->SetProperties(&wanted, &actual));

    IMediaSample* sample = Take();
    ASSERT_EQ(S_OK, allocator_->Decommit());
    EXPECT_EQ(VFW_E_BUFFERS_OUTSTANDING, allocator_->SetProperties(&wanted, &actual));
    sample->Release();
    EXPECT_EQ(S_OK, allocator_->SetProperties(&wanted, &actual));
    EXPECT_EQ(4, actual.cBuffers);
    EXPECT_EQ(128, actual.cbBuffer);
    ALLOCATOR_PROPERTIES stored{};
    EXPECT_EQ(S_OK, allocator_->GetProperties(&stored));
    EXPECT_EQ(4, stored.cBuffers);

    ALLOCATOR_PROPERTIES badAlign{1, 10, 3, 0};
    EXPECT_EQ(VFW_E_BADALIGN, allocator_->SetProperties(&badAlign, &actual));
}

TEST_F(AllocatorTest, NoWaitAnswersTimeoutWhenEveryBufferIsOut) {
    Configure(2, 16);
    ASSERT_EQ(S_OK, allocator_->Commit());
    IMediaSample* first = Take();
    IMediaSample* second = Take();
    IMediaSample* third = nullptr;
    EXPECT_EQ(VFW_E_TIMEOUT, allocator_->GetBuffer(&third, nullptr, nullptr, AM_GBF_NOWAIT));
    EXPECT_EQ(nullptr, third);
    second->Release();
    third = Take(AM_GBF_NOWAIT);
    EXPECT_EQ(second, third) << "a released sample is handed out again";
    first->Release();
    third->Release();
    allocator_->Decommit();
}

TEST_F(AllocatorTest, DecommitWakesAWaiterWhichFails) {
    Configure(1, 16);
    ASSERT_EQ(S_OK, allocator_->Commit());
    IMediaSample* held = Take();
    std::promise<void> waiting;
    auto result = std::async(std::launch::async, [&] {
        IMediaSample* sample = nullptr;
        waiting.set_value();
        const HRESULT hr = allocator_->GetBuffer(&sample, nullptr, nullptr, 0);
        return std::make_pair(hr, sample);
    });
    waiting.get_future().wait();
    // Whether the waiter is already blocked or not, it must fail once decommitted.
    ASSERT_EQ(S_OK, allocator_->Decommit());
    ASSERT_EQ(std::future_status::ready, result.wait_for(std::chrono::seconds(10)));
    const auto [hr, sample] = result.get();
    EXPECT_EQ(VFW_E_NOT_COMMITTED, hr);
    EXPECT_EQ(nullptr, sample);
    held->Release();
}

TEST_F(AllocatorTest, AReturnedBufferWakesAWaiter) {
    Configure(1, 16);
    ASSERT_EQ(S_OK, allocator_->Commit());
    IMediaSample* held = Take();
    auto result = std::async(std::launch::async, [&] {
        IMediaSample* sample = nullptr;
        const HRESULT hr = allocator_->GetBuffer(&sample, nullptr, nullptr, 0);
        return std::make_pair(hr, sample);
    });
    held->Release();
    ASSERT_EQ(std::future_status::ready, result.wait_for(std::chrono::seconds(10)));
    const auto [hr, sample] = result.get();
    ASSERT_EQ(S_OK, hr);
    EXPECT_EQ(held, sample);
    sample->Release();
    allocator_->Decommit();
}

TEST_F(AllocatorTest, MemoryIsFreedWhenTheLastBufferComesBack) {
    Configure(3, 1000);
    ASSERT_EQ(S_OK, allocator_->Commit());
    EXPECT_EQ(1, media::MemoryAllocatorBlocksInUse());
    IMediaSample* first = Take();
    IMediaSample* second = Take();
    ASSERT_EQ(S_OK, allocator_->Decommit());
    EXPECT_EQ(1, media::MemoryAllocatorBlocksInUse()) << "samples still use the block";
    BYTE* data = nullptr;
    ASSERT_EQ(S_OK, first->GetPointer(&data));
    data[999] = 1; // still writable
    first->Release();
    EXPECT_EQ(1, media::MemoryAllocatorBlocksInUse());
    second->Release();
    EXPECT_EQ(0, media::MemoryAllocatorBlocksInUse());
}

TEST_F(AllocatorTest, SamplesKeepTheirAllocatorAlive) {
    Configure(1, 8);
    ASSERT_EQ(S_OK, allocator_->Commit());
    IMediaSample* sample = Take();
    allocator_->Release();
    allocator_ = nullptr;
    EXPECT_EQ(1, media::MemoryAllocatorBlocksInUse());
    sample->Release(); // frees the allocator and its block
    EXPECT_EQ(0, media::MemoryAllocatorBlocksInUse());
}

TEST_F(AllocatorTest, PointersAreAlignedWithThePrefixBeforeThem) {
    Configure(4, 100, 64, 16);
    EXPECT_EQ(64, actual_.cbAlign);
    EXPECT_EQ(16, actual_.cbPrefix);
    EXPECT_GE(actual_.cbBuffer, 100);
    EXPECT_EQ(0, (actual_.cbBuffer + actual_.cbPrefix) % 64);
    ASSERT_EQ(S_OK, allocator_->Commit());
    std::vector<IMediaSample*> samples;
    std::vector<BYTE*> pointers;
    for (int i = 0; i < 4; ++i) {
        samples.push_back(Take());
        BYTE* data = nullptr;
        ASSERT_EQ(S_OK, samples.back()->GetPointer(&data));
        EXPECT_EQ(0u, reinterpret_cast<std::uintptr_t>(data) % 64);
        pointers.push_back(data);
    }
    // Fill every prefix and buffer; no region may overlap another.
    for (int i = 0; i < 4; ++i)
        std::memset(pointers[i] - 16, i + 1, static_cast<std::size_t>(16 + actual_.cbBuffer));
    for (int i = 0; i < 4; ++i)
        for (LONG k = -16; k < actual_.cbBuffer; ++k)
            ASSERT_EQ(i + 1, pointers[i][k]) << "buffer " << i << " byte " << k;
    for (IMediaSample* sample : samples)
        sample->Release();
    allocator_->Decommit();
}

TEST_F(AllocatorTest, SampleProperties) {
    Configure(1, 50);
    ASSERT_EQ(S_OK, allocator_->Commit());
    IMediaSample* sample = Take();

    REFERENCE_TIME start = -1;
    REFERENCE_TIME end = -1;
    EXPECT_TRUE(FAILED(sample->GetTime(&start, &end))) << "no time set yet";
    start = 100;
    end = 200;
    ASSERT_EQ(S_OK, sample->SetTime(&start, &end));
    start = end = 0;
    EXPECT_EQ(S_OK, sample->GetTime(&start, &end));
    EXPECT_EQ(100, start);
    EXPECT_EQ(200, end);

    EXPECT_EQ(50, sample->GetActualDataLength());
    EXPECT_EQ(VFW_E_BUFFER_OVERFLOW, sample->SetActualDataLength(51));
    EXPECT_EQ(S_OK, sample->SetActualDataLength(20));
    EXPECT_EQ(20, sample->GetActualDataLength());

    EXPECT_EQ(S_FALSE, sample->IsSyncPoint());
    sample->SetSyncPoint(TRUE);
    EXPECT_EQ(S_OK, sample->IsSyncPoint());
    sample->SetDiscontinuity(TRUE);
    EXPECT_EQ(S_OK, sample->IsDiscontinuity());
    sample->SetPreroll(TRUE);
    EXPECT_EQ(S_OK, sample->IsPreroll());

    LONGLONG mediaStart = 0;
    LONGLONG mediaEnd = 0;
    EXPECT_EQ(VFW_E_MEDIA_TIME_NOT_SET, sample->GetMediaTime(&mediaStart, &mediaEnd));
    mediaStart = 5;
    mediaEnd = 9;
    sample->SetMediaTime(&mediaStart, &mediaEnd);
    mediaStart = mediaEnd = 0;
    EXPECT_EQ(S_OK, sample->GetMediaTime(&mediaStart, &mediaEnd));
    EXPECT_EQ(9, mediaEnd);

    AM_MEDIA_TYPE* type = nullptr;
    EXPECT_EQ(S_FALSE, sample->GetMediaType(&type));
    AM_MEDIA_TYPE pcm;
    media::ResetMediaType(&pcm);
    pcm.majortype = MEDIATYPE_Audio;
    BYTE format[4] = {1, 2, 3, 4};
    pcm.pbFormat = format;
    pcm.cbFormat = 4;
    ASSERT_EQ(S_OK, sample->SetMediaType(&pcm));
    ASSERT_EQ(S_OK, sample->GetMediaType(&type));
    EXPECT_TRUE(type->majortype == MEDIATYPE_Audio);
    ASSERT_EQ(4u, type->cbFormat);
    EXPECT_NE(format, type->pbFormat);
    EXPECT_EQ(3, type->pbFormat[2]);
    media::DeleteMediaType(type);

    // A sample handed out again starts clean.
    sample->Release();
    sample = Take();
    EXPECT_TRUE(FAILED(sample->GetTime(&start, &end)));
    EXPECT_EQ(S_FALSE, sample->IsSyncPoint());
    EXPECT_EQ(50, sample->GetActualDataLength());
    EXPECT_EQ(S_FALSE, sample->GetMediaType(&type));
    sample->Release();
    allocator_->Decommit();
}

TEST_F(AllocatorTest, ManyThreadsShareFewBuffers) {
    Configure(2, 32);
    ASSERT_EQ(S_OK, allocator_->Commit());
    std::vector<std::future<int>> workers;
    for (int t = 0; t < 4; ++t) {
        workers.push_back(std::async(std::launch::async, [this, t] {
            int taken = 0;
            for (int i = 0; i < 200; ++i) {
                IMediaSample* sample = nullptr;
                if (allocator_->GetBuffer(&sample, nullptr, nullptr, 0) != S_OK)
                    break;
                BYTE* data = nullptr;
                sample->GetPointer(&data);
                std::memset(data, t, 32);
                sample->Release();
                ++taken;
            }
            return taken;
        }));
    }
    for (auto& worker : workers) {
        ASSERT_EQ(std::future_status::ready, worker.wait_for(std::chrono::seconds(30)));
        EXPECT_EQ(200, worker.get());
    }
    allocator_->Decommit();
}

} // namespace
