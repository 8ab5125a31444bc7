// An enumerator over a fixed list of interface pointers taken when it was made
// (pins of a filter, filters of a graph). It holds one reference on each item.
#pragma once

#include "platform/dshow.h"

#include <atomic>
#include <mutex>
#include <new>
#include <vector>

namespace media {

template <class EnumInterface, class Item, const IID& kEnumIid>
class SnapshotEnumerator final : public EnumInterface {
public:
    // Adds a reference to every item; the enumerator starts with one reference.
    explicit SnapshotEnumerator(std::vector<Item*> items, std::size_t position = 0)
        : items_(std::move(items)), position_(position) {
        for (Item* item : items_)
            item->AddRef();
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == kEnumIid) {
            AddRef();
            *object = static_cast<EnumInterface*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0)
            delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE Next(ULONG count, Item** out, ULONG* fetched) override {
        if (out == nullptr || (count > 1 && fetched == nullptr))
            return E_POINTER;
        std::lock_guard guard(lock_);
        ULONG taken = 0;
        while (taken < count && position_ < items_.size()) {
            out[taken] = items_[position_++];
            out[taken]->AddRef();
            ++taken;
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
    ~SnapshotEnumerator() {
        for (Item* item : items_)
            item->Release();
    }

    std::vector<Item*> items_;
    std::size_t position_;
    std::mutex lock_;
    std::atomic<ULONG> references_{1};
};

using PinEnumerator = SnapshotEnumerator<IEnumPins, IPin, IID_IEnumPins>;
using FilterEnumerator = SnapshotEnumerator<IEnumFilters, IBaseFilter, IID_IEnumFilters>;

} // namespace media
