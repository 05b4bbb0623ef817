// Undoing KISS byte stuffing.
#include "intake/kiss.hpp"

#include <algorithm>

namespace quorbel {
namespace {

// One left-to-right pass that turns every non-overlapping FESC `code` pair into `replacement`.
Bytes ReplacePairs(std::span<const std::uint8_t> in, std::uint8_t code, std::uint8_t replacement) {
    Bytes out;
    out.reserve(in.size());
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (in[i] == kFesc && i + 1 < in.size() && in[i + 1] == code) {
            out.push_back(replacement);
            ++i;
        } else {
            out.push_back(in[i]);
        }
    }
    return out;
}

}  // namespace

Bytes UnescapeKiss(std::span<const std::uint8_t> escaped) {
    // Most frames hold no FESC at all, and neither pass changes them.
    if (std::find(escaped.begin(), escaped.end(), kFesc) == escaped.end())
        return Bytes(escaped.begin(), escaped.end());
    // Two passes in this order: 0xDB 0xDD 0xDC gives 0xDB 0xDC, not 0xC0.
    const Bytes firstPass = ReplacePairs(escaped, kTfend, kFend);
    return ReplacePairs(firstPass, kTfesc, kFesc);
}

}  // namespace quorbel
