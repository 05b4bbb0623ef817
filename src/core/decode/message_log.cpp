// Text and digipeated messages: one coloured line each in the message log.
#include <string>

#include "decode/decoders.hpp"
#include "shell/app_state.hpp"

namespace quorbel {
namespace {

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kBlue{0, 0, 255};

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

void AppendColoredText(RichText& box, const std::string& text, Rgb colour) {
    box.InsertAtInsertionPoint(text, colour);
}

void ShowTextMessage(AppState& app) {
    const std::string line =
        app.frame.rxTimeText + " | " + TextAt(app.frame.buffer, 13, 76) + "\r\n";
    AppendColoredText(app.ui.RichTextBox1, line, kBlack);
}

void ShowDigipeatedMessage(AppState& app) {
    const FrameBuffer& b = app.frame.buffer;
    const std::string line = app.frame.rxTimeText + " | to: " + TextAt(b, 15, 20) +
                             " fm: " + TextAt(b, 21, 26) + " > " + TextAt(b, 27, 93) + "\r\n";
    AppendColoredText(app.ui.RichTextBox1, line, kBlue);
}

}  // namespace quorbel
