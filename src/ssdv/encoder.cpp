// Transcoding of the source scan: re-quantisation to the SSDV tables, re-coding with the standard
// Huffman tables, absolute DC values in recorded MCUs, and restart-marker handling.
#include "encoder.hpp"

#include <algorithm>

#include "bit_writer.hpp"
#include "jpeg_source.hpp"
#include "packet_writer.hpp"

namespace quorbel::ssdv {
namespace {

constexpr int kMaxAcValue = 1023;
constexpr int kMaxDcValue = 1023;
constexpr int kMinDcValue = -1024;

// Rounds n / d to the nearest integer, halves away from zero (d > 0).
std::int64_t DivideRounded(std::int64_t numerator, std::int64_t denominator) {
    std::int64_t twice = (2 * numerator) / denominator;
    if (twice % 2 != 0) {
        twice += twice > 0 ? 1 : -1;
    }
    return twice / 2;
}

// Re-quantises the AC coefficient at zig-zag position k from the source's step to the SSDV
// table's, clamped to what a baseline code can carry.
int RequantiseAc(int value, std::size_t k, const QuantTable& sourceSteps,
                 const QuantTable& targetSteps) {
    std::int64_t scaled = value;
    if (sourceSteps[k] != targetSteps[k]) {
        scaled = DivideRounded(std::int64_t{value} * sourceSteps[k], targetSteps[k]);
    }
    return static_cast<int>(std::clamp<std::int64_t>(scaled, -kMaxAcValue, kMaxAcValue));
}

class Transcoder {
  public:
    Transcoder(const SourceImage& image, std::span<const std::uint8_t> jpeg, int quality,
               PacketWriter& writer)
        : m_image(image),
          m_reader(jpeg, image.scanOffset),
          m_writer(writer),
          m_target{MakeQuantTable(false, quality), MakeQuantTable(true, quality)} {}

    // Returns an error message, or an empty string on success.
    std::string Run();

  private:
    bool TranscodeBlock(std::size_t source, int output, bool absoluteDc);
    bool TranscodeDc(const SourceComponent& component, std::size_t source, int output,
                     bool absolute);
    bool TranscodeAc(const SourceComponent& component, int output);
    bool ReadSymbol(const HuffmanTable& table, std::uint8_t& symbol);
    bool ReadMagnitude(int size, int& value);
    void Emit(const HuffmanTable& table, std::uint8_t symbol, int value, int size);
    void EmitFlatBlock(int output);
    void EmitAc(const HuffmanTable& table, int coefficient, int zerosBefore);
    bool EndSourceMcu();
    bool Fail(std::string message) {
        if (m_error.empty()) {
            m_error = std::move(message);
        }
        return false;
    }

    const SourceImage& m_image;
    ScanReader m_reader;
    PacketWriter& m_writer;
    std::array<QuantTable, 2> m_target;
    std::array<std::int64_t, 3> m_sourceDc{};  // running source DC per component
    std::array<int, 3> m_sentDc{};             // last absolute DC sent per component
    int m_sourceMcusDone = 0;
    int m_sourceMcuTotal = 0;
    std::string m_error;
};

const HuffmanTable& SelectOutputTable(int output, bool dc) {
    if (output == 0) {
        return SelectHuffmanTable(dc ? TableKind::DcLuma : TableKind::AcLuma);
    }
    return SelectHuffmanTable(dc ? TableKind::DcChroma : TableKind::AcChroma);
}

std::string Transcoder::Run() {
    const int mcuCount = m_image.McuCount();
    const int lumaBlocks = CountLumaBlocks(m_image.mode);
    m_sourceMcuTotal = m_image.IsGreyscale() ? 2 * mcuCount : mcuCount;
    bool reset = true;  // MCU 0 is recorded in packet 0
    for (int mcu = 0; mcu < mcuCount; ++mcu) {
        if (m_image.IsGreyscale()) {
            // Two horizontally adjacent source blocks form the luma of one 16x8 MCU; the flat
            // chroma blocks belong to the last unit of the MCU.
            for (int half = 0; half < 2; ++half) {
                if (!TranscodeBlock(0, 0, reset && half == 0) || !EndSourceMcu()) {
                    return m_error;
                }
            }
            EmitFlatBlock(1);
            EmitFlatBlock(2);
        } else {
            for (int block = 0; block < lumaBlocks; ++block) {
                if (!TranscodeBlock(0, 0, reset && block == 0)) {
                    return m_error;
                }
            }
            if (!TranscodeBlock(1, 1, reset) || !TranscodeBlock(2, 2, reset) || !EndSourceMcu()) {
                return m_error;
            }
        }
        if (mcu + 1 < mcuCount) {
            reset = m_writer.EndMcu(mcu + 1);
        }
    }
    return {};
}

// After each source MCU that closes a restart interval: skip the marker, restart prediction.
bool Transcoder::EndSourceMcu() {
    ++m_sourceMcusDone;
    const int interval = m_image.restartInterval;
    if (interval == 0 || m_sourceMcusDone % interval != 0 || m_sourceMcusDone >= m_sourceMcuTotal) {
        return true;
    }
    if (!m_reader.ConsumeRestartMarker()) {
        return Fail("Restart marker missing in the scan");
    }
    m_sourceDc.fill(0);
    return true;
}

bool Transcoder::ReadSymbol(const HuffmanTable& table, std::uint8_t& symbol) {
    int length = 0;
    const HuffmanMatch match =
        table.Decode(m_reader.Peek(), m_reader.CountAvailableBits(), symbol, length);
    if (match == HuffmanMatch::NeedMore) {
        return Fail("Premature end of file");
    }
    if (match == HuffmanMatch::Invalid) {
        return Fail("Invalid Huffman code in the scan");
    }
    m_reader.Skip(length);
    return true;
}

bool Transcoder::ReadMagnitude(int size, int& value) {
    if (m_reader.CountAvailableBits() < size) {
        return Fail("Premature end of file");
    }
    value = DecodeMagnitude(m_reader.Take(size), size);
    return true;
}

void Transcoder::Emit(const HuffmanTable& table, std::uint8_t symbol, int value, int size) {
    m_writer.WriteBits(table.Code(symbol), table.Length(symbol));
    m_writer.WriteBits(EncodeMagnitude(value, size), size);
}

void Transcoder::EmitFlatBlock(int output) {
    Emit(SelectOutputTable(output, true), 0, 0, 0);
    Emit(SelectOutputTable(output, false), 0x00, 0, 0);
}

bool Transcoder::TranscodeBlock(std::size_t source, int output, bool absoluteDc) {
    const SourceComponent& component = m_image.components[source];
    return TranscodeDc(component, source, output, absoluteDc) && TranscodeAc(component, output);
}

bool Transcoder::TranscodeDc(const SourceComponent& component, std::size_t source, int output,
                             bool absolute) {
    m_writer.BeginUnit();
    std::uint8_t size = 0;
    int difference = 0;
    if (!ReadSymbol(*m_image.dcTables[static_cast<std::size_t>(component.dcTable)], size)) {
        return false;
    }
    if (size > 11 || !ReadMagnitude(size, difference)) {
        return Fail(size > 11 ? "Invalid DC coefficient in the scan" : m_error);
    }
    const int sourceStep =
        (*m_image.quantTables[static_cast<std::size_t>(component.quantTable)])[0];
    const int targetStep = m_target[output == 0 ? 0 : 1][0];
    std::int64_t value = 0;
    if (sourceStep == targetStep) {
        m_sourceDc[source] += difference;
        value = m_sourceDc[source];
    } else {
        m_sourceDc[source] += std::int64_t{difference} * sourceStep;
        value = DivideRounded(m_sourceDc[source], targetStep);
    }
    const int dc = static_cast<int>(std::clamp<std::int64_t>(value, kMinDcValue, kMaxDcValue));
    const int sent = absolute ? dc : dc - m_sentDc[static_cast<std::size_t>(output)];
    m_sentDc[static_cast<std::size_t>(output)] = dc;
    const int category = CountMagnitudeBits(sent);
    Emit(SelectOutputTable(output, true), static_cast<std::uint8_t>(category), sent, category);
    return true;
}

// A coefficient after a run of zeros: a 16-zero code for each full 16, then run and size.
void Transcoder::EmitAc(const HuffmanTable& table, int coefficient, int zerosBefore) {
    for (; zerosBefore >= 16; zerosBefore -= 16) {
        Emit(table, 0xF0, 0, 0);
    }
    const int category = CountMagnitudeBits(coefficient);
    Emit(table, static_cast<std::uint8_t>((zerosBefore << 4) | category), coefficient, category);
}

bool Transcoder::TranscodeAc(const SourceComponent& component, int output) {
    const HuffmanTable& table = *m_image.acTables[static_cast<std::size_t>(component.acTable)];
    const QuantTable& sourceSteps =
        *m_image.quantTables[static_cast<std::size_t>(component.quantTable)];
    const QuantTable& targetSteps = m_target[output == 0 ? 0 : 1];
    const HuffmanTable& out = SelectOutputTable(output, false);
    int index = 1;
    int pendingZeros = 0;
    while (index < kBlockSize) {
        m_writer.BeginUnit();
        std::uint8_t symbol = 0;
        if (!ReadSymbol(table, symbol)) {
            return false;
        }
        const int run = symbol >> 4;
        const int size = symbol & 0x0F;
        if (symbol == 0x00) {
            Emit(out, 0x00, 0, 0);
            return true;
        }
        if (symbol == 0xF0) {
            Emit(out, 0xF0, 0, 0);  // pending zeros stay pending; the total is unchanged
            index += 16;
            if (index > kBlockSize) {
                return Fail("Invalid AC run in the scan");
            }
            continue;
        }
        index += run;
        int value = 0;
        if (size == 0 || index >= kBlockSize || !ReadMagnitude(size, value)) {
            return Fail("Invalid AC coefficient in the scan");
        }
        const int coefficient =
            RequantiseAc(value, static_cast<std::size_t>(index), sourceSteps, targetSteps);
        if (coefficient != 0) {
            EmitAc(out, coefficient, pendingZeros + run);
            pendingZeros = 0;
        } else if (index >= kBlockSize - 1) {
            Emit(out, 0x00, 0, 0);
            return true;
        } else {
            pendingZeros += run + 1;
        }
        ++index;
    }
    // A run of sixteen zeros that ends the source block leaves the zeros of coefficients that
    // became zero unsent: the block ends early, so its end must be marked.
    if (pendingZeros > 0) {
        Emit(out, 0x00, 0, 0);
    }
    return true;
}

}  // namespace

std::size_t ComputeMinimumEncodeLength(PacketType type) {
    return ComputeMinimumPacketLength(type) + 2;
}

EncodeResult EncodeImage(std::span<const std::uint8_t> jpeg, const EncodeOptions& options) {
    EncodeResult result;
    if (options.packetLength < ComputeMinimumEncodeLength(options.type) ||
        options.packetLength > kMaxPacketLength) {
        result.error = "Invalid SSDV packet length";
        return result;
    }
    SourceParse parsed = ParseSourceJpeg(jpeg);
    if (parsed.image) {
        result.log = parsed.image->log;
    }
    if (!parsed.error.empty()) {
        result.error = parsed.error;
        return result;
    }
    const SourceImage& image = *parsed.image;
    PacketHeader header;
    header.type = options.type;
    header.callsignCode = EncodeCallsign(options.callsign);
    header.imageId = options.imageId;
    header.widthUnits = static_cast<std::uint8_t>(image.width / 16);
    header.heightUnits = static_cast<std::uint8_t>(image.height / 16);
    header.quality = std::clamp(options.quality, 0, 7);
    header.mode = image.mode;
    PacketWriter writer(header, options.packetLength);
    Transcoder transcoder(image, jpeg, header.quality, writer);
    result.error = transcoder.Run();
    result.packets = writer.Finish();
    result.packetCount = writer.PacketCount();
    result.ok = result.error.empty();
    return result;
}

}  // namespace quorbel::ssdv
