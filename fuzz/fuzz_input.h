// Cuts a fuzzer's byte string into the typed pieces a target needs. Every
// taker gives a value even when the bytes have run out, so that each input,
// however short, drives a whole call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool Empty() const { return at_ == size_; }

    std::uint8_t TakeByte() { return Empty() ? 0 : data_[at_++]; }

    bool TakeBool() { return (TakeByte() & 1) != 0; }

    std::int32_t TakeInt32() {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) value = (value << 8) | TakeByte();
        std::int32_t result;
        std::memcpy(&result, &value, sizeof result);
        return result;
    }

    // The bytes up to the next NUL (not included) or to the end.
    std::string TakeText() {
        std::string text;
        while (!Empty()) {
            char c = static_cast<char>(data_[at_++]);
            if (c == '\0') break;
            text.push_back(c);
        }
        return text;
    }

    std::string TakeRest() {
        std::string text(reinterpret_cast<const char*>(data_ + at_), size_ - at_);
        at_ = size_;
        return text;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};
