// Reading of a baseline JPEG for transcoding: marker segments, tables and the entropy-coded scan.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "packet.hpp"
#include "tables.hpp"

namespace quorbel::ssdv {

struct SourceComponent {
    std::uint8_t id = 0;
    std::uint8_t sampling = 0x11;  // (H << 4) | V
    int quantTable = 0;
    int dcTable = 0;
    int acTable = 0;
};

struct SourceImage {
    int width = 0;
    int height = 0;
    McuMode mode = McuMode::H2V2;             // greyscale images are sent as H2V1
    std::vector<SourceComponent> components;  // 1 or 3, in scan order
    std::array<std::optional<QuantTable>, 4> quantTables;
    std::array<std::optional<HuffmanTable>, 4> dcTables;
    std::array<std::optional<HuffmanTable>, 4> acTables;
    int restartInterval = 0;
    std::size_t scanOffset = 0;  // first byte of the entropy-coded data
    std::vector<std::string> log;

    bool IsGreyscale() const { return components.size() == 1; }
    int McuCount() const { return CountMcus(width / 16, height / 16, mode); }
};

struct SourceParse {
    std::optional<SourceImage> image;
    std::string error;
};

// Reads headers up to the start of scan and checks that the image can be sent as SSDV
// (baseline, 8-bit, 1 or 3 components, sizes multiples of 16 up to 4080, supported sampling).
SourceParse ParseSourceJpeg(std::span<const std::uint8_t> jpeg);

// MSB-first reader of entropy-coded data: removes stuffed zero bytes and stops at markers.
class ScanReader {
  public:
    ScanReader(std::span<const std::uint8_t> data, std::size_t offset)
        : m_data(data), m_pos(offset) {}

    // Up to 32 bits left-aligned; CountAvailableBits() tells how many are real.
    std::uint32_t Peek();
    int CountAvailableBits();
    void Skip(int count);
    std::uint32_t Take(int count);

    // Drops the rest of the current byte and steps over the restart marker that must follow.
    bool ConsumeRestartMarker();

  private:
    void Fill();

    std::span<const std::uint8_t> m_data;
    std::size_t m_pos;
    std::uint64_t m_bits = 0;
    int m_count = 0;
    bool m_stopped = false;  // at a marker or the end of data
};

}  // namespace quorbel::ssdv
