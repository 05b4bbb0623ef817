// A pass of the sample generator with a given number of frames of each kind, in the order of a
// read's diagnostics: beacons, sensor frames, text messages, digipeated messages, SSDV packets and
// frames of an unknown identifier.
#pragma once

#include "sample_frames.hpp"

namespace quorbel::testing {

inline samples::PassOptions PassWithFrames(int beacons, int sensorFrames, int textMessages,
                                           int digipeatedMessages, int ssdvPackets,
                                           int unknownFrames) {
    samples::PassOptions pass;
    pass.beacons = beacons;
    pass.sensorFrames = sensorFrames;
    pass.textMessages = textMessages;
    pass.digipeatedMessages = digipeatedMessages;
    pass.ssdvPackets = ssdvPackets;
    pass.unknownFrames = unknownFrames;
    return pass;
}

}  // namespace quorbel::testing
