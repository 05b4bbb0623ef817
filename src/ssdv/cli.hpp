// The ssdv command line: option parsing and the encode/decode runs behind the program.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace quorbel::ssdv {

enum class CliMode { None, Encode, Decode };

struct CliOptions {
    CliMode mode = CliMode::None;
    bool noFec = false;
    bool verbose = false;
    int dropPercent = 0;
    std::string callsign;
    int imageId = 0;  // low 8 bits are used
    int quality = 4;
    long packetLength = 256;
    std::string input = "-";   // "-" = standard input
    std::string output = "-";  // "-" = standard output
};

struct CliParse {
    std::optional<CliOptions> options;  // nothing: print the usage text and exit with 255
    std::string error;
};

// Parses the arguments after the program name, getopt style: combined flags ("-dl 118",
// "-dl118"), options before or after the file names, "--" ends the options.
CliParse ParseCommandLine(const std::vector<std::string>& args);

// Exit statuses of the program.
inline constexpr int kExitOk = 0;
// Nothing written: decoding found no valid packet, an input is a folder, a device or cannot be
// read, the output is a folder, or an unexpected error reached the program's exception boundary.
inline constexpr int kExitFailure = 1;
inline constexpr int kExitError = 255;  // usage, missing input, write, length or encoding errors

// Runs the program; `in`/`out` stand for standard input/output ("-"), messages go to `err`.
int RunSsdv(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
            std::ostream& err);

// Writes the usage text of the program.
void WriteUsage(std::ostream& out);

}  // namespace quorbel::ssdv
