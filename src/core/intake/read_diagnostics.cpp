// Counting a read's frames and showing the counts as text.
#include "intake/read_diagnostics.hpp"

#include <algorithm>

#include "intake/kiss_file_reader.hpp"

namespace quorbel {
namespace {

static_assert(kMaxCaptureFrameBytes == 65536, "the caption of the overlong frames names the limit");

std::size_t KindSlot(FrameKind kind) {
    const auto found = std::find(kDiagnosticKinds.begin(), kDiagnosticKinds.end(), kind);
    return static_cast<std::size_t>(found - kDiagnosticKinds.begin());
}

// One indented line: the caption, blanks up to one column for all counts, and the count.
void AppendCount(std::string& text, const std::string& caption, long long count,
                 std::string_view lineEnd) {
    constexpr std::size_t kCountColumn = 42;
    text += "  " + caption;
    text += std::string(kCountColumn - std::min(kCountColumn - 1, caption.size()), ' ');
    text += std::to_string(count);
    text += lineEnd;
}

}  // namespace

void ReadDiagnostics::CountFrame(FrameKind kind) {
    ++frames[KindSlot(kind)];
}

long long ReadDiagnostics::Frames(FrameKind kind) const {
    return frames[KindSlot(kind)];
}

const char* DiagnosticKindCaption(FrameKind kind) {
    // The frame kinds' own names, but for the two that a reader of the counts knows by others.
    switch (kind) {
        case FrameKind::SsdvPacket:
            return "SSDV";
        case FrameKind::None:
            return "unknown identifier";
        default:
            return FrameKindName(kind);
    }
}

std::string FormatReadDiagnostics(const ReadDiagnostics& diagnostics, std::string_view lineEnd) {
    std::string text = "file: " + diagnostics.file;
    text += lineEnd;
    for (FrameKind kind : kDiagnosticKinds) {
        AppendCount(text,
                    std::string(DiagnosticKindCaption(kind)) + " frames:", diagnostics.Frames(kind),
                    lineEnd);
    }
    AppendCount(text, "records dropped at the 5,000 cap:", diagnostics.droppedAtCap, lineEnd);
    AppendCount(text, "frames over 65,536 bytes, skipped:", diagnostics.overlongFrames, lineEnd);
    if (diagnostics.linesWithoutFrame) {
        AppendCount(text, "lines without a frame of the satellite:", *diagnostics.linesWithoutFrame,
                    lineEnd);
    }
    return text;
}

}  // namespace quorbel
