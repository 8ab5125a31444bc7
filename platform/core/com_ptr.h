// An owning interface reference: one reference held, released on destruction.
#pragma once

#include "platform/com.h"

#include <cstddef>
#include <utility>

namespace com {

template <class T> class Ptr {
public:
    Ptr() = default;
    Ptr(std::nullptr_t) {}
    // Takes over a reference the caller already owns.
    static Ptr Adopt(T* object) {
        Ptr p;
        p.object_ = object;
        return p;
    }
    // Adds a reference of its own.
    static Ptr Share(T* object) {
        if (object != nullptr)
            object->AddRef();
        return Adopt(object);
    }
    Ptr(const Ptr& other) : object_(other.object_) {
        if (object_ != nullptr)
            object_->AddRef();
    }
    Ptr(Ptr&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    Ptr& operator=(Ptr other) noexcept {
        std::swap(object_, other.object_);
        return *this;
    }
    ~Ptr() { Reset(); }

    void Reset() {
        if (auto* old = std::exchange(object_, nullptr))
            old->Release();
    }
    T* Get() const { return object_; }
    T* operator->() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }
    // For out-parameters: releases what is held and answers the slot.
    T** Put() {
        Reset();
        return &object_;
    }
    // The same, for QueryInterface-style out-parameters.
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }
    // Hands the reference to the caller.
    T* Detach() { return std::exchange(object_, nullptr); }
    // Hands the caller a reference of its own (null when none is held).
    T* Copy() const { return Ptr(*this).Detach(); }

private:
    T* object_ = nullptr;
};

} // namespace com
