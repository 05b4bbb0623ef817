// libjpeg-based decoding with warning counts and synthetic JPEG pictures for the SSDV tests.
#include "ssdv_test_support.hpp"

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>
#include <jpeglib.h>

namespace quorbel::ssdv::test {
namespace {

struct ErrorTrap {
    jpeg_error_mgr manager{};
    std::jmp_buf jump{};
    int warnings = 0;
    std::string firstMessage;
};

void KeepFirstMessage(j_common_ptr info) {
    auto* trap = reinterpret_cast<ErrorTrap*>(info->err);
    if (trap->firstMessage.empty()) {
        char text[JMSG_LENGTH_MAX];
        info->err->format_message(info, text);
        trap->firstMessage = text;
    }
}

void OnError(j_common_ptr info) {
    KeepFirstMessage(info);
    std::longjmp(reinterpret_cast<ErrorTrap*>(info->err)->jump, 1);
}

void OnMessage(j_common_ptr info, int level) {
    if (level < 0) {
        ++reinterpret_cast<ErrorTrap*>(info->err)->warnings;
        KeepFirstMessage(info);
    }
}

}  // namespace

std::optional<std::filesystem::path> FindVectorDir() {
    const auto dir = std::filesystem::path(QUORBEL_SHARED_TESTDATA) / "ssdv";
    return std::filesystem::is_directory(dir) ? std::optional(dir) : std::nullopt;
}

std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

DecodedPicture DecodeJpeg(const std::vector<std::uint8_t>& jpeg, bool asGrey) {
    DecodedPicture picture;
    jpeg_decompress_struct info{};
    ErrorTrap trap;
    info.err = jpeg_std_error(&trap.manager);
    trap.manager.error_exit = OnError;
    trap.manager.emit_message = OnMessage;
    if (setjmp(trap.jump) != 0) {
        picture.firstMessage = trap.firstMessage;
        jpeg_destroy_decompress(&info);
        return picture;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&info, TRUE);
    if (asGrey) {
        info.out_color_space = JCS_GRAYSCALE;
    }
    jpeg_start_decompress(&info);
    const std::size_t stride =
        std::size_t{info.output_width} * static_cast<std::size_t>(info.output_components);
    picture.pixels.resize(stride * info.output_height);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = picture.pixels.data() + stride * info.output_scanline;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    picture.ok = true;
    picture.warnings = trap.warnings;
    picture.firstMessage = trap.firstMessage;
    return picture;
}

namespace {

// The test picture's samples, interleaved row by row: gradients, a disc and some noise.
std::vector<std::uint8_t> DrawPicture(const PictureOptions& picture) {
    const int channels = picture.greyscale ? 1 : 3;
    std::vector<std::uint8_t> pixels(
        static_cast<std::size_t>(picture.width * picture.height * channels));
    std::uint32_t noise = 12345;
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            noise = noise * 1103515245U + 12345U;
            const int jitter = static_cast<int>((noise >> 16) % 9) - 4;
            const bool grey =
                picture.flatGreyBand && y >= picture.height / 3 && y < 2 * picture.height / 3;
            const int cx = x - picture.width / 2;
            const int cy = y - picture.height / 2;
            const bool disc = cx * cx + cy * cy < picture.height * picture.height / 16;
            int rgb[3] = {x * 255 / picture.width, y * 255 / picture.height, disc ? 230 : 40};
            for (int c = 0; c < channels; ++c) {
                const int value = grey ? 128 : std::clamp(rgb[c] + jitter, 0, 255);
                pixels[static_cast<std::size_t>((y * picture.width + x) * channels + c)] =
                    static_cast<std::uint8_t>(value);
            }
        }
    }
    return pixels;
}

}  // namespace

std::vector<std::uint8_t> MakeJpeg(const PictureOptions& picture) {
    const int channels = picture.greyscale ? 1 : 3;
    std::vector<std::uint8_t> pixels = DrawPicture(picture);
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(picture.width);
    info.image_height = static_cast<JDIMENSION>(picture.height);
    info.input_components = channels;
    info.in_color_space = picture.greyscale ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, picture.quality, TRUE);
    if (!picture.greyscale) {
        info.comp_info[0].h_samp_factor = picture.lumaH;
        info.comp_info[0].v_samp_factor = picture.lumaV;
    }
    info.restart_interval = static_cast<unsigned int>(picture.restartInterval);
    jpeg_start_compress(&info, TRUE);
    const std::size_t stride = static_cast<std::size_t>(picture.width * channels);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = pixels.data() + stride * info.next_scanline;
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    std::vector<std::uint8_t> jpeg(buffer, buffer + size);
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return jpeg;
}

DecodedPicture ExpectCleanJpeg(const std::vector<std::uint8_t>& jpeg, const std::string& what,
                               bool asGrey) {
    DecodedPicture picture = DecodeJpeg(jpeg, asGrey);
    EXPECT_TRUE(picture.ok) << what << ": " << picture.firstMessage;
    EXPECT_EQ(picture.warnings, 0) << what << ": " << picture.firstMessage;
    return picture;
}

double MeasurePsnr(const DecodedPicture& a, const DecodedPicture& b) {
    if (a.pixels.size() != b.pixels.size() || a.pixels.empty()) {
        return 0.0;
    }
    double sum = 0.0;
    for (std::size_t i = 0; i < a.pixels.size(); ++i) {
        const double diff = static_cast<double>(a.pixels[i]) - static_cast<double>(b.pixels[i]);
        sum += diff * diff;
    }
    const double mse = sum / static_cast<double>(a.pixels.size());
    return mse == 0.0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

}  // namespace quorbel::ssdv::test
