// The ssdv command line: option parsing, exit statuses, files and standard streams, and every
// shared vector encoded and decoded by the program as the reference tool did.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <sstream>
#include <tuple>
#include <utility>

#include <sys/wait.h>

#include "cli.hpp"
#include "ssdv_test_support.hpp"
#include "support/child_process.hpp"
#include "support/recorded_disk_sync.hpp"
#include "support/temp_folder.hpp"
#include "support/unprivileged_user.hpp"

namespace quorbel::ssdv {
namespace {

std::vector<std::string> Split(const std::string& text) {
    std::istringstream in(text);
    return {std::istream_iterator<std::string>(in), {}};
}

std::string BytesToString(const std::vector<std::uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

// The options a command line gives, in one line, or its error.
std::string Describe(const CliParse& parsed) {
    if (!parsed.options) {
        return parsed.error;
    }
    const CliOptions& o = *parsed.options;
    std::ostringstream text;
    text << "-ed"[static_cast<int>(o.mode)] << " L" << o.packetLength << " i" << o.imageId << " q"
         << o.quality << " " << o.input << " " << o.output << " n" << o.noFec << " v" << o.verbose
         << " c" << o.callsign << " t" << o.dropPercent;
    return text.str();
}

TEST(CliParseTest, OptionForms) {
    for (const auto& [args, options] : {
             std::pair{"-d -l 118 in.bin out.jpg", "d L118 i0 q4 in.bin out.jpg n0 v0 c t0"},
             std::pair{"-dl 118 in.bin", "d L118 i0 q4 in.bin - n0 v0 c t0"},
             std::pair{"-dl118", "d L118 i0 q4 - - n0 v0 c t0"},
             std::pair{"in.jpg -e out.bin -i 256", "e L256 i0 q4 in.jpg out.bin n0 v0 c t0"},
             std::pair{"-e -i -1 -q 9", "e L256 i255 q7 - - n0 v0 c t0"},
             std::pair{"-e -q -3 - -", "e L256 i0 q0 - - n0 v0 c t0"},
             std::pair{"-e -- -x.jpg", "e L256 i0 q4 -x.jpg - n0 v0 c t0"},
             std::pair{"", "- L256 i0 q4 - - n0 v0 c t0"},
             std::pair{"-envc AB1 -t 20", "e L256 i0 q4 - - n1 v1 cAB1 t20"},
             std::pair{"-x", "invalid option -- 'x'"},
             std::pair{"-d -l", "option requires an argument -- 'l'"},
             std::pair{"-d a b c", "too many file arguments"},
         }) {
        EXPECT_EQ(Describe(ParseCommandLine(Split(args))), options) << args;
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

// What the reference tool wrote to standard error, from one of its logs.
std::string ReadLoggedStderr(const std::filesystem::path& log) {
    const std::string text = BytesToString(test::ReadBytes(log));
    const std::size_t start = text.find("stderr:\n");
    return start == std::string::npos ? "(no log " + log.string() + ")" : text.substr(start + 8);
}

// Runs the built program through the shell: `before` goes in front of it (a limit), `stdinFrom`
// names what standard input reads; standard output is dropped.
ProgramRun RunBuiltProgram(const std::string& before, const std::string& args,
                           const std::string& stdinFrom) {
    auto [status, err] = ::quorbel::testing::ShellOutput(
        before + QUORBEL_BIN_DIR + "/ssdv " + args + " <" + stdinFrom + " 2>&1 >/dev/null");
    return {status, "", std::move(err)};
}

// Exit statuses and messages; where no input is read, also from the built program as a caller
// sees them. A folder or a device as input and a folder as output are refused with status 1
// before anything is written; the built program must never end through an uncaught exception.
// Standard input that cannot be read and memory running out end the same way.
TEST(CliRunTest, ExitStatusesAndRefusals) {
    const testing::TempFolder dir;
    const std::string folder = dir.File("folder");
    std::filesystem::create_directory(folder);
    const std::string jpeg = dir.Write("picture.jpg", test::MakeJpeg({32, 16}));
    const std::string packets = dir.File("packets.bin");
    const std::string out = dir.File("out");
    ASSERT_EQ(RunProgram({"-e", jpeg, packets}).status, 0);
    const std::string folderInput = "Error opening '" + folder + "' for input: it is a folder";
    const std::string deviceInput = "Error opening '/dev/null' for input: it is a device";
    const std::string folderOutput = "Error opening '" + folder + "' for output: it is a folder";
    struct Case {
        std::string args;
        std::string input;
        int status;
        std::string message;
    };
    const Case cases[] = {
        {"", "", 0, "No mode specified."},
        {"-x", "", 255, "Usage:"},
        {"-d a b c", "", 255, "Usage:"},
        {"-d -l 257", "", 255, "Invalid SSDV packet length"},
        {"-d -l 10", "", 255, "Invalid SSDV packet length"},
        {"-d /nonexistent/in.bin", "", 255, "Error opening '/nonexistent/in.bin' for input"},
        {"-e", "not a jpeg", 255, "Premature end of file"},
        {"-d -l 118", "", 1, "no image written"},
        {"-e -c QRBL01XY -l 118", BytesToString(test::MakeJpeg({16, 16})), 0,
         "Warning: callsign cropped to 6 characters"},
        {"-d " + folder + " " + out, "", 1, folderInput},
        {"-e " + folder + " " + out, "", 1, folderInput},
        {"-d -l 118 /dev/null " + out, "", 1, deviceInput},
        {"-e /dev/null " + out, "", 1, deviceInput},
        {"-d " + packets + " " + folder, "", 1, folderOutput},
        {"-e " + jpeg + " " + folder, "", 1, folderOutput},
    };
    for (const Case& c : cases) {
        const ProgramRun run = RunProgram(Split(c.args), c.input);
        EXPECT_EQ(run.status, c.status) << c.args;
        EXPECT_TRUE(run.out.empty() || c.status == 0) << c.args;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << c.args << ": " << run.err;
        if (c.input.empty()) {
            const ProgramRun program = RunBuiltProgram("", c.args, "/dev/null");
            EXPECT_EQ(program.status, c.status) << c.args;
            EXPECT_NE(program.err.find(c.message), std::string::npos)
                << c.args << ": " << program.err;
        }
        EXPECT_FALSE(std::filesystem::exists(out)) << c.args;
        EXPECT_TRUE(std::filesystem::is_empty(folder)) << c.args;
    }
    const ProgramRun folderStdin = RunBuiltProgram("", "-d -l 118 - " + out, folder);
    EXPECT_EQ(folderStdin.status, 1);
    EXPECT_NE(folderStdin.err.find("Error reading standard input"), std::string::npos)
        << folderStdin.err;
    // Endless input under a memory limit: the program stops with a message, not an abort.
    const std::string limit = "ulimit -v 50000 && ";
    if (RunBuiltProgram(limit, "", "/dev/null").status == 0) {
        const ProgramRun endless = RunBuiltProgram(limit, "-d -l 118 - " + out, "/dev/zero");
        EXPECT_EQ(endless.status, 1);
        EXPECT_NE(endless.err.find("ssdv: out of memory"), std::string::npos) << endless.err;
    }
    EXPECT_FALSE(std::filesystem::exists(out));
}

// A file that its user may not read. Root reads every file: when the tests run as root, the
// program runs as the unprivileged user who owns the file.
TEST(CliRunTest, RefusesAnUnreadableFile) {
    const testing::TempFolder dir;
    if (const std::string problem = testing::UnprivilegedRunProblem(dir.Path()); !problem.empty())
        GTEST_SKIP() << problem;
    const std::filesystem::path input = dir.Write("locked.bin", std::string("locked"));
    const std::filesystem::path out = dir.File("out");
    ASSERT_TRUE(testing::GiveToUnprivilegedUser(dir.Path()));
    ASSERT_TRUE(testing::GiveToUnprivilegedUser(input.string()));
    std::filesystem::permissions(input, std::filesystem::perms::none);
    for (const char* mode : {"-d", "-e"}) {
        const auto run = testing::RunUnprivileged([&] {
            const ProgramRun program = RunProgram({mode, input.string(), out.string()});
            return std::to_string(program.status) + " " + program.err;
        });
        ASSERT_TRUE(run.has_value()) << mode;
        EXPECT_TRUE(run->starts_with("1 ")) << mode << ": " << *run;
        EXPECT_NE(run->find("Error opening '" + input.string() + "' for input: it cannot be read"),
                  std::string::npos)
            << mode << ": " << *run;
        EXPECT_FALSE(std::filesystem::exists(out)) << mode;
    }
}

// Encodes the source picture of the vector `stem` with the program: the packets and the number
// written equal the vector's, and the messages the reference's where its log is kept.
void ExpectEncodedAsTheReference(const std::filesystem::path& dir, const std::string& stem,
                                 const std::string& source, const std::string& encodeArgs,
                                 const std::string& length,
                                 const std::vector<std::uint8_t>& packets) {
    std::vector<std::string> args = Split(encodeArgs);
    args.insert(args.begin(), {"-e", "-c", "QRBL01", "-l", length});
    const ProgramRun encoded =
        RunProgram(args, BytesToString(test::ReadBytes(dir / (source + ".jpg"))));
    EXPECT_EQ(encoded.status, 0) << encoded.err;
    EXPECT_TRUE(encoded.out == BytesToString(packets));
    EXPECT_NE(encoded.err.find("Wrote " + std::to_string(packets.size() / std::stoul(length)) +
                               " packets\n"),
              std::string::npos);
    const auto log = dir / (stem + "-encode.log");
    if (std::filesystem::exists(log)) {
        // The reference's messages, apart from its internal end-of-image trace line.
        std::string expectedLog = ReadLoggedStderr(log);
        const std::size_t trace = expectedLog.find("ssdv_enc_get_packet said EOI\n");
        ASSERT_NE(trace, std::string::npos);
        EXPECT_EQ(encoded.err, expectedLog.erase(trace, 29));
    }
}

// Every vector through the program: decoded output byte for byte and messages equal to the
// reference's; encoded vectors also re-encoded from their source byte for byte, with the
// reference's messages where its log is kept. Where the reference output is unsound (repeats
// after the end, packets of another image, reordered packets), the output is the undamaged
// picture's, and libjpeg reads it without warnings.
TEST(SsdvVectorsTest, ProgramReproducesTheReference) {
    QUORBEL_REQUIRE_VECTORS(dir);
    struct Vector {
        const char* stem;
        const char* source = nullptr;  // picture and encoder options of an encoded vector
        const char* encodeArgs = "";
        const char* decodedAs = nullptr;  // stem of the expected output where it is not its own
        bool sameMessages = true;         // false also where decodedAs is set
    };
    const Vector vectors[] = {
        {"grad320x240-l118", "grad320x240", "-i 1"},
        {"grad320x240-l118-nofec", "grad320x240", "-n -i 1"},
        {"noise640x480-l118", "noise640x480", "-i 2"},
        {"noise640x480-l118-nofec", "noise640x480", "-n -i 2"},
        {"small128x96-l118", "small128x96", "-i 3"},
        {"small128x96-l118-nofec", "small128x96", "-n -i 3"},
        {"grad320x240-h2v1-l118", "grad320x240-h2v1", "-i 4"},
        {"grad320x240-h1v2-l118", "grad320x240-h1v2", "-i 5"},
        {"grad320x240-h1v1-l118", "grad320x240-h1v1", "-i 6"},
        {"small128x96-grey-l118", "small128x96-grey", "-i 7"},
        {"small128x96-q0-l118", "small128x96", "-i 8 -q 0"},
        // Many packets without an MCU start: each MCU index takes effect at its offset byte.
        {"grad320x240-q7-l118", "grad320x240", "-i 9 -q 7"},
        {"tiny16x16-l118", "tiny16x16", "-i 10"},
        {"small128x96-l256", "small128x96", "-i 3"},
        {"grad320x240-l118-drop10"},
        {"grad320x240-l118-drop0"},
        {"grad320x240-l118-corrupt1"},
        {"grad320x240-l118-corrupt20"},
        {"grad320x240-l118-nofec-corrupt1"},
        {"grad320x240-l118-sync00"},
        {"grad320x240-l118-junk"},
        {"grad320x240-l118-trunc"},
        {.stem = "grad320x240-l118-dup", .sameMessages = false},
        {.stem = "grad320x240-l118-duplast", .decodedAs = "grad320x240-l118"},
        {.stem = "grad320x240-l118-mixed", .decodedAs = "small128x96-l118"},
        {.stem = "grad320x240-l118-shuffled", .decodedAs = "grad320x240-l118"},
        {.stem = "tiny16x16-l118-x2", .decodedAs = "tiny16x16-l118"},
    };
    for (const Vector& v : vectors) {
        SCOPED_TRACE(v.stem);
        const std::string stem = v.stem;
        const std::string length = stem.find("l256") != std::string::npos ? "256" : "118";
        const auto packets = test::ReadBytes(dir / (stem + ".bin"));
        const ProgramRun decoded = RunProgram({"-dl", length}, BytesToString(packets));
        EXPECT_EQ(decoded.status, 0);
        const std::string expected = v.decodedAs != nullptr ? v.decodedAs : stem;
        EXPECT_TRUE(decoded.out ==
                    BytesToString(test::ReadBytes(dir / (expected + "-decoded.jpg"))));
        if (v.decodedAs != nullptr) {
            test::ExpectCleanJpeg({decoded.out.begin(), decoded.out.end()}, stem);
        } else if (v.sameMessages) {
            EXPECT_EQ(decoded.err, ReadLoggedStderr(dir / (stem + "-decoded.log")));
        }
        if (v.source != nullptr) {
            ExpectEncodedAsTheReference(dir, stem, v.source, v.encodeArgs, length, packets);
        }
    }
}

TEST(CliRunTest, DecodesToFilesAndDropsWindows) {
    QUORBEL_REQUIRE_VECTORS(dir);
    const auto packets = test::ReadBytes(dir / "grad320x240-l118-drop10.bin");
    const auto expected = test::ReadBytes(dir / "grad320x240-l118-drop10-decoded.jpg");
    // -t drops windows: all of them at 100 % (no image), none at 0 %.
    EXPECT_EQ(RunProgram({"-d", "-l", "118", "-t", "100"}, BytesToString(packets)).status, 1);
    EXPECT_TRUE(RunProgram({"-d", "-l", "118", "-t", "0"}, BytesToString(packets)).out ==
                BytesToString(expected));
    const testing::TempFolder folder;
    const std::string output = folder.File("decoded.jpg");
    const ProgramRun toFile =
        RunProgram({"-d", "-l", "118", (dir / "grad320x240-l118-drop10.bin").string(), output});
    EXPECT_EQ(toFile.status, 0);
    EXPECT_TRUE(toFile.out.empty());
    EXPECT_TRUE(test::ReadBytes(output) == expected);
    // No valid packet: the reference's messages, then status 1 and the previous picture stays
    // untouched (the reference writes an empty picture).
    const ProgramRun empty = RunProgram({"-d", "-l", "118", (dir / "empty.bin").string(), output});
    EXPECT_EQ(empty.status, 1);
    EXPECT_EQ(empty.err.rfind(ReadLoggedStderr(dir / "empty-decoded.log"), 0), 0U) << empty.err;
    EXPECT_TRUE(test::ReadBytes(output) == expected);
}

using ::quorbel::testing::FileNames;

// Both modes write their output beside the target and rename it over it: a write that fails
// halfway (the built program under a file-size limit, which makes the system's write fail with
// EFBIG) leaves the file that stood there byte for byte and nothing beside it; without the limit
// the output replaces it and keeps its permissions. A device is still written in place.
TEST(CliRunTest, AWriteFailingHalfwayKeepsTheOldOutputWhole) {
    const testing::TempFolder folder;
    const std::filesystem::path dir = folder.Path();
    const std::string jpeg = BytesToString(test::MakeJpeg({.width = 320, .height = 240}));
    const ProgramRun encoded = RunProgram({"-e", "-c", "QRBL", "-i", "3", "-l", "118"}, jpeg);
    ASSERT_EQ(encoded.status, 0) << encoded.err;
    const ProgramRun decoded = RunProgram({"-d", "-l", "118"}, encoded.out);
    ASSERT_EQ(decoded.status, 0) << decoded.err;
    folder.Write("picture.jpg", jpeg);
    folder.Write("packets.bin", encoded.out);

    constexpr std::size_t kLimit = 4 * 512;  // ulimit -f counts blocks of 512 bytes
    const struct {
        const char* mode;
        const char* input;
        const std::string& expected;
    } cases[] = {{"-d", "packets.bin", decoded.out},
                 {"-e -c QRBL -i 3", "picture.jpg", encoded.out}};
    for (const auto& c : cases) {
        ASSERT_GT(c.expected.size(), kLimit) << c.mode;
        const auto target = dir / "target";
        const std::string old(1000, 'o');
        folder.Write("target", old);
        std::filesystem::permissions(target, std::filesystem::perms::owner_read |
                                                 std::filesystem::perms::owner_write |
                                                 std::filesystem::perms::group_read);
        const std::string args =
            std::string(c.mode) + " -l 118 " + (dir / c.input).string() + " " + target.string();
        const ProgramRun limited =
            RunBuiltProgram("trap '' XFSZ; ulimit -f 4; ", args, "/dev/null");
        EXPECT_EQ(limited.status, 255) << c.mode;
        EXPECT_NE(limited.err.find("Error writing '" + target.string() + "'"), std::string::npos)
            << limited.err;
        EXPECT_EQ(BytesToString(test::ReadBytes(target)), old) << c.mode;
        EXPECT_EQ(FileNames(dir),
                  (std::vector<std::string>{"packets.bin", "picture.jpg", "target"}));

        const ProgramRun whole = RunBuiltProgram("", args, "/dev/null");
        EXPECT_EQ(whole.status, 0) << whole.err;
        EXPECT_TRUE(BytesToString(test::ReadBytes(target)) == c.expected) << c.mode;
        EXPECT_EQ(std::filesystem::status(target).permissions() & std::filesystem::perms::all,
                  std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                      std::filesystem::perms::group_read);
        EXPECT_EQ(FileNames(dir),
                  (std::vector<std::string>{"packets.bin", "picture.jpg", "target"}));
    }
    // The whole output is on the disk under its temporary name before it takes the target's,
    // then the folder with the rename; a device is not flushed.
    {
        testing::RecordedDiskSync sync;
        const auto target = dir / "target";
        EXPECT_EQ(
            RunProgram({"-d", "-l", "118", (dir / "packets.bin").string(), target.string()}).status,
            0);
        ASSERT_EQ(sync.flushes.size(), 2u);
        EXPECT_TRUE(sync.flushes[0].path.starts_with(target.string() + ".part"))
            << sync.flushes[0].path;
        EXPECT_TRUE(sync.flushes[0].contents == decoded.out);
        EXPECT_EQ(sync.flushes[1].path, dir.string());
        sync.flushes.clear();
        EXPECT_EQ(
            RunProgram({"-d", "-l", "118", (dir / "packets.bin").string(), "/dev/null"}).status, 0);
        EXPECT_TRUE(sync.flushes.empty());
    }
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
}

// -v adds two lines per packet, equal to the reference's including the repaired byte count, and
// reports skipped bytes; the picture stays the same.
TEST(CliRunTest, VerbosePacketLinesMatchTheReferenceLogs) {
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
    // Packets, the reference's log, and what the run must report in particular.
    for (const auto& [file, log, shows] :
         {std::tuple{"grad320x240-l118-junk", "grad320x240-l118-verbose.log",
                     "Skipped 7 bytes.\nDecoded image packet. Callsign: \"QRBL01\", Image ID: 1, "
                     "Resolution: 320x240, Packet ID: 10 (0 errors corrected)\n"},
          std::tuple{"grad320x240-l118-corrupt1", "grad320x240-l118-corrupt1-verbose.log",
                     "Packet ID: 30 (1 errors corrected)\n"}}) {
        const std::string stem = file;
        const ProgramRun run =
            RunProgram({"-dvl118"}, BytesToString(test::ReadBytes(dir / (stem + ".bin"))));
        EXPECT_EQ(packetLines(run.err), packetLines(ReadLoggedStderr(dir / log))) << stem;
        EXPECT_NE(run.err.find(shows), std::string::npos) << stem;
        EXPECT_TRUE(run.out == BytesToString(test::ReadBytes(dir / (stem + "-decoded.jpg"))))
            << stem;
    }
}

}  // namespace
}  // namespace quorbel::ssdv
