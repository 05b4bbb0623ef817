// Fuzz target for the SSDV encoder's JPEG reader and transcoder: arbitrary bytes as a source
// image; whatever is encoded must decode again.
#include <cstddef>
#include <cstdint>
#include <span>

#include "decoder.hpp"
#include "encoder.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    quorbel::ssdv::EncodeOptions options;
    options.quality = data[0] & 7;
    options.packetLength = (data[0] & 8) != 0 ? 64 : 118;
    options.type =
        (data[0] & 16) != 0 ? quorbel::ssdv::PacketType::NoFec : quorbel::ssdv::PacketType::Fec;
    const auto encoded = quorbel::ssdv::EncodeImage(std::span(data + 1, size - 1), options);
    if (encoded.ok) {
        const auto decoded = quorbel::ssdv::DecodeImage(encoded.packets, options.packetLength);
        if (!decoded.image || !decoded.complete || decoded.packetsUsed != encoded.packetCount) {
            __builtin_trap();
        }
    }
    return 0;
}
