#include "sdk/heap.h"

#include <atomic>
#include <cstdlib>

namespace sdk_heap {
namespace {

std::atomic<failure_hook> g_hook{nullptr};

bool refused(std::size_t bytes) {
    failure_hook hook = g_hook.load(std::memory_order_acquire);
    return hook != nullptr && hook(bytes);
}

} // namespace

failure_hook set_failure_hook(failure_hook hook) {
    return g_hook.exchange(hook, std::memory_order_acq_rel);
}

void* allocate(std::size_t bytes) {
    if (refused(bytes)) {
        return nullptr;
    }
    return std::malloc(bytes);
}

void* reallocate(void* block, std::size_t bytes) {
    if (refused(bytes)) {
        return nullptr;
    }
    return std::realloc(block, bytes);
}

void release(void* block) {
    std::free(block);
}

} // namespace sdk_heap
