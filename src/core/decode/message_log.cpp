// Text and digipeated messages: the coloured line each shows in the message log.
#include <string>

#include "decode/decoders.hpp"

namespace quorbel {
namespace {

// The characters of frame positions first..last with every NUL byte dropped.
std::string TextAt(const FrameBuffer& buffer, int first, int last) {
    std::string text;
    text.reserve(static_cast<std::size_t>(last - first + 1));
    for (int p = first; p <= last; ++p) {
        const auto byte = buffer[static_cast<std::size_t>(p)];
        if (byte != 0)
            text.push_back(static_cast<char>(byte));
    }
    return text;
}

}  // namespace

MessageLine ShowTextMessage(const FrameBuffer& buffer, const std::string& rxTimeText) {
    return {rxTimeText + " | " + TextAt(buffer, 13, 76) + "\r\n", kBlack};
}

MessageLine ShowDigipeatedMessage(const FrameBuffer& buffer, const std::string& rxTimeText) {
    return {rxTimeText + " | to: " + TextAt(buffer, 15, 20) + " fm: " + TextAt(buffer, 21, 26) +
                " > " + TextAt(buffer, 27, 93) + "\r\n",
            kBlue};
}

}  // namespace quorbel
