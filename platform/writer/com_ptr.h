// An owning interface reference for the writer's own code: one reference held,
// released on destruction.
#pragma once

#include "platform/com.h"

#include <utility>

namespace writer {

template <class T> class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    // Takes over a reference the caller already owns.
    static ComPtr Adopt(T* object) {
        ComPtr p;
        p.object_ = object;
        return p;
    }
    // Adds a reference of its own.
    static ComPtr Share(T* object) {
        if (object != nullptr) {
            object->AddRef();
        }
        return Adopt(object);
    }
    ComPtr(const ComPtr& other) : object_(other.object_) {
        if (object_ != nullptr) {
            object_->AddRef();
        }
    }
    ComPtr(ComPtr&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(object_, other.object_);
        return *this;
    }
    ~ComPtr() { Reset(); }

    void Reset() {
        if (auto* old = std::exchange(object_, nullptr)) {
            old->Release();
        }
    }
    T* Get() const { return object_; }
    T* operator->() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }
    // For out-parameters: releases what is held and answers the slot.
    T** Put() {
        Reset();
        return &object_;
    }
    // Hands the reference to the caller.
    T* Detach() { return std::exchange(object_, nullptr); }

private:
    T* object_ = nullptr;
};

} // namespace writer
