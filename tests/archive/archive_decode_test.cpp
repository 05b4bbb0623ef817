// DecodeForArchive: each kind's contents from the bytes alone, and no trace of an earlier frame.
#include <gtest/gtest.h>

#include "archive/archive.hpp"
#include "sample_frames.hpp"

namespace quorbel {
namespace {

samples::FieldValues SomeValues() {
    samples::FieldValues values{};
    for (std::size_t i = 0; i < values.size(); ++i)
        values[i] = static_cast<double>(i % 7);
    return values;
}

// What the dispatch itself gives for the frame in a fresh buffer.
DecodedFrame DispatchFresh(const samples::Bytes& bytes, const std::string& rxTimeText) {
    FrameState frame;
    frame.rxTimeText = rxTimeText;
    return DispatchFrame(frame, bytes);
}

TEST(ArchiveDecodeTest, EachKindKeepsWhatItsDecoderGives) {
    const samples::Bytes beacon = samples::MakeBeacon(22, SomeValues());
    const ArchiveDecode b = DecodeForArchive(beacon, "2024-01-02 03:04:05");
    EXPECT_EQ(b.kind, FrameKind::Beacon);
    EXPECT_EQ(b.spacecraftId, 22);
    EXPECT_EQ(b.satellite, "QUORBEL-1U");
    EXPECT_EQ(b.firstField, 0);
    const DecodedFrame direct = DispatchFresh(beacon, "");
    ASSERT_EQ(b.values.size(), static_cast<std::size_t>(direct.record.decodedCount));
    EXPECT_EQ(b.values.size(), 67u);
    for (std::size_t i = 0; i < b.values.size(); ++i)
        EXPECT_EQ(b.values[i], direct.record.values[i]) << "field " << i;

    const samples::Bytes sensor = samples::MakeSensorFrame(37, SomeValues(), 123456789);
    const ArchiveDecode s = DecodeForArchive(sensor, "t");
    EXPECT_EQ(s.kind, FrameKind::Sensor);
    EXPECT_EQ(s.satellite, "QUORBEL-1V");
    EXPECT_EQ(s.firstField, 70);
    const DecodedFrame sensorDirect = DispatchFresh(sensor, "");
    ASSERT_EQ(s.values.size(), static_cast<std::size_t>(sensorDirect.record.decodedCount));
    EXPECT_EQ(s.values.size(), 37u);
    EXPECT_EQ(s.values[0], sensorDirect.record.values[70]);

    const ArchiveDecode text =
        DecodeForArchive(samples::MakeTextMessage(22, "HELLO GROUND"), "2024-01-02 03:04:05");
    EXPECT_EQ(text.kind, FrameKind::TextMessage);
    EXPECT_NE(text.text.find("HELLO GROUND"), std::string::npos);
    EXPECT_NE(text.text.find("2024-01-02 03:04:05"), std::string::npos);
    EXPECT_TRUE(text.text.back() != '\n' && text.text.back() != '\r') << text.text;

    const ArchiveDecode digi = DecodeForArchive(
        samples::MakeDigipeatedMessage(22, "DL1ABC", "G4XYZ", "73 FROM ORBIT"), "x");
    EXPECT_EQ(digi.kind, FrameKind::DigipeatedMessage);
    EXPECT_NE(digi.text.find("73 FROM ORBIT"), std::string::npos);
    EXPECT_NE(digi.text.find("G4XYZ"), std::string::npos);
    EXPECT_TRUE(digi.text.back() != '\n' && digi.text.back() != '\r');

    std::vector<std::uint8_t> packet(kSsdvPacketSize, 0);
    // The SSDV sync and type bytes, image ID 9 and packet ID 0x0123.
    packet[0] = 0x55, packet[1] = 0x67, packet[6] = 9, packet[7] = 0x01, packet[8] = 0x23;
    const ArchiveDecode ssdv = DecodeForArchive(samples::MakeSsdvFrame(22, packet), "x");
    EXPECT_EQ(ssdv.kind, FrameKind::SsdvPacket);
    const DecodedFrame ssdvDirect = DispatchFresh(samples::MakeSsdvFrame(22, packet), "x");
    EXPECT_EQ(ssdv.imageId, ssdvDirect.packet.imageId);
    EXPECT_EQ(ssdv.packetId, ssdvDirect.packet.packetId);
    EXPECT_EQ(ssdv.packetId, 0x0123);

    const ArchiveDecode unknown = DecodeForArchive(samples::MakeFrame(22, 777, {}), "x");
    EXPECT_EQ(unknown.kind, FrameKind::None);
    EXPECT_TRUE(unknown.values.empty());
    EXPECT_EQ(DecodeForArchive({}, "").kind, FrameKind::None);
}

TEST(ArchiveDecodeTest, ShortFrameIsDecodedFromItsOwnBytesOnly) {
    // A truncated beacon: the buffer past its end holds zeros, never the bytes of the frame
    // decoded before it, so the same bytes always give the same values.
    samples::Bytes truncated = samples::MakeBeacon(22, SomeValues());
    truncated.resize(40);
    const ArchiveDecode alone = DecodeForArchive(truncated, "x");
    DecodeForArchive(samples::MakeBeacon(22, SomeValues()), "x");
    const ArchiveDecode after = DecodeForArchive(truncated, "x");
    EXPECT_EQ(alone.values, after.values);
    EXPECT_EQ(after.kind, FrameKind::Beacon);
    const DecodedFrame direct = DispatchFresh(truncated, "x");
    EXPECT_EQ(after.values.size(), static_cast<std::size_t>(direct.record.decodedCount));
}

void ExpectSameDecode(const ArchiveDecode& a, const ArchiveDecode& b, const char* what) {
    EXPECT_EQ(a.kind, b.kind) << what;
    EXPECT_EQ(a.spacecraftId, b.spacecraftId) << what;
    EXPECT_EQ(a.satellite, b.satellite) << what;
    EXPECT_EQ(a.firstField, b.firstField) << what;
    EXPECT_EQ(a.values, b.values) << what;
    EXPECT_EQ(a.text, b.text) << what;
    EXPECT_EQ(a.imageId, b.imageId) << what;
    EXPECT_EQ(a.packetId, b.packetId) << what;
}

TEST(ArchiveDecodeTest, DecodeIntoAReusedResultLeavesNothingOfTheFrameBefore) {
    std::vector<std::uint8_t> packet(kSsdvPacketSize, 0);
    packet[0] = 0x55, packet[1] = 0x67, packet[6] = 9, packet[7] = 0x01, packet[8] = 0x23;
    samples::Bytes truncated = samples::MakeBeacon(22, SomeValues());
    truncated.resize(40);
    const std::vector<std::pair<const char*, samples::Bytes>> frames = {
        {"beacon", samples::MakeBeacon(22, SomeValues())},
        {"text", samples::MakeTextMessage(22, "HELLO GROUND")},
        {"sensor", samples::MakeSensorFrame(37, SomeValues(), 123456789)},
        {"ssdv", samples::MakeSsdvFrame(22, packet)},
        {"unknown", samples::MakeFrame(22, 777, {})},
        {"truncated beacon", truncated},
        {"empty", {}},
    };
    ArchiveDecode reused;
    for (const auto& [what, bytes] : frames) {
        DecodeForArchive(bytes, "2024-01-02 03:04:05", reused);
        ExpectSameDecode(reused, DecodeForArchive(bytes, "2024-01-02 03:04:05"), what);
    }

    // A reception prepared ahead gives the archive what it would make itself.
    Reception reception;
    reception.bytes = frames[0].second;
    reception.rxTimeText = "2024-01-02 03:04:05";
    ArchiveDecode made;
    const std::int64_t digest = DigestOf(reception);
    const ArchiveDecode unprepared = DecodeOf(reception, made);
    PrepareForArchive(reception);
    ASSERT_TRUE(reception.digest && reception.decode);
    EXPECT_EQ(DigestOf(reception), digest);
    ExpectSameDecode(DecodeOf(reception, made), unprepared, "prepared");
}

}  // namespace
}  // namespace quorbel
