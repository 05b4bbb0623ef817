// A network of four stations end to end: four `listen` processes, each with its own station name
// and its own KISS server sending the same pass in random pieces, write one archive on a
// PostgreSQL server that is stopped for 20 s in the middle of the pass.
#include <gtest/gtest.h>

#include <deque>
#include <fstream>
#include <limits>
#include <thread>

#include "archive/archive_location.hpp"
#include "pg_connection.hpp"
#include "postgres_archive.hpp"
#include "sample_frames.hpp"
#include "sqlite_archive.hpp"
#include "support/pass_frames.hpp"
#include "support/postgres_server.hpp"
#include "support/replay_server.hpp"
#include "support/temp_folder.hpp"

namespace quorbel {
namespace {

constexpr int kStations = 4;
constexpr int kFrames = 3000;
// Each station's KISS server sends the capture once, cut at random places (its own seed), at 100
// frames per second: the pass lasts 30 s.
constexpr const char* kReplayOptions = "--once --chunk random --rate 100 --max-seconds 300 --seed ";

std::vector<double> Values(Archive& archive, int field) {
    const TimeRange all{std::numeric_limits<std::int64_t>::min() / 2,
                        std::numeric_limits<std::int64_t>::max() / 2};
    std::vector<double> values;
    for (const FieldPoint& point : archive.QueryField(field, all, 1'000'000).points)
        values.push_back(point.value);
    return values;
}

TEST(StationNetwork, FourStationsWriteOneArchiveThroughAServerThatStopsForTwentySeconds) {
    testing::PostgresServer server;
    if (!server.Problem().empty())
        GTEST_SKIP() << "no PostgreSQL server for the test: " << server.Problem();
    postgres::Connection(server.Url()).Execute("CREATE DATABASE network");
    const std::string url = server.Url("network");

    testing::TempFolder folder;
    const samples::PassOptions options = testing::PassWithFrames(1800, 1200, 0, 0, 0, 0);
    const std::string capture = folder.Path() + "/pass.kss";
    ASSERT_TRUE(samples::WriteBytes(capture, samples::MakePassCapture(options)));

    std::deque<testing::ReplayServer> replays;
    std::deque<testing::ListenProcess> listens;
    for (int station = 0; station < kStations; ++station) {
        replays.emplace_back(std::vector{capture}, kReplayOptions + std::to_string(station + 1));
        ASSERT_FALSE(replays.back().Port().empty());
        const std::string appDir = folder.Path() + "/station" + std::to_string(station);
        std::filesystem::create_directory(appDir);
        std::ofstream(appDir + "/conf.ini") << "STATION=Station" << station << "\n";
        listens.emplace_back(std::vector<std::string>{"--app-dir", appDir, "--archive", url},
                             replays.back().Port(), "300", appDir + "/listen.out", true);
        ASSERT_TRUE(listens.back().Started());
    }
    std::this_thread::sleep_for(std::chrono::seconds(6));
    server.Stop();
    std::this_thread::sleep_for(std::chrono::seconds(20));
    ASSERT_TRUE(server.Start());
    for (int station = 0; station < kStations; ++station) {
        testing::ListenProcess& listen = listens[static_cast<std::size_t>(station)];
        const int status = listen.Wait();
        const std::string out = listen.Out();
        EXPECT_EQ(status, 0) << out.substr(out.size() > 1500 ? out.size() - 1500 : 0);
        // The outage was said, with the frames that waited.
        EXPECT_NE(out.find("received frames wait in"), std::string::npos) << station;
        replays[static_cast<std::size_t>(station)].Close();
    }

    // One frame per frame sent, one reception per station, nothing waiting any more.
    std::unique_ptr<Archive> network = OpenPostgresArchive(url);
    const ArchiveStats stats = network->Stats();
    std::int64_t frames = 0;
    std::int64_t receptions = 0;
    for (const KindCount& kind : stats.kinds) {
        frames += kind.frames;
        receptions += kind.receptions;
    }
    EXPECT_EQ(frames, kFrames);
    EXPECT_EQ(receptions, kStations * kFrames);
    ASSERT_EQ(stats.stations.size(), static_cast<std::size_t>(kStations));
    for (const StationCount& station : stats.stations)
        EXPECT_EQ(station.frames, kFrames) << station.station;
    for (int station = 0; station < kStations; ++station)
        EXPECT_FALSE(std::filesystem::exists(folder.Path() + "/station" + std::to_string(station) +
                                             "/" + kArchiveQueueName));

    // Every field's values, in order, as reading the capture file gives them.
    const std::string fileArchive = folder.Path() + "/from-file.sqlite";
    const std::string read = std::string(QUORBEL_BIN_DIR) + "/quorbel-cli --app-dir '" +
                             folder.Path() + "' --archive '" + fileArchive + "' open-kiss '" +
                             capture + "' > /dev/null";
    ASSERT_EQ(std::system(read.c_str()), 0);
    std::unique_ptr<Archive> file = OpenSqliteArchive(fileArchive);
    for (int field = 0; field < kFieldCount; ++field) {
        if (StoreOfField(field) == FieldStore::None)
            continue;
        const std::vector<double> expected = Values(*file, field);
        EXPECT_EQ(expected.size(), field < 70 ? 1800u : 1200u) << field;
        EXPECT_EQ(Values(*network, field), expected) << "field " << field;
    }
}

}  // namespace
}  // namespace quorbel
