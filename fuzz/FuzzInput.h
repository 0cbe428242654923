// Fuzz input read front to back in fields; past its end every byte reads as zero.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kdu::fuzz {

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool empty() const { return at_ >= size_; }
    std::uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
    // `bytes` bytes, big-endian.
    std::uint64_t number(int bytes) {
        std::uint64_t value = 0;
        while (bytes-- > 0) value = value << 8 | byte();
        return value;
    }
    // Up to `count` bytes: fewer when the input ends.
    std::vector<std::uint8_t> bytes(std::size_t count) {
        const std::size_t n = std::min(count, size_ - at_);
        std::vector<std::uint8_t> out(data_ + at_, data_ + at_ + n);
        at_ += n;
        return out;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

}  // namespace kdu::fuzz
