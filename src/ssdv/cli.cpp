// Option parsing, file handling and messages of the ssdv program.
#include "cli.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <variant>

#include "decoder.hpp"
#include "encoder.hpp"
#include "output_file.hpp"

namespace quorbel::ssdv {
namespace {

// Leading decimal integer like the C library's atoi: optional sign, digits, rest ignored.
long ParseLeadingInteger(const std::string& text) {
    std::size_t at = 0;
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) {
        ++at;
    }
    bool negative = false;
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) {
        negative = text[at] == '-';
        ++at;
    }
    long value = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        value = std::min(value * 10 + (text[at] - '0'), 1L << 40);
    }
    return negative ? -value : value;
}

// Applies one option letter; `value` is its argument for options that take one.
bool ApplyOption(char letter, const std::string& value, CliOptions& options) {
    switch (letter) {
        case 'e':
            options.mode = CliMode::Encode;
            return true;
        case 'd':
            options.mode = CliMode::Decode;
            return true;
        case 'n':
            options.noFec = true;
            return true;
        case 'v':
            options.verbose = true;
            return true;
        case 'c':
            options.callsign = value;
            return true;
        case 'i':
            options.imageId =
                static_cast<int>(static_cast<std::uint8_t>(ParseLeadingInteger(value)));
            return true;
        case 'q':
            options.quality = static_cast<int>(std::clamp(ParseLeadingInteger(value), 0L, 7L));
            return true;
        case 'l':
            options.packetLength = ParseLeadingInteger(value);
            return true;
        case 't':
            options.dropPercent =
                static_cast<int>(std::clamp(ParseLeadingInteger(value), 0L, 100L));
            return true;
        default:
            return false;
    }
}

bool TakesValue(char letter) {
    return letter == 'c' || letter == 'i' || letter == 'q' || letter == 'l' || letter == 't';
}

// Applies the option letters of args[i] ("-d", "-dl118", "-dl 118"); the value of the last letter
// may be the next argument, and then `i` moves on to it. Returns the error, if any.
std::optional<std::string> ApplyOptionArgument(const std::vector<std::string>& args, std::size_t& i,
                                               CliOptions& options) {
    const std::string& arg = args[i];
    for (std::size_t at = 1; at < arg.size(); ++at) {
        const char letter = arg[at];
        std::string value;
        if (TakesValue(letter)) {
            if (at + 1 < arg.size()) {
                value = arg.substr(at + 1);
            } else if (i + 1 < args.size()) {
                value = args[++i];
            } else {
                return std::string("option requires an argument -- '") + letter + "'";
            }
            at = arg.size();
        }
        if (!ApplyOption(letter, value, options)) {
            return std::string("invalid option -- '") + letter + "'";
        }
    }
    return std::nullopt;
}

// An input or output that cannot be used: the message and the exit status.
struct FileProblem {
    std::string message;
    int status = kExitFailure;
};

// Why a named path cannot serve as a file: a folder, a device or anything else that is neither a
// file nor a pipe (a device such as /dev/zero would be read without end).
std::optional<std::string> RefuseNonFile(const std::filesystem::file_status& status) {
    switch (status.type()) {
        case std::filesystem::file_type::regular:
        case std::filesystem::file_type::fifo:
            return std::nullopt;
        case std::filesystem::file_type::directory:
            return "it is a folder, not a file";
        case std::filesystem::file_type::character:
        case std::filesystem::file_type::block:
            return "it is a device, not a file";
        default:
            return "it is not a file";
    }
}

// Reads a stream to its end; nothing when a read fails.
std::optional<std::vector<std::uint8_t>> ReadAll(std::istream& in) {
    std::vector<std::uint8_t> bytes;
    std::array<char, 65536> chunk;
    while (in.read(chunk.data(), chunk.size()) || in.gcount() > 0) {
        bytes.insert(bytes.end(), chunk.data(), chunk.data() + in.gcount());
    }
    if (in.bad()) {
        return std::nullopt;
    }
    return bytes;
}

// Reads the whole input; "-" is `in`. A named input is checked before it is opened, so a folder
// or a device is refused without reading anything.
std::variant<std::vector<std::uint8_t>, FileProblem> ReadInput(const std::string& name,
                                                               std::istream& in) {
    if (name == "-") {
        auto bytes = ReadAll(in);
        if (!bytes) {
            return FileProblem{"Error reading standard input"};
        }
        return *bytes;
    }
    const std::string opening = "Error opening '" + name + "' for input";
    std::error_code error;
    const auto status = std::filesystem::status(name, error);
    if (status.type() == std::filesystem::file_type::not_found) {
        return FileProblem{opening, kExitError};
    }
    if (error) {
        return FileProblem{opening + ": it cannot be read"};
    }
    if (const auto refusal = RefuseNonFile(status)) {
        return FileProblem{opening + ": " + *refusal};
    }
    std::ifstream file(name, std::ios::binary);
    if (!file) {
        return FileProblem{opening + ": it cannot be read"};
    }
    auto bytes = ReadAll(file);
    if (!bytes) {
        return FileProblem{"Error reading '" + name + "'"};
    }
    return *bytes;
}

// Checks the output, then reads the input: a named output that is a folder is refused before
// anything is read (a device such as /dev/null is a fine output).
std::variant<std::vector<std::uint8_t>, FileProblem> ReadFiles(const CliOptions& options,
                                                               std::istream& in) {
    std::error_code error;
    if (options.output != "-" && std::filesystem::is_directory(options.output, error)) {
        return FileProblem{"Error opening '" + options.output +
                           "' for output: it is a folder, not a file"};
    }
    return ReadInput(options.input, in);
}

bool WriteOutput(const std::string& name, const std::vector<std::uint8_t>& bytes,
                 std::ostream& out) {
    if (name != "-") {
        return WriteFileReplacing(name, bytes);
    }
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.flush();
    return static_cast<bool>(out);
}

const char* NameSampling(McuMode mode) {
    switch (mode) {
        case McuMode::H2V2:
            return "2x2";
        case McuMode::H1V2:
            return "1x2";
        case McuMode::H2V1:
            return "2x1";
        case McuMode::H1V1:
            break;
    }
    return "1x1";
}

std::string FormatHex2(int value) {
    static const char kDigits[] = "0123456789ABCDEF";
    return {kDigits[(value >> 4) & 15], kDigits[value & 15]};
}

void PrintImageInfo(const ImageInfo& info, std::ostream& err) {
    err << "Callsign: " << info.callsign << "\n"
        << "Image ID: " << FormatHex2(info.imageId) << "\n"
        << "Resolution: " << info.width << "x" << info.height << "\n"
        << "MCU blocks: " << info.mcuCount << "\n"
        << "Sampling factor: " << NameSampling(info.mode) << "\n"
        << "Quality level: " << info.quality << "\n";
}

int RunDecode(const CliOptions& options, std::istream& in, std::ostream& out, std::ostream& err) {
    if (options.packetLength < static_cast<long>(kMinDecodePacketLength) ||
        options.packetLength > static_cast<long>(kMaxPacketLength)) {
        err << "Invalid SSDV packet length\n";
        return kExitError;
    }
    const auto input = ReadFiles(options, in);
    if (const auto* problem = std::get_if<FileProblem>(&input)) {
        err << problem->message << "\n";
        return problem->status;
    }
    const auto& data = std::get<std::vector<std::uint8_t>>(input);
    DecodeOptions decodeOptions;
    decodeOptions.dropPercent = options.dropPercent;
    decodeOptions.verbose = options.verbose;
    const DecodeResult result =
        DecodeImage(data, static_cast<std::size_t>(options.packetLength), decodeOptions);
    for (const std::string& line : result.packetLog) {
        err << line << "\n";
    }
    if (result.image) {
        PrintImageInfo(*result.image, err);
    }
    for (const std::string& note : result.notes) {
        err << note << "\n";
    }
    err << "Read " << result.packetsRead << " packets\n";
    if (!result.image) {
        err << result.error << "; no image written\n";
        return kExitFailure;
    }
    if (!WriteOutput(options.output, result.jpeg, out)) {
        err << "Error writing '" << options.output << "'\n";
        return kExitError;
    }
    return kExitOk;
}

int RunEncode(const CliOptions& options, std::istream& in, std::ostream& out, std::ostream& err) {
    const auto input = ReadFiles(options, in);
    if (const auto* problem = std::get_if<FileProblem>(&input)) {
        err << problem->message << "\n";
        return problem->status;
    }
    if (options.callsign.size() > 6) {
        err << "Warning: callsign cropped to 6 characters\n";
    }
    EncodeOptions encodeOptions;
    encodeOptions.type = options.noFec ? PacketType::NoFec : PacketType::Fec;
    encodeOptions.callsign = options.callsign;
    encodeOptions.imageId = static_cast<std::uint8_t>(options.imageId);
    encodeOptions.quality = options.quality;
    encodeOptions.packetLength =
        options.packetLength < 0 ? 0 : static_cast<std::size_t>(options.packetLength);
    const EncodeResult result =
        EncodeImage(std::get<std::vector<std::uint8_t>>(input), encodeOptions);
    for (const std::string& line : result.log) {
        err << line << "\n";
    }
    if (!result.ok) {
        err << result.error << "\n";
        return kExitError;
    }
    if (!WriteOutput(options.output, result.packets, out)) {
        err << "Error writing '" << options.output << "'\n";
        return kExitError;
    }
    err << "Wrote " << result.packetCount << " packets\n";
    return kExitOk;
}

}  // namespace

void WriteUsage(std::ostream& out) {
    out << "Usage: ssdv [-e|-d] [-n] [-t <percentage>] [-c <callsign>] [-i <id>] [-q <level>] "
           "[-l <length>] [-v] [<in file>] [<out file>]\n"
           "\n"
           "  -e Encode JPEG to SSDV packets.\n"
           "  -d Decode SSDV packets to JPEG.\n"
           "\n"
           "  -n Encode packets with no FEC.\n"
           "  -t For testing, drops the specified percentage of packets while decoding.\n"
           "  -c Set the callsign. Accepts A-Z 0-9 and space, up to 6 characters.\n"
           "  -i Set the image ID (0-255).\n"
           "  -q Set the JPEG quality level (0 to 7, defaults to 4).\n"
           "  -l Set packet length in bytes (max: 256, default 256).\n"
           "  -v Print data for each packet decoded.\n"
           "\n"
           "A file name of - (or none) means standard input or output.\n";
}

CliParse ParseCommandLine(const std::vector<std::string>& args) {
    CliParse result;
    CliOptions options;
    std::vector<std::string> files;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            files.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (auto error = ApplyOptionArgument(args, i, options)) {
            result.error = *error;
            return result;
        }
    }
    if (files.size() > 2) {
        result.error = "too many file arguments";
        return result;
    }
    if (!files.empty()) {
        options.input = files[0];
    }
    if (files.size() == 2) {
        options.output = files[1];
    }
    result.options = options;
    return result;
}

int RunSsdv(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
            std::ostream& err) {
    const CliParse parsed = ParseCommandLine(args);
    if (!parsed.options) {
        err << "ssdv: " << parsed.error << "\n";
        WriteUsage(err);
        return kExitError;
    }
    switch (parsed.options->mode) {
        case CliMode::Encode:
            return RunEncode(*parsed.options, in, out, err);
        case CliMode::Decode:
            return RunDecode(*parsed.options, in, out, err);
        case CliMode::None:
            break;
    }
    err << "No mode specified.\n";
    return kExitOk;
}

}  // namespace quorbel::ssdv
