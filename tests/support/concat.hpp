// Byte strings laid end to end, as frames, stamps and stray bytes follow one another in a capture.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace quorbel::testing {

inline std::vector<std::uint8_t> Concat(std::initializer_list<std::vector<std::uint8_t>> parts) {
    std::vector<std::uint8_t> all;
    for (const std::vector<std::uint8_t>& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

}  // namespace quorbel::testing
