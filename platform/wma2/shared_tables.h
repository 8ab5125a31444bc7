// Read-only tables that depend only on a few stream parameters, built once per process.
//
// Every track of a batch makes its own encoder (and the writer makes trial ones to check a
// profile), so tables rebuilt per encoder would cost a short track more than coding it.
// Tables are kept for the life of the process: a run meets only a handful of keys.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <utility>

namespace wma2 {

// The table for `key`, built by `build(key)` the first time it is asked for. Each call
// site (each `Build` type) has its own store; safe to call from any thread.
template <class Table, class Key, class Build>
std::shared_ptr<const Table> SharedTable(const Key& key, Build build) {
    static std::mutex lock;
    static std::map<Key, std::shared_ptr<const Table>> tables;
    const std::lock_guard guard(lock);
    auto found = tables.find(key);
    if (found == tables.end()) {
        found = tables.emplace(key, std::make_shared<const Table>(build(key))).first;
    }
    return found->second;
}

} // namespace wma2
