// quorbel-samplegen: writes a realistic KISS capture file of a QUORBEL pass.
#include <cstring>
#include <exception>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "sample_frames.hpp"

namespace {

void Usage() {
    std::cerr << "usage: quorbel-samplegen [--beacons N] [--sensors N] [--texts N] [--digis N]\n"
                 "                         [--ssdv N] [--unknown N] [--spacecraft ID] [--seed S]\n"
                 "                         [--start SECONDS] [--picture FILE.jpg] [--image-id N]\n"
                 "                         [--passes N [--pass-minutes M]] OUTPUT.kss\n"
                 "--start: the receive time of the first frame, in seconds since 1970\n"
                 "         (default 1700000000, 2023-11-14 22:13:20 UTC)\n"
                 "--picture: the SSDV frames carry every packet of this JPEG picture (image 7)\n"
                 "--image-id: the image ID of the SSDV frames (default: 2, or 7 with --picture)\n"
                 "--passes: N passes, one every M minutes (default 90), their beacons drifting\n"
                 "          with the mission's days and seasons from the first one on\n";
}

int Run(int argc, char** argv) {
    quorbel::samples::PassOptions options;
    std::string output;
    std::string picture;
    int imageId = 7;  // of the picture; the SSDV-like packets keep theirs unless it is given
    int passes = 1;
    int passMinutes = 90;
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
        else if (arg == "--start" && i + 1 < argc)
            options.startMilliseconds = std::stoll(argv[++i]) * 1000;
        else if (arg == "--picture" && i + 1 < argc)
            picture = argv[++i];
        else if (arg == "--image-id")
            ok = number(imageId), options.ssdvImageId = imageId;
        else if (arg == "--passes")
            ok = number(passes) && passes > 0;
        else if (arg == "--pass-minutes")
            ok = number(passMinutes) && passMinutes > 0;
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
    if (!picture.empty()) {
        std::ifstream file(picture, std::ios::binary);
        const std::vector<std::uint8_t> jpeg((std::istreambuf_iterator<char>(file)),
                                             std::istreambuf_iterator<char>());
        options.picturePackets = quorbel::samples::EncodePicturePackets(jpeg, imageId);
        if (options.picturePackets.empty()) {
            std::cerr << "quorbel-samplegen: " << picture << " is no picture the codec can send\n";
            return 1;
        }
    }
    if (passes > 1)
        options.missionStartMs = options.startMilliseconds;
    const quorbel::samples::Bytes capture =
        passes > 1 ? quorbel::samples::MakePassesCapture(options, passes, passMinutes)
                   : quorbel::samples::MakePassCapture(options);
    if (!quorbel::samples::WriteBytes(output, capture)) {
        std::cerr << "quorbel-samplegen: cannot write " << output << "\n";
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // The one exception boundary: a number that does not read, or any other failure, ends the
    // tool with a message instead of an abort.
    try {
        return Run(argc, argv);
    } catch (const std::exception& failure) {
        std::cerr << "quorbel-samplegen: " << failure.what() << "\n";
    }
    return 1;
}
