// A float array aligned for the vector units, as libavutil's transforms want it.
#pragma once

#include <cstddef>
#include <new>

extern "C" {
#include <libavutil/mem.h>
}

namespace wma2 {

class AlignedBuffer {
public:
    AlignedBuffer() = default;
    explicit AlignedBuffer(std::size_t count) { Resize(count); }
    ~AlignedBuffer() { av_free(data_); }
    AlignedBuffer(const AlignedBuffer&) = delete;
    AlignedBuffer& operator=(const AlignedBuffer&) = delete;
    AlignedBuffer(AlignedBuffer&& other) noexcept : data_(other.data_), size_(other.size_) {
        other.data_ = nullptr;
        other.size_ = 0;
    }
    AlignedBuffer& operator=(AlignedBuffer&& other) noexcept {
        if (this != &other) {
            av_free(data_);
            data_ = other.data_;
            size_ = other.size_;
            other.data_ = nullptr;
            other.size_ = 0;
        }
        return *this;
    }

    // Zero-filled; the old contents are dropped.
    void Resize(std::size_t count) {
        av_free(data_);
        data_ = static_cast<float*>(av_mallocz(count * sizeof(float)));
        if (data_ == nullptr && count > 0) {
            throw std::bad_alloc();
        }
        size_ = count;
    }

    float* data() { return data_; }
    const float* data() const { return data_; }
    std::size_t size() const { return size_; }
    float& operator[](std::size_t i) { return data_[i]; }
    float operator[](std::size_t i) const { return data_[i]; }

private:
    float* data_ = nullptr;
    std::size_t size_ = 0;
};

} // namespace wma2
