#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "filters/worker_thread.h"
#include "platform/com.h"
#include "test_doubles.h"

namespace {

constexpr DWORD kPollTwice = 50;
constexpr DWORD kFinish = 99;

// Answers each command with its code plus 100; kPollTwice checks that polling
// does not consume a command; kFinish ends the body.
class EchoWorker final : public CAMThread {
public:
    ~EchoWorker() override { JoinWorker(); }

    DWORD WorkerMain() override {
        apartmentProbe = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        if (SUCCEEDED(apartmentProbe)) {
            CoUninitialize();
        }
        for (;;) {
            DWORD command = NextCommand();
            if (command == kFinish) {
                Answer(S_OK);
                return 0;
            }
            if (command == kPollTwice) {
                DWORD polled = 0;
                const bool seen = PollCommand(&polled);
                const bool seenWithoutOut = PollCommand(nullptr);
                const DWORD again = NextCommand();
                Answer(seen && seenWithoutOut && polled == kPollTwice && again == kPollTwice
                           ? S_OK
                           : E_FAIL);
                pendingAfterAnswer = PollCommand(nullptr);
                checkedAfterAnswer = true;
                continue;
            }
            Answer(static_cast<HRESULT>(command + 100));
        }
    }

    std::atomic<HRESULT> apartmentProbe{E_FAIL};
    std::atomic<bool> pendingAfterAnswer{true};
    std::atomic<bool> checkedAfterAnswer{false};
};

} // namespace

TEST(WorkerThreadTest, CommandWithoutAWorkerFailsAtOnce) {
    EchoWorker worker;
    EXPECT_FALSE(worker.HasWorker());
    EXPECT_EQ(worker.SendCommand(1), E_FAIL);
    worker.JoinWorker(); // nothing to join
    worker.JoinWorker();
}

TEST(WorkerThreadTest, CommandsAreAnsweredInTurn) {
    EchoWorker worker;
    ASSERT_TRUE(worker.StartWorker());
    EXPECT_TRUE(worker.HasWorker());
    EXPECT_FALSE(worker.StartWorker()); // one worker at a time
    for (DWORD command = 0; command < 20; ++command) {
        EXPECT_EQ(worker.SendCommand(command), static_cast<HRESULT>(command + 100));
    }
    EXPECT_EQ(worker.SendCommand(kFinish), S_OK);
    worker.JoinWorker();
    EXPECT_FALSE(worker.HasWorker());
    worker.JoinWorker(); // a second join returns at once
    EXPECT_EQ(worker.SendCommand(1), E_FAIL);
}

TEST(WorkerThreadTest, PollingLeavesTheCommandPendingUntilAnswered) {
    EchoWorker worker;
    ASSERT_TRUE(worker.StartWorker());
    EXPECT_EQ(worker.SendCommand(kPollTwice), S_OK);
    ASSERT_TRUE(WaitUntil([&] { return worker.checkedAfterAnswer.load(); }));
    EXPECT_FALSE(worker.pendingAfterAnswer);
    EXPECT_EQ(worker.SendCommand(kFinish), S_OK);
}

TEST(WorkerThreadTest, WorkerRunsInTheMultithreadedApartment) {
    EchoWorker worker;
    ASSERT_TRUE(worker.StartWorker());
    EXPECT_EQ(worker.SendCommand(kFinish), S_OK);
    worker.JoinWorker();
    // A nested initialisation of the same kind is counted: S_FALSE.
    EXPECT_EQ(worker.apartmentProbe, S_FALSE);
}

TEST(WorkerThreadTest, WorkerCanBeStartedAgainAfterJoining) {
    EchoWorker worker;
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(worker.StartWorker());
        EXPECT_EQ(worker.SendCommand(7), 107);
        EXPECT_EQ(worker.SendCommand(kFinish), S_OK);
        worker.JoinWorker();
    }
}

TEST(WorkerThreadTest, ApartmentIsTheMultithreadedOne) {
    HRESULT first = E_FAIL;
    HRESULT other = E_FAIL;
    std::thread probe([&] {
        first = InitWorkerApartment();
        other = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        if (SUCCEEDED(other)) {
            CoUninitialize();
        }
        if (SUCCEEDED(first)) {
            CoUninitialize();
        }
    });
    probe.join();
    EXPECT_EQ(first, S_OK);
    EXPECT_EQ(other, RPC_E_CHANGED_MODE);
}
