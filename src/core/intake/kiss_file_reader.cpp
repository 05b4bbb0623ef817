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

std::optional<std::string> StampTime(const Bytes& frame) {
    if (frame.size() == kNumericStampLength) {
        std::uint64_t milliseconds = 0;
        for (std::size_t i = 1; i < frame.size(); ++i)
            milliseconds = (milliseconds << 8) | frame[i];
        const std::uint64_t seconds = milliseconds / 1000 + (milliseconds % 1000 >= 500 ? 1 : 0);
        return FormatEpochSeconds(static_cast<double>(seconds));
    }
    const std::string_view body(reinterpret_cast<const char*>(frame.data()) + 1, frame.size() - 1);
    const auto utc = body.find("UTC");
    if (utc == std::string_view::npos || utc < kTextStampLead)
        return std::nullopt;
    return std::string(body.substr(utc - kTextStampLead, kTextStampLength));
}

CapturePiece ReadCapturePiece(std::span<const std::uint8_t> escaped) {
    CapturePiece piece;
    if (escaped.empty())
        return piece;
    Bytes frame = UnescapeKiss(escaped);
    if (frame[0] == kTimeStampCommand) {
        if (auto time = StampTime(frame)) {
            piece.kind = CapturePiece::Kind::Stamp;
            piece.stampTime = std::move(*time);
        }
        return piece;
    }
    if (frame.size() < 2)
        return piece;  // the command byte alone
    piece.kind = CapturePiece::Kind::Frame;
    piece.unescaped = std::move(frame);
    return piece;
}

}  // namespace quorbel
