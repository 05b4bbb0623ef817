// A realistic pass: beacons whose values drift like a real satellite's, sensor frames of a slowly
// tumbling spacecraft, messages, SSDV packets and one frame of an unknown kind, with stamps of
// both forms between the frames.
#include <algorithm>
#include <cmath>
#include <random>

#include "sample_frames.hpp"

namespace quorbel::samples {
namespace {

// The slow part of a mission's beacon values at a moment of the mission: the battery voltage
// falls as the battery ages and swings with the day, the temperatures follow days and seasons.
void AddMissionDrift(FieldValues& v, double missionDays, std::mt19937& random) {
    constexpr double kTwoPi = 6.283185307179586;
    std::normal_distribution<double> noise(0.0, 1.0);
    const double day = std::sin(kTwoPi * missionDays);
    const double season = std::sin(kTwoPi * missionDays / 365.25);
    v[1] = std::round(v[1] - 0.8 * missionDays + 35 * day + 25 * season + 6 * noise(random));
    v[3] = std::round(v[3] + 4 * day + 5 * season);
    v[4] = std::round(v[4] + 3 * day + 6 * season);
    v[17] = std::round(std::clamp(v[17] - missionDays / 40 + 3 * day, 0.0, 100.0));
    v[18] = std::round(v[18] + 3 * day + 5 * season);
    v[29] = std::round(864000 + missionDays * 86400);  // uptime, s
}

FieldValues BeaconValues(int i, std::mt19937& random) {
    std::normal_distribution<double> noise(0.0, 1.0);
    FieldValues v{};
    const double sun = std::sin(i / 25.0);  // in and out of sunlight over the pass
    v[0] = std::round(150 + 250 * sun + 10 * noise(random));     // battery current, mA
    v[1] = std::round(7400 + 60 * sun + 5 * noise(random));      // battery voltage, mV
    v[2] = std::round(3310 + 3 * noise(random));                 // alternative voltage
    v[3] = std::round(18 + 3 * sun);                             // gauge die temperature
    v[4] = std::round(16 + 2 * sun);                             // battery temperature
    v[5] = -180, v[6] = 7180, v[7] = 4;                          // minima since reset
    v[8] = 612, v[9] = 8210, v[10] = 31;                         // maxima
    v[11] = std::round(95 + 5 * sun), v[12] = 7390, v[13] = 17;  // averages
    v[14] = 65535;                                               // time to empty: charging
    v[15] = std::round(2650 + 40 * sun), v[16] = 3000;           // capacities, mAh
    v[17] = std::round(88 + 2 * sun);                            // state of charge, %
    v[18] = std::round(24 + 2 * sun);                            // processor temperature
    v[19] = 3021, v[20] = 0, v[21] = 0, v[22] = 0xA5;            // clock supply, deployment
    v[23] = 7395, v[24] = 412, v[25] = 12, v[26] = 1, v[27] = 0, v[28] = 0x01;
    v[29] = 864000 + 5.0 * i;                                  // uptime, s
    v[30] = 3, v[31] = 0x01;                                   // reset reason, deployed
    v[32] = 2, v[33] = 5, v[34] = 11, v[35] = 0, v[36] = 120;  // reset counters, delay
    v[37] = 0, v[38] = 0x00;
    v[39] = 0x01000000 + (i % 256), v[40] = 0x01040000 + (i % 256);  // link control words
    v[41] = 0x0B, v[42] = 0, v[43] = 96 + i, v[44] = 17;
    v[45] = 1, v[46] = 0, v[47] = 7, v[48] = 0;
    v[49] = 3, v[50] = 0, v[51] = 1, v[52] = 0, v[53] = 1;
    v[54] = 1048576 + 220.0 * i, v[55] = 4096, v[56] = 2;
    v[57] = 14 + i / 10, v[58] = 20311 + i, v[59] = 871 + i / 3, v[60] = 93 + i / 4;
    v[61] = std::round(180 + 20 * std::sin(i / 8.0));  // RSSI
    v[62] = std::round(-120 + 15 * noise(random));     // frequency offset
    v[63] = -3, v[64] = 9600, v[65] = std::round(40 * noise(random)), v[66] = 435525000;
    return v;
}

FieldValues SensorValues(int i, std::mt19937& random) {
    std::normal_distribution<double> noise(0.0, 1.0);
    FieldValues v{};
    const double angle = i * 0.21;
    v[71] = 1000000.0 * i + 250000, v[72] = 10, v[73] = 14 + (i * 7) % 9;
    v[74] = 0.12 + 0.03 * std::sin(i / 5.0);  // dose rate, uSv/h
    v[75] = 18.5 + 0.4 * std::sin(i / 12.0);  // temperature, C
    v[76] = std::cos(angle / 2), v[77] = 0.3 * std::sin(angle / 2);
    v[78] = 0.5 * std::sin(angle / 2), v[79] = 0.81 * std::sin(angle / 2), v[80] = 3;
    v[81] = 28.4 * std::cos(angle), v[82] = 28.4 * std::sin(angle), v[83] = -12.7 + noise(random);
    v[84] = 32768 + std::round(1700 * std::cos(angle)),
    v[85] = 32768 + std::round(1700 * std::sin(angle));
    v[86] = 31900, v[87] = 4210;
    v[88] = 1.2 + 0.05 * noise(random), v[89] = -0.8 + 0.05 * noise(random), v[90] = 3.1;
    v[91] = std::cos(angle / 2), v[92] = 0.28 * std::sin(angle / 2),
    v[93] = 0.52 * std::sin(angle / 2);
    v[94] = 0.8 * std::sin(angle / 2), v[95] = 32790, v[96] = 32750, v[97] = 32890, v[98] = 27011;
    v[99] = 1000000.0 * i + 250100;
    v[100] = 0.02 * noise(random), v[101] = 0.02 * noise(random), v[102] = 0.01 * noise(random);
    v[103] = 32770, v[104] = 32766, v[105] = 32771;
    return v;
}

// An SSDV-like packet: header fields of the image (320 x 240), the rest filler.
Bytes SsdvPacket(int imageId, int packetId, std::mt19937& random) {
    Bytes packet(118, 0);
    packet[0] = 0x55, packet[1] = 0x67;  // sync byte, packet type without forward error correction
    packet[2] = 0x00, packet[3] = 0x5F, packet[4] = 0xA3, packet[5] = 0xC0;  // callsign
    packet[6] = static_cast<std::uint8_t>(imageId);                          // image id
    packet[7] = static_cast<std::uint8_t>(packetId >> 8);
    packet[8] = static_cast<std::uint8_t>(packetId);
    packet[9] = 20, packet[10] = 15, packet[11] = 0x00, packet[12] = 0, packet[13] = 0;
    packet[14] = static_cast<std::uint8_t>(packetId * 3);
    for (std::size_t i = 15; i < packet.size(); ++i)
        packet[i] = static_cast<std::uint8_t>(random());
    return packet;
}

void Append(Bytes& file, const Bytes& piece) {
    file.insert(file.end(), piece.begin(), piece.end());
}

const char* const kTextMessages[] = {
    "QUORBEL-1U nominal, battery charging", "SSDV image 7 queued for downlink",
    "Hello from orbit! 73 de QUORBEL", "Next sensor dump at 22:30 UTC"};

}  // namespace

Bytes MakePassCapture(const PassOptions& options) {
    std::mt19937 random(options.seed);
    Bytes file;
    constexpr std::size_t kPacketSize = 118;
    const int ssdvPackets = options.picturePackets.empty()
                                ? options.ssdvPackets
                                : static_cast<int>(options.picturePackets.size() / kPacketSize);
    const int total = options.beacons + options.sensorFrames + options.textMessages +
                      options.digipeatedMessages + ssdvPackets + options.unknownFrames;
    int beacons = 0, sensors = 0, texts = 0, digis = 0, packets = 0, unknown = 0;
    const auto beacon = [&](std::int64_t ms, int i) {
        FieldValues values = BeaconValues(beacons++, random);
        if (options.missionStartMs) {
            const double missionDays = static_cast<double>(ms - *options.missionStartMs) / 86.4e6;
            AddMissionDrift(values, missionDays, random);
        }
        return MakeBeacon(options.spacecraftId, values, static_cast<std::uint16_t>(i));
    };
    for (int i = 0; i < total; ++i) {
        const std::int64_t ms =
            options.startMilliseconds + 1000LL * options.secondsBetweenFrames * i + 137 * (i % 7);
        // Text stamps as the live client writes them; every tenth a numeric one.
        Append(file, i % 10 == 9 ? KissNumericStamp(static_cast<std::uint64_t>(ms))
                                 : KissTextStamp(UtcStampText(ms)));
        const int slot = i % 6;
        Bytes frame;
        if (beacons < options.beacons && (slot < 3 || sensors >= options.sensorFrames)) {
            frame = beacon(ms, i);
        } else if (sensors < options.sensorFrames && slot < 5) {
            frame = MakeSensorFrame(options.spacecraftId, SensorValues(sensors, random),
                                    static_cast<std::uint64_t>(ms) * 1000,
                                    static_cast<std::uint16_t>(i));
            ++sensors;
        } else if (texts < options.textMessages) {
            frame = MakeTextMessage(options.spacecraftId, kTextMessages[texts % 4]);
            ++texts;
        } else if (digis < options.digipeatedMessages) {
            frame =
                MakeDigipeatedMessage(options.spacecraftId, "CQ", digis % 2 ? "DL1ABC" : "OE3XYZ",
                                      digis % 2 ? "Greetings via QUORBEL digi" : "QSL? 73");
            ++digis;
        } else if (packets < ssdvPackets) {
            frame = options.picturePackets.empty()
                        ? MakeSsdvFrame(options.spacecraftId,
                                        SsdvPacket(options.ssdvImageId, packets, random))
                        : MakeSsdvFrame(options.spacecraftId,
                                        std::span(options.picturePackets)
                                            .subspan(kPacketSize * packets, kPacketSize));
            ++packets;
        } else if (unknown < options.unknownFrames) {
            frame = MakeFrame(options.spacecraftId, 200, Bytes{0xC0, 0xDB, 0x01, 0x02});
            ++unknown;
        } else if (beacons < options.beacons) {
            frame = beacon(ms, i);
        } else {
            frame = MakeSensorFrame(options.spacecraftId, SensorValues(sensors, random),
                                    static_cast<std::uint64_t>(ms) * 1000,
                                    static_cast<std::uint16_t>(i));
            ++sensors;
        }
        Append(file, KissDataFrame(frame));
    }
    return file;
}

Bytes MakePassesCapture(const PassOptions& options, int passes, int minutesBetweenPasses) {
    Bytes file;
    PassOptions pass = options;
    for (int k = 0; k < passes; ++k) {
        pass.startMilliseconds = options.startMilliseconds + 60'000LL * minutesBetweenPasses * k;
        pass.seed = options.seed + static_cast<unsigned>(k);
        Append(file, MakePassCapture(pass));
    }
    return file;
}

}  // namespace quorbel::samples
