// The SQLite archive on real files: which receptions make a frame, reading frames back, field
// series against a direct computation, statistics, Rebuild, and a file of a newer schema.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>

#include "archive/field_series.hpp"
#include "archive_test_frames.hpp"
#include "sqlite_archive.hpp"
#include "storage_faults.hpp"
#include "support/same_series.hpp"
#include "support/temp_folder.hpp"

namespace quorbel {
namespace {

using testing::kStartMs;
using testing::MakeReception;
using testing::RandomValueFrame;
constexpr std::int64_t kMinute = 60'000;
constexpr TimeRange kAllTime{0, std::int64_t{1} << 62};

std::vector<StoredFrame> AllFrames(Archive& archive) {
    std::vector<StoredFrame> frames;
    archive.ReadFrames(kAllTime, [&](const StoredFrame& frame) {
        frames.push_back(frame);
        return true;
    });
    return frames;
}

// An archive file of its own in a temporary folder, open.
class SqliteArchiveTest : public ::testing::Test {
  protected:
    ::quorbel::testing::TempFolder folder;
    const std::string path = folder.File("archive.sqlite");
    std::unique_ptr<Archive> archive = OpenSqliteArchive(path);
};

TEST_F(SqliteArchiveTest, SameBytesWithinTheWindowAreOneFrame) {
    const auto beacon = RandomValueFrame(2);
    const auto other = RandomValueFrame(4);

    const std::vector<Reception> first = {
        MakeReception(beacon, kStartMs, "DL0ABC"),
        MakeReception(beacon, kStartMs + 5 * kMinute, "G4XYZ"),    // another station: joins
        MakeReception(beacon, kStartMs + 5 * kMinute, "G4XYZ"),    // the very same: nothing
        MakeReception(beacon, kStartMs + 11 * kMinute, "DL0ABC"),  // later: a new transmission
        MakeReception(other, kStartMs + 1 * kMinute, ""),
    };
    WriteCount count = archive->Write(first);
    EXPECT_EQ(count.newFrames, 3);
    EXPECT_EQ(count.newReceptions, 4);

    // The same file again adds nothing; the same reception from another file is another one.
    count = archive->Write(first);
    EXPECT_EQ(count.newFrames, 0);
    EXPECT_EQ(count.newReceptions, 0);
    const std::vector<Reception> elsewhere = {
        MakeReception(beacon, kStartMs, "DL0ABC", ReceptionSource::CaptureFile, "pass.kss")};
    count = archive->Write(elsewhere);
    EXPECT_EQ(count.newFrames, 0);
    EXPECT_EQ(count.newReceptions, 1);

    // An earlier reception within the window joins and becomes the frame's first reception.
    const std::vector<Reception> earlier = {MakeReception(beacon, kStartMs - 3 * kMinute, "EA1")};
    EXPECT_EQ(archive->Write(earlier).newFrames, 0);

    const auto frames = AllFrames(*archive);
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0].firstRxTimeMs, kStartMs - 3 * kMinute);
    EXPECT_EQ(frames[0].station, "EA1");
    EXPECT_EQ(frames[0].receptions, 4);
    EXPECT_EQ(frames[0].bytes, beacon);
    EXPECT_EQ(frames[0].kind, FrameKind::Beacon);
    EXPECT_EQ(frames[1].bytes, other);
    EXPECT_EQ(frames[1].station, "");
    EXPECT_EQ(frames[2].firstRxTimeMs, kStartMs + 11 * kMinute);
    EXPECT_EQ(frames[2].receptions, 1);

    // The value blocks follow the earlier first reception too.
    const FieldSeries series = archive->QueryField(0, kAllTime, 100);
    ASSERT_EQ(series.points.size(), 3u);
    EXPECT_EQ(series.points[0].timeMs, kStartMs - 3 * kMinute);
}

TEST_F(SqliteArchiveTest, FramesAreReadInFirstReceptionOrderAndMessagesKept) {
    std::vector<Reception> batch;
    // Newest first, as in a SatNOGS export; two frames at the same time keep storing order.
    for (int i = 9; i >= 0; --i)
        batch.push_back(MakeReception(RandomValueFrame(static_cast<std::uint32_t>(i)),
                                      kStartMs + (i / 2) * kMinute));
    batch.push_back(MakeReception(samples::MakeTextMessage(22, "HI"), kStartMs + 30 * kMinute));
    archive->Write(batch);
    const auto frames = AllFrames(*archive);
    ASSERT_EQ(frames.size(), 11u);
    for (std::size_t i = 1; i < frames.size(); ++i) {
        EXPECT_LE(frames[i - 1].firstRxTimeMs, frames[i].firstRxTimeMs);
        if (frames[i - 1].firstRxTimeMs == frames[i].firstRxTimeMs) {
            EXPECT_LT(frames[i - 1].id, frames[i].id);
        }
    }
    EXPECT_EQ(frames.back().kind, FrameKind::TextMessage);
    EXPECT_EQ(frames.back().firstRxTimeText, batch.back().rxTimeText);

    // A range, and stopping early; the visit may read the archive itself meanwhile.
    int seen = 0;
    archive->ReadFrames({kStartMs + kMinute, kStartMs + 3 * kMinute}, [&](const StoredFrame&) {
        ++seen;
        EXPECT_EQ(archive->QueryField(0, kAllTime, 100).points.size(), 5u);
        return seen < 3;
    });
    EXPECT_EQ(seen, 3);

    // The counts by kind are those of the frames read, in a range that cuts through the beacons.
    const TimeRange cut{kStartMs + kMinute, kStartMs + 31 * kMinute};
    std::map<FrameKind, std::int64_t> read;
    archive->ReadFrames(cut, [&](const StoredFrame& frame) { return ++read[frame.kind] > 0; });
    EXPECT_EQ(archive->CountFrames(cut), read);
    EXPECT_EQ(read,
              (std::map<FrameKind, std::int64_t>{
                  {FrameKind::Beacon, 4}, {FrameKind::Sensor, 4}, {FrameKind::TextMessage, 1}}));
    EXPECT_TRUE(archive->CountFrames({0, kStartMs}).empty());
    EXPECT_NE(testing::QueryText(path, "SELECT text FROM message").find("HI"), std::string::npos);
}

// Random beacons and sensor frames in many batches over several blocks, by two connections in
// turn: every field's series is what a direct computation over DecodeForArchive gives.
TEST_F(SqliteArchiveTest, FieldSeriesMatchDirectComputation) {
    auto& first = archive;
    auto second = OpenSqliteArchive(path);
    std::mt19937 random(3);
    std::map<int, std::vector<std::pair<std::int64_t, double>>> samples;  // field: (time, value)
    const int kFrames = 9'000;
    std::vector<Reception> batch;
    for (int i = 0; i < kFrames; ++i) {
        const auto bytes = RandomValueFrame(static_cast<std::uint32_t>(i + 1000));
        const std::int64_t time = kStartMs + static_cast<std::int64_t>(random() % 86'400'000);
        const ArchiveDecode decode = DecodeForArchive(bytes, "");
        for (std::size_t k = 0; k < decode.values.size(); ++k)
            samples[decode.firstField + static_cast<int>(k)].push_back({time, decode.values[k]});
        batch.push_back(MakeReception(bytes, time));
        if (batch.size() == 700 || i == kFrames - 1) {
            (i % 1400 < 700 ? first : second)->Write(batch);
            batch.clear();
        }
    }
    const TimeRange range{kStartMs + 3'600'000, kStartMs + 80'000'000};
    for (const int field : {0, 5, 33, 66, 70, 71, 90, 106}) {
        for (const int buckets : {50, 2000, 100'000}) {
            FieldSeriesBuilder direct(field, range, buckets);
            for (const auto& [time, value] : samples[field])
                direct.Add(time, value);
            SCOPED_TRACE("field " + std::to_string(field) + ", " + std::to_string(buckets));
            ::quorbel::testing::ExpectSameSeries(second->QueryField(field, range, buckets),
                                                 direct.Finish());
        }
    }
    EXPECT_THROW(first->QueryField(68, range, 10), ArchiveError);
}

TEST_F(SqliteArchiveTest, StatsAndStations) {
    EXPECT_FALSE(archive->Extent());
    const auto beacon = RandomValueFrame(2);
    const std::vector<Reception> batch = {
        MakeReception(beacon, kStartMs, "A"),
        MakeReception(beacon, kStartMs + 1000, "B"),
        MakeReception(RandomValueFrame(3), kStartMs + 2000, "B"),
        MakeReception(RandomValueFrame(5), kStartMs + 3000, "B"),
        MakeReception(samples::MakeTextMessage(22, "X"), kStartMs + 4000, "A"),
        MakeReception(samples::MakeFrame(22, 999, {}), kStartMs + 5000, ""),
    };
    archive->Write(batch);
    const ArchiveStats stats = archive->Stats();
    EXPECT_EQ(stats.location, path);
    EXPECT_EQ(stats.schemaVersion, 1);
    EXPECT_GT(stats.fileBytes, 0);
    ASSERT_TRUE(stats.firstRxTimeMs && stats.lastRxTimeMs);
    EXPECT_EQ(*stats.firstRxTimeMs, kStartMs);
    EXPECT_EQ(*stats.lastRxTimeMs, kStartMs + 5000);
    std::map<FrameKind, std::pair<std::int64_t, std::int64_t>> kinds;
    for (const KindCount& kind : stats.kinds)
        kinds[kind.kind] = {kind.frames, kind.receptions};
    EXPECT_EQ(kinds[FrameKind::Beacon], std::make_pair(std::int64_t{1}, std::int64_t{2}));
    EXPECT_EQ(kinds[FrameKind::Sensor], std::make_pair(std::int64_t{2}, std::int64_t{2}));
    EXPECT_EQ(kinds[FrameKind::TextMessage], std::make_pair(std::int64_t{1}, std::int64_t{1}));
    EXPECT_EQ(kinds[FrameKind::None], std::make_pair(std::int64_t{1}, std::int64_t{1}));
    ASSERT_EQ(stats.stations.size(), 3u);
    EXPECT_EQ(stats.stations[0].station, "B");
    EXPECT_EQ(stats.stations[0].frames, 3);
    EXPECT_EQ(stats.stations[1].station, "A");
    EXPECT_EQ(stats.stations[1].frames, 2);
    EXPECT_EQ(stats.stations[2].station, "");

    const auto inRange = archive->Stations({kStartMs + 500, kStartMs + 2500});
    ASSERT_EQ(inRange.size(), 1u);
    EXPECT_EQ(inRange[0].frames, 2);
    const auto extent = archive->Extent();
    ASSERT_TRUE(extent);
    EXPECT_EQ(extent->fromMs, kStartMs);
    EXPECT_EQ(extent->toMs, kStartMs + 5001);
}

TEST_F(SqliteArchiveTest, RebuildMakesTheSameValuesFromTheBytes) {
    std::vector<Reception> batch;
    for (int i = 0; i < 10'000; ++i) {
        batch.push_back(
            MakeReception(RandomValueFrame(static_cast<std::uint32_t>(i)), kStartMs + i * 1000));
        if (i % 97 == 0)
            batch.push_back(MakeReception(samples::MakeTextMessage(22, "M" + std::to_string(i)),
                                          kStartMs + i * 1000 + 1));
    }
    archive->Write(batch);
    const auto before = archive->QueryField(3, kAllTime, 500);
    const auto beforeSensor = archive->QueryField(80, kAllTime, 20'000);
    const std::string messages = testing::QueryText(path, "SELECT group_concat(text) FROM message");

    // What is kept beside the bytes is lost; Rebuild makes it again.
    testing::QueryText(path, "DELETE FROM field_block WHERE block = 1");
    testing::QueryText(path, "DELETE FROM message");
    std::int64_t lastDone = 0;
    std::int64_t lastTotal = 0;
    archive->Rebuild([&](std::int64_t done, std::int64_t total) {
        EXPECT_GE(done, lastDone);
        lastDone = done;
        lastTotal = total;
    });
    EXPECT_EQ(lastDone, 10'000 + 104);
    EXPECT_EQ(lastTotal, lastDone);
    ::quorbel::testing::ExpectSameSeries(archive->QueryField(3, kAllTime, 500), before);
    ::quorbel::testing::ExpectSameSeries(archive->QueryField(80, kAllTime, 20'000), beforeSensor);
    EXPECT_EQ(testing::QueryText(path, "SELECT group_concat(text) FROM message"), messages);

    // Writing goes on after a rebuild into the same blocks.
    archive->Write(std::vector<Reception>{MakeReception(RandomValueFrame(100'000), kStartMs)});
    EXPECT_EQ(archive->QueryField(0, kAllTime, 1).buckets.at(0).count, 5000 + 1);
}

TEST_F(SqliteArchiveTest, NewerOrForeignFilesAreRefusedAndLeftUntouched) {
    archive->Write(std::vector<Reception>{MakeReception(RandomValueFrame(1), 1)});
    archive.reset();
    testing::ExpectNewerAndForeignFilesRefused<ArchiveError>(
        folder, path, "the archive ", [](const std::string& file) { OpenSqliteArchive(file); });
}

}  // namespace
}  // namespace quorbel
