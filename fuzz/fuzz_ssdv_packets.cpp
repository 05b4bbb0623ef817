// Fuzzes the SSDV packet checks on one packet: any bytes of any valid packet length as a window,
// or a packet sealed with its CRC and parity and then damaged in up to seven bytes, which the
// Reed-Solomon repair of a type 0x66 packet must undo exactly, with and without the processor's
// vector instructions alike, also on the codeword shortened by one more symbol (an error at its
// length, just before it); then the packet as a frame of identifier 500 carries it, and its
// listing.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "decode/ssdv_packet.hpp"
#include "fuzz_support.hpp"
#include "packet.hpp"
#include "reed_solomon.hpp"

namespace {

using namespace quorbel;
using ssdv::PacketType;

// Small images and in-range MCU fields, so that a sealed packet mostly passes the header checks.
void SanitiseHeader(std::span<std::uint8_t> packet, PacketType type) {
    packet[0] = ssdv::kSyncByte;
    packet[1] = static_cast<std::uint8_t>(type);
    for (const std::size_t at : {std::size_t{9}, std::size_t{10}}) {
        if (packet[at] == 0 || packet[at] > 8)
            packet[at] = static_cast<std::uint8_t>(1 + packet[at] % 8);
    }
    const auto header = ssdv::ParsePacketHeader(packet);
    const auto payload = ssdv::ComputePayloadLength(type, packet.size());
    if (header && header->HasMcuStart() && payload && *payload > 0) {
        const int index = header->mcuIndex % header->McuCount();
        packet[13] = static_cast<std::uint8_t>(index >> 8);
        packet[14] = static_cast<std::uint8_t>(index & 0xFF);
        packet[12] = static_cast<std::uint8_t>(packet[12] % *payload);
    }
}

bool SameBytes(const ssdv::ValidatedPacket& a, const ssdv::ValidatedPacket& b) {
    return a.length == b.length &&
           std::equal(a.bytes.begin(), a.bytes.begin() + static_cast<std::ptrdiff_t>(a.length),
                      b.bytes.begin());
}

// The repair of the codeword from `skip` on, in a buffer with a guard byte at each end: it must
// write nothing outside the codeword, with or without the processor's vector instructions, and
// both must agree in what they return and in the bytes they repair.
std::optional<int> RepairBetweenGuards(const std::vector<std::uint8_t>& packet, std::size_t skip,
                                       std::vector<std::uint8_t>& repaired) {
    constexpr std::uint8_t kGuard = 0xA5;
    std::vector<std::uint8_t> byVector{kGuard};
    byVector.insert(byVector.end(), packet.begin() + static_cast<std::ptrdiff_t>(skip),
                    packet.end());
    byVector.push_back(kGuard);
    std::vector<std::uint8_t> byTables = byVector;
    const auto inside = [](std::vector<std::uint8_t>& buffer) {
        return std::span(buffer).subspan(1, buffer.size() - 2);
    };
    const auto result = ssdv::RepairReedSolomon(inside(byVector));
    QUORBEL_FUZZ_CHECK(result == ssdv::RepairReedSolomonWithTables(inside(byTables)));
    QUORBEL_FUZZ_CHECK(byVector == byTables);
    QUORBEL_FUZZ_CHECK(byVector.front() == kGuard && byVector.back() == kGuard);
    repaired.assign(byVector.begin() + 1, byVector.end() - 1);
    return result;
}

}  // namespace

// The input: a control byte (type, length choice, sealing, shortening, damage count), a length
// byte, then the packet's bytes, then pairs of damage (position, value to XOR).
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    const std::uint8_t control = data[0];
    const PacketType type = (control & 1) != 0 ? PacketType::NoFec : PacketType::Fec;
    const std::size_t minimum = ssdv::ComputeMinimumPacketLength(type);
    const std::size_t length = (control & 2) != 0   ? minimum + data[1] % (257 - minimum)
                               : (control & 4) != 0 ? 256
                                                    : kSsdvPacketSize;
    const bool sealed = (control & 8) != 0;
    const std::size_t damage = control >> 5;

    std::span<const std::uint8_t> rest(data + 2, size - 2);
    std::vector<std::uint8_t> packet(length, 0);
    const std::size_t taken = std::min(length, rest.size());
    std::copy_n(rest.begin(), taken, packet.begin());
    rest = rest.subspan(taken);
    if (sealed) {
        SanitiseHeader(packet, type);
        ssdv::SealPacket(type, packet);
    }
    const std::vector<std::uint8_t> sealedPacket = packet;
    const auto intact = ssdv::ValidatePacket(packet);
    std::vector<std::size_t> damaged;
    for (std::size_t i = 0; i < damage && rest.size() >= 2; ++i, rest = rest.subspan(2)) {
        const std::size_t at = 1 + rest[0] % (length - 1);  // the sync byte is never checked
        if (rest[1] != 0 && std::find(damaged.begin(), damaged.end(), at) == damaged.end()) {
            packet[at] ^= rest[1];
            damaged.push_back(at);
        }
    }

    const auto checked = ssdv::ValidatePacket(packet);
    if (checked) {
        QUORBEL_FUZZ_CHECK(checked->payloadLength ==
                           ssdv::ComputePayloadLength(checked->header.type, length));
        QUORBEL_FUZZ_CHECK(checked->header.widthUnits > 0 && checked->header.heightUnits > 0);
        QUORBEL_FUZZ_CHECK(!checked->header.HasMcuStart() ||
                           (checked->header.mcuIndex < checked->header.McuCount() &&
                            checked->header.mcuOffset < checked->payloadLength));
        // A repaired packet checks again without repair.
        const auto again = ssdv::ValidatePacket(std::span(checked->bytes).first(length));
        QUORBEL_FUZZ_CHECK(again && again->correctedSymbols == 0 && SameBytes(*again, *checked));
    }
    // Parity of 32 bytes repairs any 16 damaged bytes of a sealed packet of type 0x66. Damage in
    // the parity alone leaves the CRC intact and is not repaired, so only the bytes the CRC
    // covers must come back; the type byte is set to 0x66 before a repair and is not counted.
    if (sealed && type == PacketType::Fec) {
        QUORBEL_FUZZ_CHECK(intact.has_value() == checked.has_value());
        if (checked) {
            const std::size_t covered = length - ssdv::kParitySize;
            QUORBEL_FUZZ_CHECK(std::equal(intact->bytes.begin(), intact->bytes.begin() + covered,
                                          checked->bytes.begin()));
            QUORBEL_FUZZ_CHECK(checked->correctedSymbols <= static_cast<int>(damaged.size()));
        }
    }

    // The codeword after the sync byte; with bit 4 of the control byte, the codeword without its
    // first symbol too. A sealed packet's type byte (0x66) then stands for an error right before
    // the shortened codeword, at its length: the repair leaves it out and undoes the damage
    // within, which together with it stays within the 16 symbols the parity repairs.
    const bool shortened = (control & 16) != 0;
    std::vector<std::uint8_t> repaired;
    const auto result = RepairBetweenGuards(packet, shortened ? 2 : 1, repaired);
    if (sealed && type == PacketType::Fec && shortened) {
        const auto within =
            std::count_if(damaged.begin(), damaged.end(), [](std::size_t at) { return at >= 2; });
        QUORBEL_FUZZ_CHECK(result == static_cast<int>(within));
        QUORBEL_FUZZ_CHECK(std::equal(repaired.begin(), repaired.end(), sealedPacket.begin() + 2));
    }

    // The packet as a frame of identifier 500 carries it, when it fits.
    if (length == kSsdvPacketSize) {
        FrameBuffer buffer{};
        std::copy(packet.begin(), packet.end(), buffer.begin() + kSsdvPacketPosition);
        const SsdvPacket read = ReadSsdvPacket(buffer);
        QUORBEL_FUZZ_CHECK(std::equal(read.bytes.begin(), read.bytes.end(), packet.begin()));
        QUORBEL_FUZZ_CHECK(ListSsdvPacket(read, "packet.bin", "image.jpg").ends_with("\r\n"));
    }
    return 0;
}
