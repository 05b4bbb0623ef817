// quorbel-samplegen: writes a realistic KISS capture file of a QUORBEL pass.
#include <cstring>
#include <iostream>
#include <string>

#include "sample_frames.hpp"

namespace {

void Usage() {
    std::cerr << "usage: quorbel-samplegen [--beacons N] [--sensors N] [--texts N] [--digis N]\n"
                 "                         [--ssdv N] [--unknown N] [--spacecraft ID] [--seed S]\n"
                 "                         OUTPUT.kss\n";
}

}  // namespace

int main(int argc, char** argv) {
    quorbel::samples::PassOptions options;
    std::string output;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto number = [&](int& target) {
            if (i + 1 >= argc)
                return false;
            target = std::stoi(argv[++i]);
            return true;
        };
        int seed = 0;
        bool ok = true;
        if (arg == "--beacons")
            ok = number(options.beacons);
        else if (arg == "--sensors")
            ok = number(options.sensorFrames);
        else if (arg == "--texts")
            ok = number(options.textMessages);
        else if (arg == "--digis")
            ok = number(options.digipeatedMessages);
        else if (arg == "--ssdv")
            ok = number(options.ssdvPackets);
        else if (arg == "--unknown")
            ok = number(options.unknownFrames);
        else if (arg == "--spacecraft")
            ok = number(options.spacecraftId);
        else if (arg == "--seed")
            ok = number(seed), options.seed = static_cast<unsigned>(seed);
        else if (!arg.starts_with("--") && output.empty())
            output = arg;
        else
            ok = false;
        if (!ok) {
            Usage();
            return 2;
        }
    }
    if (output.empty()) {
        Usage();
        return 2;
    }
    if (!quorbel::samples::WriteBytes(output, quorbel::samples::MakePassCapture(options))) {
        std::cerr << "quorbel-samplegen: cannot write " << output << "\n";
        return 1;
    }
    return 0;
}
