// The -j slots: a track holds one while it is converted and gives it back when
// its output is being published or when it is over, never twice; a waiting
// track goes on when the platform's writer says a file is being published.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "convert/job_slots.h"
#include "platform/output_files.h"
#include "temporary_folder.h"

namespace vantrel {
namespace {

TEST(JobSlots, ASlotIsFreedOnceByPublishingOrLeaving) {
    JobSlots slots(2);
    const JobSlots::Ticket a = slots.enter();
    slots.writes(a, "a.wma");
    const JobSlots::Ticket b = slots.enter();
    slots.writes(b, "a.wma"); // the same output twice: b waits for leave
    EXPECT_EQ(slots.free_slots(), 0u);

    slots.publishing("a.wma");
    EXPECT_EQ(slots.free_slots(), 1u);
    slots.publishing("a.wma");
    slots.leave(a);
    EXPECT_EQ(slots.free_slots(), 1u) << "a is freed once";
    slots.publishing("other.wma");
    EXPECT_EQ(slots.free_slots(), 1u) << "a path no slot writes";

    slots.writes(b, "b.wma"); // its first name was taken, so b takes this one
    slots.writes(b, "c.wma"); // but no second
    slots.publishing("c.wma");
    EXPECT_EQ(slots.free_slots(), 1u);
    slots.publishing("b.wma");
    EXPECT_EQ(slots.free_slots(), 2u);
    slots.leave(b);
    EXPECT_EQ(slots.free_slots(), 2u);

    const JobSlots::Ticket c = slots.enter();
    slots.writes(c, "a.wma");
    slots.publishing("a.wma");
    EXPECT_EQ(slots.free_slots(), 2u) << "the name is free again once a left";
    slots.leave(c);
    EXPECT_EQ(slots.free_slots(), 2u);
    EXPECT_EQ(JobSlots(0).free_slots(), 1u) << "at least one slot";
}

TEST(JobSlots, TheWritersPublishNoticeLetsAWaitingTrackGoOn) {
    test_support::TemporaryFolder folder;
    std::ofstream(folder.File("source.wma")) << "finished";
    JobSlots slots(1);
    PublishNoticeScope notice(slots);
    const JobSlots::Ticket first = slots.enter();
    slots.writes(first, folder.File("copy.wma"));
    auto second = std::async(std::launch::async, [&] {
        slots.leave(slots.enter());
        return true;
    });
    ASSERT_EQ(
        CopyOutputFile(folder.File("source.wma").c_str(), folder.File("copy.wma").c_str(), FALSE),
        S_OK);
    // Bounded so that a notice that never comes fails instead of hanging.
    const bool through = second.wait_for(std::chrono::seconds(60)) == std::future_status::ready;
    slots.leave(first);
    EXPECT_TRUE(through) << "the slot was not freed when the copy was published";
    EXPECT_TRUE(second.get());
    EXPECT_EQ(slots.free_slots(), 1u);
}

TEST(JobSlots, NoMoreTracksThanSlotsHoldOneAtOnce) {
    constexpr std::size_t kSlots = 3;
    JobSlots slots(kSlots);
    std::atomic<int> holding{0};
    std::atomic<int> most{0};
    std::vector<std::thread> workers;
    for (int w = 0; w < 8; ++w)
        workers.emplace_back([&, w] {
            for (int track = 0; track < 300; ++track) {
                const JobSlots::Ticket ticket = slots.enter();
                const int now = ++holding;
                int seen = most.load();
                while (now > seen && !most.compare_exchange_weak(seen, now)) {
                }
                const std::string name = std::to_string(w) + "/" + std::to_string(track);
                slots.writes(ticket, name);
                --holding;
                if (track % 2 == 0)
                    slots.publishing(name.c_str());
                slots.leave(ticket);
            }
        });
    for (std::thread& worker : workers)
        worker.join();
    EXPECT_LE(most.load(), static_cast<int>(kSlots));
    EXPECT_GE(most.load(), 1);
    EXPECT_EQ(slots.free_slots(), kSlots);
}

} // namespace
} // namespace vantrel
