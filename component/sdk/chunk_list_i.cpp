#include "sdk/chunk_list.h"

#include "sdk/host_hooks.h"

#include <new>

std::uint32_t chunk_list::remove_bad_chunks() {
    std::uint32_t removed = 0;
    for (std::uint32_t i = 0; i < chunk_count();) {
        sample_chunk* chunk = chunk_at(i);
        if (chunk->is_valid()) {
            ++i;
            continue;
        }
        chunk->reset();
        remove_chunk_at(i);
        ++removed;
    }
    if (removed > 0) {
        sdk_host::console_print(sdk_host::severity_error,
                                "one or more bad chunks removed from dsp chunk list");
    }
    return removed;
}

chunk_list_i::~chunk_list_i() {
    live_.delete_all();
    pool_.delete_all();
}

std::uint32_t chunk_list_i::chunk_count() const {
    return static_cast<std::uint32_t>(live_.item_count());
}

sample_chunk* chunk_list_i::chunk_at(std::uint32_t index) const {
    return index < chunk_count() ? live_[static_cast<std::int32_t>(index)] : nullptr;
}

std::uint32_t chunk_list_i::pooled_count() const {
    return static_cast<std::uint32_t>(pool_.item_count());
}

const sample_chunk_i* chunk_list_i::pooled_at(std::uint32_t index) const {
    return index < pooled_count() ? pool_[static_cast<std::int32_t>(index)] : nullptr;
}

void chunk_list_i::retire(sample_chunk_i* chunk) {
    if (pool_.add(chunk) < 0) {
        delete chunk;
    }
}

void chunk_list_i::remove_chunk_at(std::uint32_t index) {
    if (index < chunk_count()) {
        retire(live_.take_at(static_cast<std::int32_t>(index)));
    }
}

void chunk_list_i::remove_chunks_where(const bit_array& mask) {
    const std::uint32_t count = chunk_count();
    for (std::uint32_t i = 0; i < count; ++i) {
        if (mask.bit_at(i)) {
            retire(live_[static_cast<std::int32_t>(i)]);
        }
    }
    live_.keep_where(bit_array_not(mask));
}

std::uint32_t chunk_list_i::pick_pooled(std::uint32_t capacity_hint) const {
    const std::uint32_t count = pooled_count();
    if (capacity_hint == 0) {
        return count - 1;
    }
    std::uint32_t best = 0;
    std::uint64_t best_distance = UINT64_MAX;
    for (std::uint32_t i = 0; i < count && best_distance != 0; ++i) {
        const std::uint32_t capacity = pool_[static_cast<std::int32_t>(i)]->data_capacity();
        const std::uint64_t distance =
            capacity > capacity_hint ? capacity - capacity_hint : capacity_hint - capacity;
        if (distance < best_distance) {
            best = i;
            best_distance = distance;
        }
    }
    return best;
}

sample_chunk* chunk_list_i::insert_chunk(std::uint32_t index, std::uint32_t capacity_hint) {
    const std::uint32_t count = chunk_count();
    if (index > count) {
        index = count;
    }
    sample_chunk_i* chunk = nullptr;
    std::int32_t pooled = -1;
    if (pooled_count() == 0) {
        chunk = new (std::nothrow) sample_chunk_i;
        if (chunk == nullptr) {
            return nullptr;
        }
    } else {
        pooled = static_cast<std::int32_t>(pick_pooled(capacity_hint));
        chunk = pool_[pooled];
    }
    // Placed first, taken from the pool after: a failure changes nothing.
    if (live_.insert(chunk, static_cast<std::int32_t>(index)) < 0) {
        if (pooled < 0) {
            delete chunk;
        }
        return nullptr;
    }
    if (pooled >= 0) {
        pool_.take_at(pooled);
    }
    chunk->reset();
    return chunk;
}
