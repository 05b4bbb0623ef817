// Capture files (.kss): pieces split at FEND, time stamp frames and data frames.
#include "intake/kiss_file_reader.hpp"

#include <algorithm>
#include <string_view>

#include "common/number_format.hpp"

namespace quorbel {
namespace {

constexpr std::size_t kNumericStampLength = 9;
constexpr std::size_t kTextStampLead = 24;
constexpr std::size_t kTextStampLength = 27;

}  // namespace

long long CountCaptureFrames(std::span<const std::uint8_t> bytes) {
    // An unreadable or empty file counts -1 frames, as an empty split does.
    return bytes.empty() ? -1 : std::count(bytes.begin(), bytes.end(), kFend);
}

bool ReadStampTime(const Bytes& frame, std::string& time) {
    if (frame.size() == kNumericStampLength) {
        std::uint64_t milliseconds = 0;
        for (std::size_t i = 1; i < frame.size(); ++i)
            milliseconds = (milliseconds << 8) | frame[i];
        const std::uint64_t seconds = milliseconds / 1000 + (milliseconds % 1000 >= 500 ? 1 : 0);
        std::optional<std::string> text = FormatEpochSeconds(static_cast<double>(seconds));
        if (text)
            time = std::move(*text);
        return text.has_value();
    }
    const std::string_view body(reinterpret_cast<const char*>(frame.data()) + 1, frame.size() - 1);
    const auto utc = body.find("UTC");
    if (utc == std::string_view::npos || utc < kTextStampLead)
        return false;
    time.assign(body.substr(utc - kTextStampLead, kTextStampLength));
    return true;
}

std::optional<std::string> StampTime(const Bytes& frame) {
    std::string time;
    if (!ReadStampTime(frame, time))
        return std::nullopt;
    return time;
}

void ReadCapturePiece(std::span<const std::uint8_t> escaped, CapturePiece& piece) {
    piece.kind = CapturePiece::Kind::Skip;
    if (escaped.empty())
        return;
    UnescapeKiss(escaped, piece.unescaped);
    if (piece.unescaped[0] == kTimeStampCommand) {
        if (ReadStampTime(piece.unescaped, piece.stampTime))
            piece.kind = CapturePiece::Kind::Stamp;
        return;
    }
    if (piece.unescaped.size() >= 2)  // more than the command byte alone
        piece.kind = CapturePiece::Kind::Frame;
}

}  // namespace quorbel
