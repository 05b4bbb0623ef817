// Fuzzes the capture-file reader on one capture's bytes: the FEND count of the log line, the
// pieces between FENDs, their unescaping, the time stamps and the dispatch of every data frame,
// as the reader does it block by block.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "fuzz_support.hpp"
#include "intake/dispatch.hpp"
#include "intake/kiss_file_reader.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quorbel;
    static FrameState frame;
    static CapturePiece piece;
    const std::span<const std::uint8_t> capture(data, size);

    const long long fends = CountCaptureFrames(capture);
    QUORBEL_FUZZ_CHECK(size == 0 ? fends == -1 : fends == std::count(data, data + size, kFend));

    // The reader cuts the capture into blocks; where they fall must not matter.
    const std::size_t cut = size == 0 ? 0 : data[0] % (size + 1);
    KissDeframer deframer;
    std::string stamp = "2026-03-01 12:00:00";
    long long pieces = 0;
    auto onPiece = [&](std::span<const std::uint8_t> escaped) {
        ++pieces;
        ReadCapturePiece(escaped, piece);
        // An empty piece is skipped without touching the buffers, which still hold the last one.
        QUORBEL_FUZZ_CHECK(escaped.empty() || piece.unescaped.size() <= escaped.size());
        switch (piece.kind) {
            case CapturePiece::Kind::Stamp:
                QUORBEL_FUZZ_CHECK(StampTime(piece.unescaped) == piece.stampTime);
                stamp = piece.stampTime;
                break;
            case CapturePiece::Kind::Frame:
                QUORBEL_FUZZ_CHECK(!piece.unescaped.empty());
                frame.rxTimeText = stamp;
                DispatchFrame(frame, piece.DataFrame());
                break;
            case CapturePiece::Kind::Skip:
                break;
        }
    };
    deframer.Feed(capture.first(cut), onPiece);
    deframer.Feed(capture.subspan(cut), onPiece);
    QUORBEL_FUZZ_CHECK(pieces == std::max(fends - 1, 0LL));
    return 0;
}
