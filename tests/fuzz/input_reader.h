#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "tests/fuzz/fuzz_target.h"

namespace raid::fuzz {

// Takes an input apart into the values a harness needs; past its end it gives
// zeros and empty texts, so every input is usable.
class InputReader {
  public:
    explicit InputReader(Input input) : rest_(input) {}

    std::uint8_t Byte() {
        if (rest_.empty()) {
            return 0;
        }
        const std::uint8_t b = rest_.front();
        rest_ = rest_.subspan(1);
        return b;
    }
    std::uint32_t Word() {
        std::uint32_t w = 0;
        for (int i = 0; i < 4; ++i) {
            w = (w << 8) | Byte();
        }
        return w;
    }
    // Up to `count` bytes.
    Input Bytes(std::size_t count) {
        const Input taken = rest_.first(std::min(count, rest_.size()));
        rest_ = rest_.subspan(taken.size());
        return taken;
    }
    // The text up to the next `separator` (dropped) or the end.
    std::string Text(char separator) {
        const std::string_view all = AsText(rest_);
        const std::size_t end = std::min(all.find(separator), all.size());
        std::string text(all.substr(0, end));
        rest_ = rest_.subspan(std::min(end + 1, rest_.size()));
        return text;
    }
    Input Rest() {
        const Input rest = rest_;
        rest_ = {};
        return rest;
    }
    bool Empty() const { return rest_.empty(); }

  private:
    Input rest_;
};

}  // namespace raid::fuzz
