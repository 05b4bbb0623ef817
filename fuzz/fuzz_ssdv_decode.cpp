// Fuzzes the SSDV decoder on one packet file: any bytes as packets of one of four lengths, most
// of them resealed with their header fields in range and their images small (at most 128 pixels
// a side), so that mutated headers and payloads reach the JPEG rebuilder and one input is cheap.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "decoder.hpp"
#include "fuzz_support.hpp"
#include "packet.hpp"

namespace {

constexpr std::array<std::size_t, 4> kLengths = {118, 256, 60, 21};

// Keeps the image small (a zero size stays zero, a larger one becomes 1 to 8 units of 16 pixels)
// and, when asked, brings the MCU index and offset into range so that the packet passes validation.
void SanitiseHeader(std::span<std::uint8_t> packet, std::size_t payloadLength, bool inRange) {
    for (const std::size_t at : {std::size_t{9}, std::size_t{10}}) {
        if (packet[at] > 8 || (packet[at] == 0 && inRange))
            packet[at] = static_cast<std::uint8_t>(1 + packet[at] % 8);
    }
    if (!inRange) {
        return;
    }
    const auto header = quorbel::ssdv::ParsePacketHeader(packet);
    if (!header || !header->HasMcuStart()) {
        return;
    }
    const int index = header->mcuIndex % header->McuCount();
    packet[13] = static_cast<std::uint8_t>(index >> 8);
    packet[14] = static_cast<std::uint8_t>(index & 0xFF);
    packet[12] = payloadLength == 0 ? 0 : static_cast<std::uint8_t>(packet[12] % payloadLength);
}

// Makes every whole packet pass the CRC (and Reed-Solomon) checks.
void SealAll(std::vector<std::uint8_t>& stream, std::size_t length, bool sanitise) {
    using quorbel::ssdv::PacketType;
    for (std::size_t at = 0; at + length <= stream.size(); at += length) {
        std::span<std::uint8_t> packet(stream.data() + at, length);
        const PacketType type = packet[1] == 0x67 ? PacketType::NoFec : PacketType::Fec;
        const auto payloadLength = quorbel::ssdv::ComputePayloadLength(type, length);
        if (!payloadLength) {
            continue;
        }
        packet[1] = static_cast<std::uint8_t>(type);
        SanitiseHeader(packet, *payloadLength, sanitise);
        quorbel::ssdv::SealPacket(type, packet);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    // The control byte: bits 0-1 the packet length; bits 2-4 zero for bytes as they are (one
    // input in eight), else resealed packets, whose MCU fields are brought into range unless bits
    // 5-7 are zero. A packet that fails the checks makes the decoder try a repair at every byte
    // offset after it, so such packets are kept rare and short.
    const std::uint8_t control = data[0];
    const std::size_t length = kLengths[control & 3];
    std::vector<std::uint8_t> stream(data + 1, data + size);
    if ((control & 0x1C) != 0) {
        SealAll(stream, length, (control & 0xE0) != 0);
    } else if (stream.size() > 2 * length) {
        stream.resize(2 * length);
    }
    const quorbel::ssdv::DecodeResult result = quorbel::ssdv::DecodeImage(stream, length);
    if (result.image) {
        QUORBEL_FUZZ_CHECK(result.packetsUsed <= result.packetsRead);
        // A decoded image is always a complete JPEG file: SOI, headers, scan, EOI.
        const auto& jpeg = result.jpeg;
        if (jpeg.size() < 625 || jpeg[0] != 0xFF || jpeg[1] != 0xD8 ||
            jpeg[jpeg.size() - 2] != 0xFF || jpeg[jpeg.size() - 1] != 0xD9) {
            std::abort();
        }
    } else if (!result.jpeg.empty()) {
        std::abort();
    }
    return 0;
}
