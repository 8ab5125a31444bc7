// Collects what the sdk prints to the host's console while it lives, with
// each line's severity, instead of printing it.
#pragma once

#include "sdk/host_hooks.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct console_capture {
    static inline std::vector<std::pair<int, std::string>> lines;
    static void print(std::int32_t severity, const char* text) {
        lines.emplace_back(severity, text);
    }
    console_capture() {
        lines.clear();
        previous = sdk_host::set_console_printer(&print);
    }
    ~console_capture() { sdk_host::set_console_printer(previous); }
    console_capture(const console_capture&) = delete;
    console_capture& operator=(const console_capture&) = delete;

    sdk_host::console_printer previous;
};
