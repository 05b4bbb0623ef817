// Fuzzes the SSDV encoder on one JPEG file: any bytes through the JPEG reader (markers, tables,
// frame and scan headers), and for an image of at most 128 by 128 pixels the transcoding of its
// scan into packets, which must decode again into a complete picture.
#include <cstddef>
#include <cstdint>
#include <span>

#include "decoder.hpp"
#include "encoder.hpp"
#include "fuzz_support.hpp"
#include "jpeg_source.hpp"

// The input: an options byte (quality, packet length, type), then the JPEG file.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quorbel::ssdv;
    if (size == 0)
        return 0;
    const std::span<const std::uint8_t> jpeg(data + 1, size - 1);
    const SourceParse parsed = ParseSourceJpeg(jpeg);
    QUORBEL_FUZZ_CHECK(parsed.image.has_value() != !parsed.error.empty());
    if (!parsed.image)
        return 0;
    const SourceImage& image = *parsed.image;
    QUORBEL_FUZZ_CHECK(image.width % 16 == 0 && image.height % 16 == 0);
    QUORBEL_FUZZ_CHECK(image.components.size() == 1 || image.components.size() == 3);
    QUORBEL_FUZZ_CHECK(image.scanOffset <= jpeg.size());
    // Bigger images cost time in proportion to their area, not to what the input says.
    if (image.width > 128 || image.height > 128)
        return 0;

    EncodeOptions options;
    options.quality = data[0] & 7;
    options.packetLength = (data[0] & 8) != 0 ? 64 : 118;
    options.type = (data[0] & 16) != 0 ? PacketType::NoFec : PacketType::Fec;
    const EncodeResult encoded = EncodeImage(jpeg, options);
    if (encoded.ok) {
        QUORBEL_FUZZ_CHECK(encoded.packets.size() == encoded.packetCount * options.packetLength);
        const DecodeResult decoded = DecodeImage(encoded.packets, options.packetLength);
        QUORBEL_FUZZ_CHECK(decoded.image && decoded.complete &&
                           decoded.packetsUsed == encoded.packetCount);
        QUORBEL_FUZZ_CHECK(decoded.image->width == image.width &&
                           decoded.image->height == image.height);
    }
    return 0;
}
