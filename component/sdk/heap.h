// The C run-time heap as the sdk containers use it, with a switch that lets
// tests make allocations fail so the out-of-memory paths can be exercised.
#pragma once

#include <cstddef>

namespace sdk_heap {

// Answers true when the allocation of `bytes` should fail. Null: never fail.
using failure_hook = bool (*)(std::size_t bytes);

// Installs `hook` for the whole process and answers the previous one.
failure_hook set_failure_hook(failure_hook hook);

// malloc/realloc/free, except that an installed hook may refuse a request
// (answering null and leaving the old block untouched).
void* allocate(std::size_t bytes);
void* reallocate(void* block, std::size_t bytes);
void release(void* block);

} // namespace sdk_heap
