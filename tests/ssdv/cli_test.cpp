// The ssdv command line: option parsing, exit statuses, files and standard streams.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include <sys/wait.h>

#include "cli.hpp"
#include "ssdv_test_support.hpp"

namespace quorbel::ssdv {
namespace {

TEST(CliParseTest, OptionForms) {
    struct Case {
        std::vector<std::string> args;
        CliMode mode;
        long length;
        int imageId;
        int quality;
        std::string input;
        std::string output;
    };
    const Case cases[] = {
        {{"-d", "-l", "118", "in.bin", "out.jpg"},
         CliMode::kDecode,
         118,
         0,
         4,
         "in.bin",
         "out.jpg"},
        {{"-dl", "118", "in.bin"}, CliMode::kDecode, 118, 0, 4, "in.bin", "-"},
        {{"-dl118"}, CliMode::kDecode, 118, 0, 4, "-", "-"},
        {{"in.jpg", "-e", "out.bin", "-i", "256"},
         CliMode::kEncode,
         256,
         0,
         4,
         "in.jpg",
         "out.bin"},
        {{"-e", "-i", "-1", "-q", "9"}, CliMode::kEncode, 256, 255, 7, "-", "-"},
        {{"-e", "-q", "-3", "-", "-"}, CliMode::kEncode, 256, 0, 0, "-", "-"},
        {{"-e", "--", "-x.jpg"}, CliMode::kEncode, 256, 0, 4, "-x.jpg", "-"},
        {{}, CliMode::kNone, 256, 0, 4, "-", "-"},
    };
    for (const Case& c : cases) {
        const CliParse parsed = ParseCommandLine(c.args);
        ASSERT_TRUE(parsed.options.has_value()) << parsed.error;
        EXPECT_EQ(parsed.options->mode, c.mode);
        EXPECT_EQ(parsed.options->packetLength, c.length);
        EXPECT_EQ(parsed.options->imageId, c.imageId);
        EXPECT_EQ(parsed.options->quality, c.quality);
        EXPECT_EQ(parsed.options->input, c.input);
        EXPECT_EQ(parsed.options->output, c.output);
    }
    const CliParse combined = ParseCommandLine({"-envc", "AB1", "-t", "20"});
    ASSERT_TRUE(combined.options.has_value());
    EXPECT_TRUE(combined.options->noFec);
    EXPECT_TRUE(combined.options->verbose);
    EXPECT_EQ(combined.options->callsign, "AB1");
    EXPECT_EQ(combined.options->dropPercent, 20);
    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"-x"}, {"-d", "-l"}, {"-d", "a", "b", "c"}}) {
        EXPECT_FALSE(ParseCommandLine(bad).options.has_value());
    }
}

struct ProgramRun {
    int status;
    std::string out;
    std::string err;
};

ProgramRun RunProgram(const std::vector<std::string>& args, const std::string& input = {}) {
    std::istringstream in(input);
    std::ostringstream out;
    std::ostringstream err;
    const int status = RunSsdv(args, in, out, err);
    return {status, out.str(), err.str()};
}

std::string AsString(const std::vector<uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

TEST(CliRunTest, ExitStatuses) {
    EXPECT_EQ(RunProgram({}).status, 0);
    EXPECT_NE(RunProgram({}).err.find("No mode specified."), std::string::npos);
    EXPECT_EQ(RunProgram({"-x"}).status, 255);
    EXPECT_NE(RunProgram({"-x"}).err.find("Usage:"), std::string::npos);
    EXPECT_EQ(RunProgram({"-d", "a", "b", "c"}).status, 255);
    EXPECT_EQ(RunProgram({"-d", "-l", "257"}).status, 255);
    EXPECT_EQ(RunProgram({"-d", "-l", "10"}).status, 255);
    EXPECT_EQ(RunProgram({"-d", "/nonexistent/in.bin"}).status, 255);
    EXPECT_EQ(RunProgram({"-e", "-l", "52"}, AsString(test::MakeJpeg({32, 32}))).status, 255);
    EXPECT_EQ(RunProgram({"-e"}, "not a jpeg").status, 255);
    const ProgramRun empty = RunProgram({"-d", "-l", "118"});
    EXPECT_EQ(empty.status, 1);
    EXPECT_TRUE(empty.out.empty());
    EXPECT_NE(empty.err.find("no image written"), std::string::npos);
}

TEST(CliRunTest, DecodesFilesAndStreamsLikeTheReference) {
    QUORBEL_REQUIRE_VECTORS(dir);
    const auto packets = test::ReadBytes(dir / "grad320x240-l118-drop10.bin");
    const auto expected = test::ReadBytes(dir / "grad320x240-l118-drop10-decoded.jpg");
    const ProgramRun streamed = RunProgram({"-dl", "118"}, AsString(packets));
    EXPECT_EQ(streamed.status, 0);
    EXPECT_TRUE(streamed.out == AsString(expected));
    EXPECT_NE(streamed.err.find("Callsign: QRBL01\nImage ID: 01\nResolution: 320x240\n"
                                "MCU blocks: 300\nSampling factor: 2x2\nQuality level: 4\n"
                                "Gap detected between packets 4 and 6\n"),
              std::string::npos);
    EXPECT_NE(streamed.err.find("Read 76 packets\n"), std::string::npos);

    const auto output = std::filesystem::temp_directory_path() / "quorbel_ssdv_cli_test.jpg";
    std::filesystem::remove(output);
    // -t drops windows: all of them at 100 % (no image), none at 0 %.
    EXPECT_EQ(RunProgram({"-d", "-l", "118", "-t", "100"}, AsString(packets)).status, 1);
    EXPECT_TRUE(RunProgram({"-d", "-l", "118", "-t", "0"}, AsString(packets)).out ==
                AsString(expected));
    const ProgramRun toFile = RunProgram(
        {"-d", "-l", "118", (dir / "grad320x240-l118-drop10.bin").string(), output.string()});
    EXPECT_EQ(toFile.status, 0);
    EXPECT_TRUE(toFile.out.empty());
    EXPECT_TRUE(test::ReadBytes(output) == expected);
    // No valid packet: the previous picture stays untouched.
    EXPECT_EQ(RunProgram({"-d", "-l", "118", (dir / "empty.bin").string(), output.string()}).status,
              1);
    EXPECT_TRUE(test::ReadBytes(output) == expected);
    std::filesystem::remove(output);
}

// Junk before packet 10: reported only with -v, together with two lines per packet.
TEST(CliRunTest, VerboseReportsPacketsAndSkippedBytes) {
    QUORBEL_REQUIRE_VECTORS(dir);
    const std::string junk = AsString(test::ReadBytes(dir / "grad320x240-l118-junk.bin"));
    const ProgramRun quiet = RunProgram({"-dl118"}, junk);
    EXPECT_EQ(quiet.err.find("Skipped"), std::string::npos);
    EXPECT_EQ(quiet.err.find("Decoded image packet"), std::string::npos);
    const ProgramRun verbose = RunProgram({"-dvl118"}, junk);
    EXPECT_NE(verbose.err.find("Skipped 7 bytes.\nDecoded image packet. Callsign: \"QRBL01\", "
                               "Image ID: 1, Resolution: 320x240, Packet ID: 10 (0 errors "
                               "corrected)\n>> Type: 0, Quality: 4, EOI: 0, MCU Mode: 0, MCU "
                               "Offset: "),
              std::string::npos);
    EXPECT_EQ(verbose.out, quiet.out);
}

// The per-packet lines of -v equal the reference tool's, including the repaired byte count.
TEST(CliRunTest, VerbosePacketLinesMatchTheReferenceLog) {
    QUORBEL_REQUIRE_VECTORS(dir);
    const auto packetLines = [](const std::string& text) {
        std::istringstream in(text);
        std::string lines;
        for (std::string line; std::getline(in, line);) {
            if (line.rfind("Decoded image packet", 0) == 0 || line.rfind(">> ", 0) == 0) {
                lines += line + "\n";
            }
        }
        return lines;
    };
    const ProgramRun run = RunProgram(
        {"-dv", "-l", "118"}, AsString(test::ReadBytes(dir / "grad320x240-l118-corrupt1.bin")));
    const std::string expected =
        packetLines(AsString(test::ReadBytes(dir / "grad320x240-l118-corrupt1-verbose.log")));
    EXPECT_NE(expected.find("Packet ID: 30 (1 errors corrected)"), std::string::npos);
    EXPECT_EQ(packetLines(run.err), expected);
}

TEST(CliRunTest, EncodesLikeTheReference) {
    QUORBEL_REQUIRE_VECTORS(dir);
    const ProgramRun run = RunProgram({"-e", "-n", "-c", "QRBL01", "-i", "1", "-l", "118"},
                                      AsString(test::ReadBytes(dir / "grad320x240.jpg")));
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.out == AsString(test::ReadBytes(dir / "grad320x240-l118-nofec.bin")));
    EXPECT_NE(run.err.find("Wrote 56 packets"), std::string::npos);
    const ProgramRun cropped = RunProgram({"-e", "-c", "QRBL01XY", "-l", "118"},
                                          AsString(test::ReadBytes(dir / "tiny16x16.jpg")));
    EXPECT_NE(cropped.err.find("callsign cropped to 6 characters"), std::string::npos);
}

// The built program itself: exit statuses as a caller sees them.
TEST(CliProgramTest, ProgramExitStatuses) {
    const std::filesystem::path program = std::filesystem::path(QUORBEL_BIN_DIR) / "ssdv";
    if (!std::filesystem::exists(program)) {
        GTEST_SKIP() << "ssdv program not built";
    }
    const auto run = [&](const std::string& args) {
        const int status = std::system((program.string() + " " + args + " 2>/dev/null").c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    EXPECT_EQ(run("-d -l 118 /dev/null /dev/null"), 1);
    EXPECT_EQ(run("-q"), 255);
    EXPECT_EQ(run(""), 0);
    const auto vectors = test::VectorDir();
    if (vectors) {
        EXPECT_EQ(run("-dl 118 " + (*vectors / "tiny16x16-l118-x2.bin").string() + " /dev/null"),
                  0);
    }
}

}  // namespace
}  // namespace quorbel::ssdv
