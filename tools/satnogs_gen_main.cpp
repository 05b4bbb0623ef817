// satnogs-gen: writes a generated SatNOGS export to a file, for tests and benchmarks by hand.
// Usage: satnogs-gen OUTPUT [LINES [STATIONS [SEED]]] [--lf] [--no-final-break]
//        [--no-duplicates] [--full-length]
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

#include "satnogs_gen.hpp"

namespace {

bool IsWholeNumber(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

}  // namespace

int main(int argc, char** argv) {
    const char* usage =
        "usage: satnogs-gen OUTPUT [LINES [STATIONS [SEED]]] [--lf] [--no-final-break]\n"
        "                   [--no-duplicates] [--full-length]\n";
    if (argc < 2 || std::string(argv[1]).starts_with("-")) {
        std::cerr << usage;
        return 2;
    }
    quorbel::tools::SatnogsExportOptions options;
    int position = 0;
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--lf") {
            options.lfOnly = true;
        } else if (arg == "--no-final-break") {
            options.finalLineBreak = false;
        } else if (arg == "--no-duplicates") {
            options.duplicateRate = 0;
        } else if (arg == "--full-length") {
            options.shortStationRate = 0;
        } else if (!IsWholeNumber(arg) || position > 2) {
            std::cerr << usage;
            return 2;
        } else if (position == 0) {
            options.lines = std::atoi(arg.c_str()), ++position;
        } else if (position == 1) {
            options.stations = std::atoi(arg.c_str()), ++position;
        } else {
            options.seed = static_cast<std::uint32_t>(std::strtoul(arg.c_str(), nullptr, 10));
            ++position;
        }
    }
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out << quorbel::tools::GenerateSatnogsExport(options);
    out.close();
    if (!out) {
        std::cerr << argv[1] << " could not be written\n";
        return 1;
    }
    return 0;
}
