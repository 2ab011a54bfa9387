// Reading a fuzzer's input as a stream of small numbers; past the end every
// read gives 0 and exhausted() turns true.
#pragma once

#include <cstddef>
#include <cstdint>

class FuzzInput {
  public:
    FuzzInput(const std::uint8_t *data, std::size_t size) : data_(data), size_(size) {}

    bool exhausted() const { return pos_ >= size_; }
    std::uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    std::uint64_t bytes(int n) {
        std::uint64_t v = 0;
        for (int i = 0; i < n; ++i) {
            v = (v << 8) | byte();
        }
        return v;
    }

  private:
    const std::uint8_t *data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};
