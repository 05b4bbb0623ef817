// Marker-segment parsing of the source JPEG and the bit reader for its scan.
#include "jpeg_source.hpp"

namespace quorbel::ssdv {
namespace {

constexpr int kMaxDimension = 4080;
constexpr int kMaxMcus = 65535;

std::uint16_t ReadU16BE(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint16_t>((bytes[at] << 8) | bytes[at + 1]);
}

std::string FormatHex2(int value) {
    static const char kDigits[] = "0123456789ABCDEF";
    return {kDigits[(value >> 4) & 15], kDigits[value & 15]};
}

std::optional<McuMode> FindMcuMode(std::uint8_t sampling) {
    switch (sampling) {
        case 0x22:
            return McuMode::H2V2;
        case 0x12:
            return McuMode::H1V2;
        case 0x21:
            return McuMode::H2V1;
        case 0x11:
            return McuMode::H1V1;
        default:
            return std::nullopt;
    }
}

// Reads the frame header's component list (id, sampling, quantisation table) into the image.
void ReadFrameComponents(std::span<const std::uint8_t> seg, std::size_t count, SourceImage& image) {
    image.components.clear();
    for (std::size_t i = 0; i < count; ++i) {
        SourceComponent component;
        component.id = seg[6 + 3 * i];
        component.sampling = seg[7 + 3 * i];
        component.quantTable = seg[8 + 3 * i] & 3;
        image.components.push_back(component);
        image.log.push_back("DQT table for component " + std::to_string(component.id) + ": " +
                            FormatHex2(component.quantTable) +
                            ", Sampling factor: " + std::to_string(component.sampling >> 4) + "x" +
                            std::to_string(component.sampling & 15));
    }
}

// Chooses the MCU mode from the sampling factors (greyscale is sent as H2V1) and checks the MCU
// count.
std::string ChooseMcuMode(SourceImage& image) {
    if (image.components.size() == 1) {
        image.mode = McuMode::H2V1;
    } else {
        const auto mode = FindMcuMode(image.components[0].sampling);
        if (!mode || image.components[1].sampling != 0x11 || image.components[2].sampling != 0x11) {
            return "Unsupported sampling factors (luma 2x2, 1x2, 2x1 or 1x1; chroma 1x1)";
        }
        image.mode = *mode;
    }
    if (image.McuCount() > kMaxMcus) {
        return "Image has too many MCU blocks";
    }
    image.log.push_back("MCU blocks: " + std::to_string(image.McuCount()));
    return {};
}

std::string ParseFrame(std::span<const std::uint8_t> seg, SourceImage& image) {
    if (seg.size() < 6 || seg[0] != 8) {
        return "Only 8-bit precision JPEG images are supported";
    }
    image.height = ReadU16BE(seg, 1);
    image.width = ReadU16BE(seg, 3);
    const std::size_t count = seg[5];
    if ((count != 1 && count != 3) || seg.size() < 6 + 3 * count) {
        return "Only JPEG images with 1 or 3 components are supported";
    }
    image.log.push_back("Precision: 8");
    image.log.push_back("Resolution: " + std::to_string(image.width) + "x" +
                        std::to_string(image.height));
    image.log.push_back("Components: " + std::to_string(count));
    if (image.width == 0 || image.height == 0 || image.width % 16 != 0 || image.height % 16 != 0 ||
        image.width > kMaxDimension || image.height > kMaxDimension) {
        return "Image width and height must be multiples of 16 between 16 and 4080";
    }
    ReadFrameComponents(seg, count, image);
    return ChooseMcuMode(image);
}

std::string ParseHuffman(std::span<const std::uint8_t> seg, SourceImage& image) {
    std::size_t at = 0;
    while (at < seg.size()) {
        if (seg.size() - at < 17) {
            return "Invalid DHT segment";
        }
        const int tableClass = seg[at] >> 4;
        const int id = seg[at] & 15;
        HuffmanDefinition definition;
        std::size_t total = 0;
        for (std::size_t i = 0; i < 16; ++i) {
            definition.counts[i] = seg[at + 1 + i];
            total += definition.counts[i];
        }
        at += 17;
        if (tableClass > 1 || id > 3 || total > 256 || seg.size() - at < total) {
            return "Invalid DHT segment";
        }
        definition.values.assign(seg.begin() + static_cast<long>(at),
                                 seg.begin() + static_cast<long>(at + total));
        at += total;
        auto table = HuffmanTable::Build(definition);
        if (!table) {
            return "Invalid Huffman table";
        }
        (tableClass == 0 ? image.dcTables : image.acTables)[static_cast<std::size_t>(id)] = *table;
    }
    return {};
}

std::string ParseQuant(std::span<const std::uint8_t> seg, SourceImage& image) {
    std::size_t at = 0;
    while (at < seg.size()) {
        const int precision = seg[at] >> 4;
        const int id = seg[at] & 15;
        const std::size_t entrySize = precision == 0 ? 1 : 2;
        ++at;
        if (precision > 1 || id > 3 || seg.size() - at < 64 * entrySize) {
            return "Invalid DQT segment";
        }
        QuantTable table{};
        for (std::size_t i = 0; i < 64; ++i) {
            table[i] = entrySize == 1 ? seg[at + i] : ReadU16BE(seg, at + 2 * i);
            if (table[i] == 0) {
                return "Invalid DQT segment";
            }
        }
        at += 64 * entrySize;
        image.quantTables[static_cast<std::size_t>(id)] = table;
    }
    return {};
}

std::string ParseScanHeader(std::span<const std::uint8_t> seg, SourceImage& image) {
    if (image.components.empty()) {
        return "Start of scan before the frame header";
    }
    const std::size_t count = seg.empty() ? 0 : seg[0];
    if (count != image.components.size() || seg.size() < 4 + 2 * count) {
        return "The scan must hold every component of the image";
    }
    image.log.push_back("Components: " + std::to_string(count));
    for (std::size_t i = 0; i < count; ++i) {
        SourceComponent& component = image.components[i];
        if (seg[1 + 2 * i] != component.id) {
            return "Scan components must follow the frame order";
        }
        component.dcTable = (seg[2 + 2 * i] >> 4) & 3;
        component.acTable = seg[2 + 2 * i] & 3;
        image.log.push_back("Component " + std::to_string(component.id) +
                            " DHT: " + FormatHex2(seg[2 + 2 * i]));
        if (!image.quantTables[static_cast<std::size_t>(component.quantTable)] ||
            !image.dcTables[static_cast<std::size_t>(component.dcTable)] ||
            !image.acTables[static_cast<std::size_t>(component.acTable)]) {
            return "A table needed by the scan is missing";
        }
    }
    const std::size_t tail = 1 + 2 * count;
    if (seg[tail] != 0 || seg[tail + 1] != 63 || seg[tail + 2] != 0) {
        return "Only sequential scans are supported";
    }
    return {};
}

// Handles one marker segment; sets `done` at the start of scan.
std::string ParseSegment(std::uint8_t marker, std::span<const std::uint8_t> seg, SourceImage& image,
                         bool& done) {
    switch (marker) {
        case 0xC0:
            return ParseFrame(seg, image);
        case 0xC2:
            return "Progressive JPEG images are not supported";
        case 0xC1:
        case 0xC3:
        case 0xC5:
        case 0xC6:
        case 0xC7:
        case 0xC9:
        case 0xCA:
        case 0xCB:
        case 0xCD:
        case 0xCE:
        case 0xCF:
            return "Only baseline JPEG images are supported";
        case 0xC4:
            return ParseHuffman(seg, image);
        case 0xDB:
            return ParseQuant(seg, image);
        case 0xDD:
            if (seg.size() != 2) {
                return "Invalid DRI segment";
            }
            image.restartInterval = ReadU16BE(seg, 0);
            image.log.push_back("Reset interval: " + std::to_string(image.restartInterval));
            return {};
        case 0xDA:
            done = true;
            return ParseScanHeader(seg, image);
        default:
            return {};
    }
}

}  // namespace

SourceParse ParseSourceJpeg(std::span<const std::uint8_t> jpeg) {
    SourceParse result;
    SourceImage image;
    std::size_t pos = 0;
    while (true) {
        while (pos < jpeg.size() && jpeg[pos] != 0xFF) {
            ++pos;
        }
        while (pos < jpeg.size() && jpeg[pos] == 0xFF) {
            ++pos;
        }
        if (pos >= jpeg.size()) {
            result.error = "Premature end of file";
            return result;
        }
        const std::uint8_t marker = jpeg[pos++];
        if (marker == 0x00 || marker == 0x01 || marker == 0xD8 ||
            (marker >= 0xD0 && marker <= 0xD7)) {
            continue;
        }
        if (marker == 0xD9) {
            result.error = "No image data before the end of image";
            return result;
        }
        if (jpeg.size() - pos < 2 || ReadU16BE(jpeg, pos) < 2 ||
            jpeg.size() - pos < ReadU16BE(jpeg, pos)) {
            result.error = "Invalid marker length";
            return result;
        }
        const std::size_t length = ReadU16BE(jpeg, pos);
        bool done = false;
        result.error = ParseSegment(marker, jpeg.subspan(pos + 2, length - 2), image, done);
        pos += length;
        if (!result.error.empty()) {
            return result;
        }
        if (done) {
            image.scanOffset = pos;
            result.image = std::move(image);
            return result;
        }
    }
}

void ScanReader::Fill() {
    while (m_count <= 56 && !m_stopped) {
        if (m_pos >= m_data.size()) {
            m_stopped = true;
            break;
        }
        std::uint8_t byte = m_data[m_pos];
        if (byte == 0xFF) {
            if (m_pos + 1 >= m_data.size() || m_data[m_pos + 1] != 0x00) {
                m_stopped = true;
                break;
            }
            ++m_pos;
        }
        ++m_pos;
        m_bits = (m_bits << 8) | byte;
        m_count += 8;
    }
}

int ScanReader::CountAvailableBits() {
    Fill();
    return m_count;
}

std::uint32_t ScanReader::Peek() {
    Fill();
    if (m_count >= 32) {
        return static_cast<std::uint32_t>(m_bits >> (m_count - 32));
    }
    return static_cast<std::uint32_t>(m_bits << (32 - m_count));
}

void ScanReader::Skip(int count) {
    Fill();
    m_count = count > m_count ? 0 : m_count - count;
    m_bits &= m_count == 0 ? 0 : (std::uint64_t{1} << m_count) - 1;
}

std::uint32_t ScanReader::Take(int count) {
    if (count == 0) {
        return 0;
    }
    const std::uint32_t value = Peek() >> (32 - count);
    Skip(count);
    return value;
}

bool ScanReader::ConsumeRestartMarker() {
    Fill();
    if (m_count >= 8 || !m_stopped) {
        return false;
    }
    m_bits = 0;
    m_count = 0;
    while (m_pos < m_data.size() && m_data[m_pos] == 0xFF) {
        ++m_pos;
    }
    if (m_pos >= m_data.size() || m_data[m_pos] < 0xD0 || m_data[m_pos] > 0xD7) {
        return false;
    }
    ++m_pos;
    m_stopped = false;
    return true;
}

}  // namespace quorbel::ssdv
