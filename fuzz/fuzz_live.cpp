// Fuzzes the live client's stream: any bytes cut into arrivals of lengths the input chooses,
// through the deframer with its length limit, the frames it gives, the dispatch of the recorded
// ones and their records in the capture file, which the capture reader must read back.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "fuzz_support.hpp"
#include "intake/dispatch.hpp"
#include "intake/kiss_file_reader.hpp"
#include "intake/live_stream.hpp"

namespace {

using namespace quorbel;
using Piece = std::vector<std::uint8_t>;

constexpr const char* kStamp = "2026-03-01 12:00:00.250";

// The capture record of a recorded frame, read back as a capture: a stamp with the record's
// time, an empty piece, then the frame's piece exactly as it came.
void CheckCaptureRecord(std::span<const std::uint8_t> escaped) {
    const std::string record = BuildCaptureRecord(kStamp, escaped);
    std::vector<Piece> pieces;
    KissDeframer reader;
    reader.Feed(std::span(reinterpret_cast<const std::uint8_t*>(record.data()), record.size()),
                [&](std::span<const std::uint8_t> p) { pieces.emplace_back(p.begin(), p.end()); });
    QUORBEL_FUZZ_CHECK(pieces.size() == 3);
    CapturePiece stamp;
    ReadCapturePiece(pieces[0], stamp);
    QUORBEL_FUZZ_CHECK(stamp.kind == CapturePiece::Kind::Stamp);
    QUORBEL_FUZZ_CHECK(stamp.stampTime.starts_with("2026-03-01 12:00:00"));
    QUORBEL_FUZZ_CHECK(pieces[1].empty());
    QUORBEL_FUZZ_CHECK(
        std::equal(pieces[2].begin(), pieces[2].end(), escaped.begin(), escaped.end()));
}

}  // namespace

// The input: the length limit of a frame (byte 0: the live client's own, or a small one), the
// seed of the arrival lengths (byte 1), then the stream.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static FrameState frame;
    if (size < 2)
        return 0;
    const std::size_t limit = data[0] < 0x80 ? kMaxLiveFrameBytes : 1 + (data[0] & 0x7F) * 2;
    std::uint32_t lengths = data[1] * 2654435761u + 1;
    const std::span<const std::uint8_t> stream(data + 2, size - 2);

    KissDeframer deframer(limit);
    std::vector<Piece> pieces;
    for (std::size_t at = 0; at < stream.size();) {
        lengths = lengths * 1103515245u + 12345u;
        const std::size_t arrival =
            std::min<std::size_t>(1 + (lengths >> 16) % 97, stream.size() - at);
        deframer.Feed(stream.subspan(at, arrival), [&](std::span<const std::uint8_t> escaped) {
            QUORBEL_FUZZ_CHECK(escaped.size() <= limit);
            pieces.emplace_back(escaped.begin(), escaped.end());
            const LiveFrame live = ReadLiveFrame(escaped);
            if (!live.IsRecorded())
                return;
            frame.rxTimeText = kStamp;
            DispatchFrame(frame, live.Frame());
            CheckCaptureRecord(escaped);
        });
        at += arrival;
    }

    // The same stream in one arrival gives the same frames and the same discarded count.
    KissDeframer whole(limit);
    std::size_t i = 0;
    whole.Feed(stream, [&](std::span<const std::uint8_t> escaped) {
        QUORBEL_FUZZ_CHECK(i < pieces.size());
        QUORBEL_FUZZ_CHECK(
            std::equal(escaped.begin(), escaped.end(), pieces[i].begin(), pieces[i].end()));
        ++i;
    });
    QUORBEL_FUZZ_CHECK(i == pieces.size());
    QUORBEL_FUZZ_CHECK(whole.Discarded() == deframer.Discarded());
    return 0;
}
