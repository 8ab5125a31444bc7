// Waits with a bound. A wait that a bug could make endless instead ends the
// test: a condition that never comes true fails it, a call that never returns
// is a deadlock that ends the test program with a message.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <type_traits>

namespace test_support {

// Polls a condition another thread makes true; false on timeout.
template <typename Predicate> bool WaitUntil(Predicate predicate, int seconds = 30) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!predicate()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
}

// Runs a call on a thread of its own. Wait() answers its result; the
// destructor waits too, so a call is never left running.
template <typename Result> class Watched {
public:
    template <typename Call> explicit Watched(Call call) {
        thread_ = std::thread([this, call] {
            result_ = call();
            done_ = true;
        });
    }
    ~Watched() {
        if (thread_.joinable())
            Wait();
    }
    Watched(const Watched&) = delete;
    Watched& operator=(const Watched&) = delete;

    bool Done() const { return done_; }
    Result Wait(int seconds = 30) {
        if (!WaitUntil([this] { return done_.load(); }, seconds)) {
            std::fprintf(stderr, "deadlock: the watched call never returned\n");
            std::abort();
        }
        thread_.join();
        return result_;
    }

private:
    std::thread thread_;
    std::atomic<bool> done_{false};
    Result result_{};
};

template <typename Call> Watched(Call) -> Watched<std::invoke_result_t<Call>>;

// Runs steps that return nothing, waiting for them at most `seconds`.
template <typename Steps> void RunBounded(Steps steps, int seconds = 120) {
    Watched([&steps] {
        steps();
        return true;
    }).Wait(seconds);
}

} // namespace test_support
