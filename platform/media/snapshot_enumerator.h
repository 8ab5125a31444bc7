// An enumerator over a fixed list of interface pointers taken when it was made
// (pins of a filter, filters of a graph). It holds one reference on each item.
#pragma once

#include "core/com_object.h"
#include "core/com_ptr.h"
#include "platform/dshow.h"

#include <mutex>
#include <new>
#include <vector>

namespace media {

template <class EnumInterface, class Item, const IID& kEnumIid>
class SnapshotEnumerator final : public com::Object<com::Interface<EnumInterface, kEnumIid>> {
public:
    // Adds a reference to every item; the enumerator starts with one reference.
    explicit SnapshotEnumerator(const std::vector<Item*>& items) {
        items_.reserve(items.size());
        for (Item* item : items)
            items_.push_back(com::Ptr<Item>::Share(item));
    }

    HRESULT STDMETHODCALLTYPE Next(ULONG count, Item** out, ULONG* fetched) override {
        if (out == nullptr || (count > 1 && fetched == nullptr))
            return E_POINTER;
        std::lock_guard guard(lock_);
        ULONG taken = 0;
        while (taken < count && position_ < items_.size()) {
            out[taken++] = items_[position_++].Copy();
        }
        if (fetched != nullptr)
            *fetched = taken;
        return taken == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
        std::lock_guard guard(lock_);
        const std::size_t left = items_.size() - position_;
        if (count > left) {
            position_ = items_.size();
            return S_FALSE;
        }
        position_ += count;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        std::lock_guard guard(lock_);
        position_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(EnumInterface** copy) override {
        if (copy == nullptr)
            return E_POINTER;
        std::lock_guard guard(lock_);
        *copy = new (std::nothrow) SnapshotEnumerator(items_, position_);
        return *copy == nullptr ? E_OUTOFMEMORY : S_OK;
    }

private:
    SnapshotEnumerator(const std::vector<com::Ptr<Item>>& items, std::size_t position)
        : items_(items), position_(position) {}
    ~SnapshotEnumerator() override = default;

    std::vector<com::Ptr<Item>> items_;
    std::size_t position_ = 0;
    std::mutex lock_;
};

using PinEnumerator = SnapshotEnumerator<IEnumPins, IPin, IID_IEnumPins>;
using FilterEnumerator = SnapshotEnumerator<IEnumFilters, IBaseFilter, IID_IEnumFilters>;

} // namespace media
