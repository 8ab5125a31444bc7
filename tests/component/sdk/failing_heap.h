// Makes the sdk's heap refuse requests while an object of this type lives:
// after `allowed` more successful allocations, every further one fails.
#pragma once

#include "sdk/heap.h"

#include <cstddef>

class failing_heap {
public:
    explicit failing_heap(long allowed = 0) : previous_(sdk_heap::set_failure_hook(&refuse)) {
        remaining_ = allowed;
        refused_ = 0;
    }
    failing_heap(const failing_heap&) = delete;
    failing_heap& operator=(const failing_heap&) = delete;
    ~failing_heap() { sdk_heap::set_failure_hook(previous_); }

    static long refused() { return refused_; }

private:
    static bool refuse(std::size_t) {
        if (remaining_ > 0) {
            --remaining_;
            return false;
        }
        ++refused_;
        return true;
    }

    static inline long remaining_ = 0;
    static inline long refused_ = 0;
    sdk_heap::failure_hook previous_;
};
