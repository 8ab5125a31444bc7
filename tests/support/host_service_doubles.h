// Stand-ins for the host's services that tests of the component share. Each
// counts the references the code under test holds, so a test can check that
// every one was given back. Header-only: it needs the player's interfaces,
// which the test programs that use it have.
#pragma once

#include "vantrel/host_api.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace test_support {

template <class Interface> class CountedDouble : public Interface {
public:
    std::int32_t add_ref() override { return ++references; }
    std::int32_t release() override { return --references; }
    service_base* query_service(const GUID&) override { return nullptr; }

    std::int32_t references = 0;
};

struct ConsoleLine {
    std::int32_t severity;
    std::string text;
    std::string source;
};

// Keeps the lines printed, from any thread.
class ConsoleDouble : public CountedDouble<console> {
public:
    void print(std::int32_t severity, const char* text, const char* source) override {
        std::lock_guard guard(lock_);
        lines_.push_back({severity, text != nullptr ? text : "", source != nullptr ? source : ""});
    }
    std::vector<ConsoleLine> Lines() const {
        std::lock_guard guard(lock_);
        return lines_;
    }
    // The texts of the lines with `severity`.
    std::vector<std::string> Texts(std::int32_t severity) const {
        std::vector<std::string> texts;
        for (const ConsoleLine& line : Lines())
            if (line.severity == severity)
                texts.push_back(line.text);
        return texts;
    }
    void Clear() {
        std::lock_guard guard(lock_);
        lines_.clear();
    }

private:
    mutable std::mutex lock_;
    std::vector<ConsoleLine> lines_;
};

} // namespace test_support
