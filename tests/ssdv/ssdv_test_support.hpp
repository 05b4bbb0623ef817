// Support code for the SSDV tests: vector files, strict JPEG decoding and test pictures via
// libjpeg.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace quorbel::ssdv::test {

// Folder of the shared SSDV vectors, or nothing when it is absent.
std::optional<std::filesystem::path> FindVectorDir();

std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path);

struct DecodedPicture {
    bool ok = false;
    int warnings = 0;  // libjpeg warnings (corrupt data, extraneous bytes ...)
    std::string firstMessage;
    std::vector<std::uint8_t> pixels;  // interleaved, row by row
};

// Decodes with libjpeg, counting every warning instead of ignoring it; `asGrey` asks for the
// luma only.
DecodedPicture DecodeJpeg(const std::vector<std::uint8_t>& jpeg, bool asGrey = false);

struct PictureOptions {
    int width = 64;
    int height = 48;
    bool greyscale = false;
    int lumaH = 2;  // luma sampling factors
    int lumaV = 2;
    int quality = 85;
    int restartInterval = 0;    // in MCUs, 0 = none
    bool flatGreyBand = false;  // mid-grey rows whose DC is exactly 0
};

// Draws a test picture (gradients, shapes and some noise) and compresses it with libjpeg.
std::vector<std::uint8_t> MakeJpeg(const PictureOptions& picture);

// Decodes with DecodeJpeg and expects no error and no warning; `what` names the case.
DecodedPicture ExpectCleanJpeg(const std::vector<std::uint8_t>& jpeg, const std::string& what,
                               bool asGrey = false);

// Peak signal-to-noise ratio in dB of two pictures of equal size.
double MeasurePsnr(const DecodedPicture& a, const DecodedPicture& b);

}  // namespace quorbel::ssdv::test

// Skips the current test when the shared vectors are not beside the checkout.
#define QUORBEL_REQUIRE_VECTORS(dir)                              \
    const auto dir##Opt = ::quorbel::ssdv::test::FindVectorDir(); \
    if (!dir##Opt) {                                              \
        GTEST_SKIP() << "shared SSDV test vectors not found";     \
    }                                                             \
    const std::filesystem::path dir = *dir##Opt
