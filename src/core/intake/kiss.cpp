// Undoing KISS byte stuffing.
#include "intake/kiss.hpp"

#include <algorithm>

namespace quorbel {
namespace {

// One left-to-right pass over the bytes, in place, that turns every non-overlapping FESC `code`
// pair into `replacement`.
void ReplacePairs(Bytes& bytes, std::uint8_t code, std::uint8_t replacement) {
    std::size_t out = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == kFesc && i + 1 < bytes.size() && bytes[i + 1] == code) {
            bytes[out++] = replacement;
            ++i;
        } else {
            bytes[out++] = bytes[i];
        }
    }
    bytes.resize(out);
}

}  // namespace

void UnescapeKiss(std::span<const std::uint8_t> escaped, Bytes& unescaped) {
    unescaped.assign(escaped.begin(), escaped.end());
    // Most frames hold no FESC at all, and neither pass changes them.
    if (std::find(unescaped.begin(), unescaped.end(), kFesc) == unescaped.end())
        return;
    // Two passes in this order: 0xDB 0xDD 0xDC gives 0xDB 0xDC, not 0xC0.
    ReplacePairs(unescaped, kTfend, kFend);
    ReplacePairs(unescaped, kTfesc, kFesc);
}

Bytes UnescapeKiss(std::span<const std::uint8_t> escaped) {
    Bytes unescaped;
    UnescapeKiss(escaped, unescaped);
    return unescaped;
}

}  // namespace quorbel
