// Base for small objects the sdk creates on the C run-time heap: `new` goes
// through sdk_heap (so tests can make it fail) and answers null instead of
// throwing.
#pragma once

#include "sdk/heap.h"

#include <cstddef>
#include <new>

struct heap_object {
    static void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept {
        return sdk_heap::allocate(bytes);
    }
    static void operator delete(void* block) noexcept { sdk_heap::release(block); }
    static void operator delete(void* block, const std::nothrow_t&) noexcept {
        sdk_heap::release(block);
    }
};
