// What quorbel-kiss-replay sends: the data frames of capture files as a KISS byte stream, and the
// writes that stream is cut into, one per frame or at random places.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <random>
#include <span>
#include <vector>

#include "intake/kiss.hpp"

namespace quorbel::replay {

// The longest write of random chunking.
inline constexpr std::size_t kMaxChunk = 256;

enum class Chunking { Frame, Random };

// The data frames of a capture, each the bytes between two FENDs exactly as in the file (the
// command byte first, escapes kept). Bytes before the first FEND and after the last, empty pieces
// and time stamp frames (command byte 0x09, which the live client adds as it records) are left
// out: a KISS server sends data frames only.
inline std::vector<Bytes> CaptureDataFrames(std::span<const std::uint8_t> capture) {
    std::vector<Bytes> frames;
    KissDeframer deframer;
    deframer.Feed(capture, [&](std::span<const std::uint8_t> piece) {
        // 0x09 is never escaped, so the first byte as written is the command byte.
        if (!piece.empty() && piece.front() != kTimeStampCommand)
            frames.emplace_back(piece.begin(), piece.end());
    });
    return frames;
}

// The byte stream a server sends for the frames: FEND, the frame, FEND, for each frame in turn.
inline Bytes FrameStream(const std::vector<Bytes>& frames) {
    Bytes stream;
    for (const Bytes& frame : frames) {
        stream.push_back(kFend);
        stream.insert(stream.end(), frame.begin(), frame.end());
        stream.push_back(kFend);
    }
    return stream;
}

// The lengths of writes that cut a stream of `total` bytes at random places: each 1 to maxChunk
// bytes (the last one possibly shorter), together exactly `total`. The same seed gives the same
// cuts, on every platform (the generator's output is fixed by the language).
inline std::vector<std::size_t> RandomChunkLengths(std::size_t total, std::size_t maxChunk,
                                                   std::uint32_t seed) {
    std::vector<std::size_t> lengths;
    std::mt19937 random(seed);
    for (std::size_t done = 0; done < total && maxChunk > 0;) {
        const std::size_t length = std::min<std::size_t>(1 + random() % maxChunk, total - done);
        lengths.push_back(length);
        done += length;
    }
    return lengths;
}

// One write of the stream: its bytes and the frame it waits for (the frame its last byte
// belongs to), which paced sending releases at that frame's time.
struct Write {
    std::size_t offset;
    std::size_t length;
    std::size_t frame;
};

// The writes that send the frames' stream in order. Frame chunking: one write per frame. Random
// chunking: writes of 1 to kMaxChunk bytes cut anywhere, so that a write may hold the end of one
// frame and the start of the next; when `paced`, a write is also cut where a frame ends, so that
// no byte of a frame that is due waits for a later one.
inline std::vector<Write> PlanWrites(const std::vector<Bytes>& frames, Chunking chunking,
                                     bool paced, std::uint32_t seed) {
    std::vector<std::size_t> frameEnds;  // stream offset just after each frame's closing FEND
    std::size_t total = 0;
    for (const Bytes& frame : frames)
        frameEnds.push_back(total += frame.size() + 2);

    std::vector<Write> writes;
    if (chunking == Chunking::Frame) {
        std::size_t offset = 0;
        for (std::size_t i = 0; i < frameEnds.size(); ++i) {
            writes.push_back({offset, frameEnds[i] - offset, i});
            offset = frameEnds[i];
        }
        return writes;
    }
    std::size_t offset = 0;
    std::size_t frame = 0;
    for (std::size_t length : RandomChunkLengths(total, kMaxChunk, seed)) {
        const std::size_t end = offset + length;
        while (offset < end) {
            while (frameEnds[frame] <= offset)
                ++frame;
            const std::size_t cut = paced ? std::min(end, frameEnds[frame]) : end;
            while (frameEnds[frame] < cut)
                ++frame;
            writes.push_back({offset, cut - offset, frame});
            offset = cut;
        }
    }
    return writes;
}

}  // namespace quorbel::replay
