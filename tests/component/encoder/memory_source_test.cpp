// The memory audio source and its queue: media type and buffer agreement,
// sample filling and times, the producer's blocking, and the release of a
// producer whenever the worker stops taking blocks.
#include "bounded_wait.h"
#include "encoder/memory_audio_source.h"
#include "encoder/memory_audio_source_stream.h"
#include "encoder/pcm_block_queue.h"
#include "encoder/sample_times.h"
#include "filters/test_doubles.h"

#include <gtest/gtest.h>

namespace {

using test_support::Watched;

std::unique_ptr<PcmBlock> Block(std::size_t size, BYTE fill) {
    return std::make_unique<PcmBlock>(size, fill);
}

// ---- Queue ------------------------------------------------------------------------

TEST(PcmBlockQueueTest, HandsBlocksOutFirstInFirstOut) {
    PcmBlockQueue queue(2);
    ASSERT_EQ(queue.Push(Block(3, 1)), S_OK);
    ASSERT_EQ(queue.Push(nullptr), S_OK);
    std::unique_ptr<PcmBlock> taken;
    ASSERT_EQ(queue.Pop(&taken), S_OK);
    ASSERT_NE(taken, nullptr);
    EXPECT_EQ(*taken, PcmBlock(3, 1));
    ASSERT_EQ(queue.Push(Block(0, 0)), S_OK); // an empty block is not the marker
    ASSERT_EQ(queue.Pop(&taken), S_OK);
    EXPECT_EQ(taken, nullptr);
    ASSERT_EQ(queue.Pop(&taken), S_OK);
    ASSERT_NE(taken, nullptr);
    EXPECT_TRUE(taken->empty());
}

TEST(PcmBlockQueueTest, WrapsAroundItsSlotsManyTimes) {
    PcmBlockQueue queue(2);
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(queue.Push(Block(1, static_cast<BYTE>(i))), S_OK);
        std::unique_ptr<PcmBlock> taken;
        ASSERT_EQ(queue.Pop(&taken), S_OK);
        ASSERT_EQ((*taken)[0], static_cast<BYTE>(i));
    }
}

TEST(PcmBlockQueueTest, ClosingReleasesAWaitingProducer) {
    PcmBlockQueue queue(2);
    ASSERT_EQ(queue.Push(Block(4, 1)), S_OK);
    ASSERT_EQ(queue.Push(Block(4, 2)), S_OK);
    Watched producer([&] { return queue.Push(Block(4, 3)); });
    Watched second([&] { return queue.Push(nullptr); });
    queue.Close();
    EXPECT_EQ(producer.Wait(), VFW_E_WRONG_STATE);
    EXPECT_EQ(second.Wait(), VFW_E_WRONG_STATE);
    EXPECT_EQ(queue.Push(Block(4, 4)), VFW_E_WRONG_STATE);
    EXPECT_TRUE(queue.IsClosed());
    // The two stored blocks are freed with the queue (checked by the leak sanitizer).
}

TEST(PcmBlockQueueTest, ReopeningEmptiesAClosedQueueAndCountsAfresh) {
    PcmBlockQueue queue(2);
    ASSERT_EQ(queue.Push(Block(4, 1)), S_OK);
    queue.Close();
    queue.Reopen();
    EXPECT_FALSE(queue.IsClosed());
    // Two free slots again, whatever the close left circulating: a third push
    // would wait, so only two go in before one comes out.
    ASSERT_EQ(queue.Push(Block(1, 7)), S_OK);
    ASSERT_EQ(queue.Push(Block(1, 8)), S_OK);
    std::unique_ptr<PcmBlock> taken;
    ASSERT_EQ(queue.Pop(&taken), S_OK);
    EXPECT_EQ((*taken)[0], 7) << "the block from before the close is gone";
    Watched third([&] { return queue.Push(Block(1, 9)); });
    EXPECT_EQ(third.Wait(), S_OK);
}

TEST(PcmBlockQueueTest, ClosingReleasesAWaitingConsumer) {
    PcmBlockQueue queue(2);
    std::unique_ptr<PcmBlock> first;
    std::unique_ptr<PcmBlock> second;
    Watched consumer([&] { return queue.Pop(&first); });
    Watched another([&] { return queue.Pop(&second); });
    queue.Close();
    EXPECT_EQ(consumer.Wait(), VFW_E_WRONG_STATE);
    EXPECT_EQ(another.Wait(), VFW_E_WRONG_STATE);
    EXPECT_EQ(first, nullptr);
    queue.Close(); // twice is harmless
    std::unique_ptr<PcmBlock> third;
    EXPECT_EQ(queue.Pop(&third), VFW_E_WRONG_STATE);
}

// ---- Sample times -------------------------------------------------------------------

// Plain 64-bit arithmetic, exact while frames x 10^7 stays below 2^64.
REFERENCE_TIME Exact(std::uint64_t frames, unsigned rate) {
    return static_cast<REFERENCE_TIME>(frames * 10000000u / rate);
}

TEST(SampleTimesTest, TruncatedHundredsOfNanoseconds) {
    EXPECT_EQ(FramesToReferenceTime(0, 44100), 0);
    EXPECT_EQ(FramesToReferenceTime(44100, 44100), 10000000);
    EXPECT_EQ(FramesToReferenceTime(100, 44100), 22675); // 22675.7 truncated
    EXPECT_EQ(FramesToReferenceTime(1, 3), 3333333);
    EXPECT_EQ(FramesToReferenceTime(5, 0), 0);
}

TEST(SampleTimesTest, StaysExactPastTwoToTheThirtyOneFrames) {
    const std::uint64_t counts[] = {(1ull << 31) - 1, 1ull << 31,       (1ull << 31) + 4409,
                                    1ull << 32,       (1ull << 40) + 7, 1ull << 40};
    for (std::uint64_t frames : counts) {
        for (unsigned rate : {8000u, 44100u, 48000u, 384000u}) {
            EXPECT_EQ(FramesToReferenceTime(frames, rate), Exact(frames, rate))
                << frames << " at " << rate;
        }
    }
    EXPECT_GT(FramesToReferenceTime(1ull << 31, 44100), 0);
}

// ---- The source filter ----------------------------------------------------------------

constexpr int kFrameBytes = 4; // 16-bit stereo

class MemorySourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        liveBefore = CBaseObject::LiveObjectCount();
        HRESULT hr = E_FAIL;
        source = new CMemoryAudioSource(&hr);
        source->AddRef();
        ASSERT_EQ(hr, S_OK);
        stream = source->Stream();
        ASSERT_NE(stream, nullptr);
        ASSERT_EQ(source->JoinFilterGraph(&graph, u"CMemoryAudioSource"), S_OK);
        format = PcmFormat(2, 44100);
        ASSERT_EQ(source->SetWaveFormat(&format), S_OK);
        ASSERT_EQ(source->SetFramesPerBuffer(256), S_OK);
    }
    void TearDown() override {
        EXPECT_EQ(Watched([this] { return source->Stop(); }).Wait(), S_OK);
        EXPECT_FALSE(stream->HasWorker());
        stream->Disconnect();
        down.Disconnect();
        down.ReleaseHeldSamples();
        source->JoinFilterGraph(nullptr, nullptr);
        EXPECT_EQ(source->Release(), 0u);
        EXPECT_EQ(CBaseObject::LiveObjectCount(), liveBefore);
        EXPECT_EQ(down.references_, 0u);
        EXPECT_EQ(down.allocator.references_, 0u);
    }
    void Connect() { ASSERT_EQ(stream->Connect(&down, nullptr), S_OK); }
    HRESULT Queue(std::size_t bytes, BYTE fill = 0x11) {
        std::vector<BYTE> data(bytes, fill);
        return source->QueuePcm(data.data(), static_cast<DWORD>(bytes));
    }
    // A producer for Watched: queues up to ten blocks, stopping at the first failure.
    auto TenBlocks(std::size_t bytes) {
        return [this, bytes] {
            HRESULT last = S_OK;
            for (int i = 0; i < 10 && SUCCEEDED(last); ++i)
                last = Queue(bytes);
            return last;
        };
    }
    bool AbortEventWith(HRESULT code) {
        for (const GraphEvent& event : graph.sink.Events()) {
            if (event.code == EC_ERRORABORT && event.param1 == code) {
                return true;
            }
        }
        return false;
    }

    LONG liveBefore = 0;
    WAVEFORMATEX format{};
    TestInputPin down;
    TestGraph graph;
    CMemoryAudioSource* source = nullptr;
    CMemoryAudioSourceStream* stream = nullptr;
};

TEST_F(MemorySourceTest, HasItsClassAndPinName) {
    CLSID classId{};
    ASSERT_EQ(source->GetClassID(&classId), S_OK);
    EXPECT_TRUE(classId == CLSID_MemoryAudioSource);
    PIN_INFO info{};
    ASSERT_EQ(stream->QueryPinInfo(&info), S_OK);
    EXPECT_EQ(std::u16string(info.achName), u"CMemoryAudioSourceStream");
    EXPECT_EQ(info.dir, PINDIR_OUTPUT);
    info.pFilter->Release();
}

TEST_F(MemorySourceTest, ConnectsWithItsOwnPcmTypeAndOneBufferOfItsFrames) {
    Connect();
    const AM_MEDIA_TYPE& type = stream->ConnectionType();
    EXPECT_TRUE(type.majortype == MEDIATYPE_Audio);
    EXPECT_TRUE(type.subtype == MEDIASUBTYPE_PCM);
    EXPECT_TRUE(type.formattype == FORMAT_WaveFormatEx);
    ASSERT_EQ(type.cbFormat, 18u);
    EXPECT_EQ(std::memcmp(type.pbFormat, &format, 18), 0);
    EXPECT_EQ(down.allocator.requested.cBuffers, 1);
    EXPECT_EQ(down.allocator.requested.cbBuffer, 256 * kFrameBytes);
    EXPECT_EQ(down.allocator.requested.cbAlign, 1);
    EXPECT_EQ(down.allocator.requested.cbPrefix, 0);
}

TEST_F(MemorySourceTest, AdoptsTheFirstPcmTypeDownstreamOffers) {
    WAVEFORMATEX floatFormat = PcmFormat(2, 48000);
    CMediaDescriptor floatType;
    BuildAudioMediaType(&floatFormat, &floatType, true);
    floatType.subtype = AudioSubtypeFromTag(3); // IEEE float: refused
    down.AddType(floatType);
    WAVEFORMATEX mono = PcmFormat(1, 22050);
    CMediaDescriptor monoType;
    BuildAudioMediaType(&mono, &monoType, true);
    down.AddType(monoType);
    Connect();
    EXPECT_EQ(stream->WaveFormat().nChannels, 1);
    EXPECT_EQ(stream->WaveFormat().nSamplesPerSec, 22050u);
    EXPECT_EQ(down.allocator.requested.cbBuffer, 256 * 2);
}

TEST_F(MemorySourceTest, RejectsTypesThatAreNotPcmWaveFormats) {
    CMediaDescriptor type;
    BuildAudioMediaType(&format, &type, true);
    type.subtype = AudioSubtypeFromTag(3);
    EXPECT_EQ(stream->ValidateMediaType(&type), S_FALSE);
    type.subtype = MEDIASUBTYPE_PCM;
    type.majortype = GUID{};
    EXPECT_EQ(stream->ValidateMediaType(&type), S_FALSE);
    type.majortype = MEDIATYPE_Audio;
    type.formattype = GUID{};
    EXPECT_EQ(stream->ValidateMediaType(&type), S_FALSE);
    type.formattype = FORMAT_WaveFormatEx;
    type.cbFormat = 12; // too short to hold a wave format
    EXPECT_EQ(stream->ValidateMediaType(&type), S_FALSE);
    EXPECT_EQ(stream->WaveFormat().nSamplesPerSec, 44100u);
}

TEST_F(MemorySourceTest, AcceptsAWaveFormatWithoutItsExtraSizeField) {
    WAVEFORMATEX other = PcmFormat(1, 8000);
    other.cbSize = 0x7777;
    CMediaDescriptor type;
    BuildAudioMediaType(&format, &type, true);
    std::memcpy(type.pbFormat, &other, 16);
    type.cbFormat = 16;
    EXPECT_EQ(stream->ValidateMediaType(&type), S_OK);
    EXPECT_EQ(stream->WaveFormat().nSamplesPerSec, 8000u);
    EXPECT_EQ(stream->WaveFormat().cbSize, 0);
}

TEST_F(MemorySourceTest, OffersOneEighteenByteTypeAtPositionZero) {
    CMediaDescriptor type;
    EXPECT_EQ(stream->MediaTypeAt(1, &type), VFW_S_NO_MORE_ITEMS);
    EXPECT_EQ(stream->MediaTypeAt(-1, &type), VFW_S_NO_MORE_ITEMS);
    WAVEFORMATEX withExtra = format;
    withExtra.cbSize = 22; // an accepted type may say so; the stored copy has no extra bytes
    stream->SetWaveFormat(withExtra);
    ASSERT_EQ(stream->MediaTypeAt(0, &type), S_OK);
    EXPECT_TRUE(type.subtype == MEDIASUBTYPE_PCM);
    EXPECT_EQ(type.lSampleSize, 4u);
    EXPECT_TRUE(type.bFixedSizeSamples);
    ASSERT_EQ(type.cbFormat, 18u);
    WAVEFORMATEX offered{};
    std::memcpy(&offered, type.pbFormat, 18);
    EXPECT_EQ(offered.cbSize, 0);
    EXPECT_EQ(offered.nSamplesPerSec, 44100u);
}

TEST_F(MemorySourceTest, AllocatorGrantingLessFailsTheConnection) {
    down.allocator.grantBufferSize = 100;
    EXPECT_TRUE(FAILED(stream->Connect(&down, nullptr)));
    EXPECT_FALSE(stream->IsConnected());
    ALLOCATOR_PROPERTIES request{};
    EXPECT_EQ(stream->SizeBuffers(nullptr, &request), E_POINTER);
    EXPECT_EQ(stream->SizeBuffers(&down.allocator, nullptr), E_POINTER);
    EXPECT_EQ(stream->SizeBuffers(&down.allocator, &request), E_FAIL);
}

TEST_F(MemorySourceTest, BufferSizeThatCannotBeRepresentedIsRefused) {
    ASSERT_EQ(source->SetFramesPerBuffer(0x7FFFFFFF), S_OK);
    ALLOCATOR_PROPERTIES request{};
    EXPECT_EQ(stream->SizeBuffers(&down.allocator, &request), E_INVALIDARG);
    ASSERT_EQ(source->SetFramesPerBuffer(0), S_OK);
    EXPECT_EQ(stream->SizeBuffers(&down.allocator, &request), E_INVALIDARG);
}

TEST_F(MemorySourceTest, SettingsAreRefusedOnceConnected) {
    Connect();
    WAVEFORMATEX other = PcmFormat(1, 8000);
    EXPECT_EQ(source->SetWaveFormat(&other), VFW_E_ALREADY_CONNECTED);
    EXPECT_EQ(source->SetFramesPerBuffer(10), VFW_E_ALREADY_CONNECTED);
    EXPECT_EQ(stream->WaveFormat().nSamplesPerSec, 44100u);
    EXPECT_EQ(stream->FramesPerBuffer(), 256);
}

TEST_F(MemorySourceTest, PcmForAnUnconnectedPinIsDropped) {
    EXPECT_EQ(Queue(16), VFW_E_NOT_CONNECTED);
    EXPECT_EQ(Queue(0), VFW_E_NOT_CONNECTED);
}

TEST_F(MemorySourceTest, SamplesFollowEachOtherInTime) {
    Connect();
    ASSERT_EQ(Queue(100 * kFrameBytes, 1), S_OK);
    ASSERT_EQ(Queue(44 * kFrameBytes, 2), S_OK);
    ASSERT_EQ(source->Pause(), S_OK);
    ASSERT_EQ(Queue(200 * kFrameBytes + 3, 3), S_OK); // three bytes of a partial frame
    ASSERT_EQ(Queue(1 * kFrameBytes, 4), S_OK);
    ASSERT_EQ(source->QueueEndOfStream(), S_OK);
    ASSERT_TRUE(WaitUntil([&] { return down.endOfStreams.load() == 1; }));

    const auto received = down.Received();
    ASSERT_EQ(received.size(), 4u);
    const std::uint64_t frames[] = {0, 100, 144, 344, 345};
    const LONG lengths[] = {400, 176, 803, 4};
    for (std::size_t i = 0; i < received.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(received[i].start, Exact(frames[i], 44100));
        EXPECT_EQ(received[i].end, Exact(frames[i + 1], 44100));
        EXPECT_EQ(received[i].length, lengths[i]);
        EXPECT_EQ(received[i].bytes.front(), static_cast<BYTE>(i + 1));
        if (i > 0) {
            EXPECT_EQ(received[i].start, received[i - 1].end);
        }
    }
    EXPECT_EQ(received[0].start, 0);
    EXPECT_EQ(received[0].end, 22675);
    ASSERT_EQ(source->Stop(), S_OK);
    EXPECT_EQ(stream->FramesDelivered(), 345u);
    EXPECT_TRUE(graph.sink.Events().empty());
}

TEST_F(MemorySourceTest, EmptyPcmQueuesNothingAndIsNeverTheEndMarker) {
    Connect();
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(Queue(0), S_OK); // would block on the third if queued
    }
    ASSERT_EQ(Queue(8), S_OK);
    ASSERT_EQ(source->Pause(), S_OK);
    ASSERT_TRUE(WaitUntil([&] { return down.receiveCount.load() == 1; }));
    EXPECT_EQ(down.endOfStreams.load(), 0);
    ASSERT_EQ(source->QueueEndOfStream(), S_OK);
    ASSERT_TRUE(WaitUntil([&] { return down.endOfStreams.load() == 1; }));
    EXPECT_EQ(down.receiveCount.load(), 1);
}

TEST_F(MemorySourceTest, ThirdBlockWaitsUntilTheWorkerTakesOne) {
    Connect();
    ASSERT_EQ(Queue(16, 1), S_OK);
    ASSERT_EQ(Queue(16, 2), S_OK);
    Watched third([this] { return Queue(16, 3); });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(third.Done()); // both slots are full and no worker runs
    ASSERT_EQ(source->Pause(), S_OK);
    EXPECT_EQ(third.Wait(), S_OK);
    ASSERT_EQ(source->QueueEndOfStream(), S_OK);
    ASSERT_TRUE(WaitUntil([&] { return down.endOfStreams.load() == 1; }));
    const auto received = down.Received();
    ASSERT_EQ(received.size(), 3u);
    EXPECT_EQ(received[2].bytes.front(), 3);
}

TEST_F(MemorySourceTest, RefusedDeliveryReleasesTheProducer) {
    down.receiveResult = E_FAIL;
    Connect();
    ASSERT_EQ(source->Pause(), S_OK);
    // The first block is refused; the worker stops taking blocks and the
    // producer gets a failure instead of waiting for ever.
    Watched producer(TenBlocks(16));
    EXPECT_EQ(producer.Wait(), VFW_E_WRONG_STATE);
    EXPECT_EQ(Watched([this] { return source->QueueEndOfStream(); }).Wait(), VFW_E_WRONG_STATE);
    EXPECT_EQ(down.endOfStreams.load(), 0);
}

TEST_F(MemorySourceTest, BlockLargerThanTheBufferAbortsAndReleasesTheProducer) {
    Connect();
    ASSERT_EQ(source->Pause(), S_OK);
    Watched producer(TenBlocks(256 * kFrameBytes + 1));
    EXPECT_EQ(producer.Wait(), VFW_E_WRONG_STATE);
    ASSERT_TRUE(WaitUntil([&] { return AbortEventWith(E_OUTOFMEMORY); }));
    EXPECT_EQ(down.receiveCount.load(), 0);
}

TEST_F(MemorySourceTest, StoppingWithoutTheEndMarkerDoesNotHangAndIsNoError) {
    Connect();
    ASSERT_EQ(Queue(16), S_OK);
    ASSERT_EQ(source->Pause(), S_OK);
    ASSERT_TRUE(WaitUntil([&] { return down.receiveCount.load() == 1; }));
    // The worker now waits for a block that never comes.
    EXPECT_EQ(Watched([this] { return source->Stop(); }).Wait(), S_OK);
    EXPECT_FALSE(stream->HasWorker());
    EXPECT_EQ(Queue(16), VFW_E_WRONG_STATE);
    for (const GraphEvent& event : graph.sink.Events())
        EXPECT_NE(event.code, EC_ERRORABORT) << "a stop is not reported as a failure";
}

TEST_F(MemorySourceTest, RunningAgainAfterAStopTakesBlocksAgain) {
    Connect();
    ASSERT_EQ(Queue(16), S_OK);
    ASSERT_EQ(source->Pause(), S_OK);
    ASSERT_TRUE(WaitUntil([&] { return down.receiveCount.load() == 1; }));
    ASSERT_EQ(Watched([this] { return source->Stop(); }).Wait(), S_OK);
    ASSERT_EQ(source->Pause(), S_OK);
    ASSERT_EQ(Queue(16), S_OK) << "the queue opened again";
    ASSERT_EQ(Queue(16), S_OK);
    ASSERT_TRUE(WaitUntil([&] { return down.receiveCount.load() == 3; }));
    EXPECT_FALSE(AbortEventWith(VFW_E_WRONG_STATE));
}

TEST_F(MemorySourceTest, StoppingReleasesAProducerWaitingForASlot) {
    Connect();
    down.holdSamples = true; // the downstream keeps the only buffer
    ASSERT_EQ(source->Pause(), S_OK);
    Watched producer(TenBlocks(16));
    ASSERT_TRUE(WaitUntil([&] { return down.receiveCount.load() == 1; }));
    EXPECT_EQ(Watched([this] { return source->Stop(); }).Wait(), S_OK);
    EXPECT_EQ(producer.Wait(), VFW_E_WRONG_STATE);
}

TEST(MemorySourceReleaseTest, ReleasingAnActiveSourceWithAWaitingWorkerDoesNotHang) {
    const LONG liveBefore = CBaseObject::LiveObjectCount();
    TestInputPin down;
    HRESULT hr = E_FAIL;
    auto* source = new CMemoryAudioSource(&hr);
    source->AddRef();
    WAVEFORMATEX format = PcmFormat(2, 44100);
    source->SetWaveFormat(&format);
    ASSERT_EQ(source->Stream()->Connect(&down, nullptr), S_OK);
    ASSERT_EQ(source->Pause(), S_OK);
    // The last reference goes while the worker waits for a block.
    down.Disconnect();
    EXPECT_EQ(Watched([source] { return static_cast<HRESULT>(source->Release()); }).Wait(), 0);
    EXPECT_EQ(CBaseObject::LiveObjectCount(), liveBefore);
}

} // namespace
