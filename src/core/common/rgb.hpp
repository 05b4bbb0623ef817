// A colour as red, green and blue components from 0 to 255.
#pragma once

#include <cstdint>

namespace quorbel {

struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

inline constexpr Rgb kWhite{255, 255, 255};
inline constexpr Rgb kBlack{0, 0, 0};
inline constexpr Rgb kBlue{0, 0, 255};
inline constexpr Rgb kLightYellow{255, 255, 192};
inline constexpr Rgb kLightGrey{192, 192, 192};

}  // namespace quorbel
