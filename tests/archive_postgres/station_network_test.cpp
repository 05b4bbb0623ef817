// A network of four stations end to end: four `listen` processes, each with its own station name
// and its own KISS server sending the same pass in random pieces, write one archive on a
// PostgreSQL server that is stopped for 20 s in the middle of the pass.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <limits>
#include <thread>

#include "archive/archive_location.hpp"
#include "pg_connection.hpp"
#include "postgres_archive.hpp"
#include "sample_frames.hpp"
#include "sqlite_archive.hpp"
#include "support/postgres_server.hpp"
#include "support/temp_folder.hpp"

extern char** environ;

namespace quorbel {
namespace {

constexpr int kStations = 4;
constexpr int kFrames = 3000;
constexpr const char* kRate = "100";  // frames per second: the pass lasts 30 s

// A KISS server sending the capture once at the rate, cut at random places (its own seed); its
// port is read from its first lines.
FILE* StartReplay(const std::string& capture, int seed, std::string& port) {
    const std::string command = std::string(QUORBEL_BIN_DIR) + "/quorbel-kiss-replay '" + capture +
                                "' --port 0 --once --chunk random --seed " + std::to_string(seed) +
                                " --rate " + kRate + " --max-seconds 300";
    FILE* server = popen(command.c_str(), "r");
    std::array<char, 256> line{};
    while (server != nullptr && port.empty() &&
           fgets(line.data(), line.size(), server) != nullptr) {
        const std::string text = line.data();
        if (text.starts_with("listening on 127.0.0.1:"))
            port = text.substr(23, text.find_last_not_of("\r\n") - 22);
    }
    return server;
}

// quorbel-cli listen in the station's application folder, writing to the archive at the URL.
pid_t StartListen(const std::string& appDir, const std::string& url, const std::string& port) {
    const std::string program = std::string(QUORBEL_BIN_DIR) + "/quorbel-cli";
    std::vector<std::string> args = {program,  "--app-dir", appDir,      "--archive",
                                     url,      "listen",    "--seconds", "300",
                                     "--host", "127.0.0.1", "--port",    port};
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    const std::string out = appDir + "/listen.out";
    posix_spawn_file_actions_addopen(&files, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&files, 1, 2);  // one file offset: no line overwrites another
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), &files, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&files);
    return pid;
}

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
    samples::PassOptions options;
    options.beacons = 1800;
    options.sensorFrames = 1200;
    options.textMessages = 0;
    options.digipeatedMessages = 0;
    options.ssdvPackets = 0;
    options.unknownFrames = 0;
    const std::string capture = folder.Path() + "/pass.kss";
    ASSERT_TRUE(samples::WriteBytes(capture, samples::MakePassCapture(options)));

    std::vector<FILE*> replays;
    std::vector<pid_t> listens;
    for (int station = 0; station < kStations; ++station) {
        std::string port;
        replays.push_back(StartReplay(capture, station + 1, port));
        ASSERT_FALSE(port.empty());
        const std::string appDir = folder.Path() + "/station" + std::to_string(station);
        std::filesystem::create_directory(appDir);
        std::ofstream(appDir + "/conf.ini") << "STATION=Station" << station << "\n";
        listens.push_back(StartListen(appDir, url, port));
        ASSERT_GT(listens.back(), 0);
    }
    std::this_thread::sleep_for(std::chrono::seconds(6));
    server.Stop();
    std::this_thread::sleep_for(std::chrono::seconds(20));
    ASSERT_TRUE(server.Start());
    for (int station = 0; station < kStations; ++station) {
        int status = -1;
        ASSERT_EQ(::waitpid(listens[static_cast<std::size_t>(station)], &status, 0),
                  listens[static_cast<std::size_t>(station)]);
        const std::string out = testing::TempFolder::Read(folder.Path() + "/station" +
                                                          std::to_string(station) + "/listen.out");
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << out.substr(out.size() > 1500 ? out.size() - 1500 : 0);
        // The outage was said, with the frames that waited.
        EXPECT_NE(out.find("received frames wait in"), std::string::npos) << station;
        pclose(replays[static_cast<std::size_t>(station)]);
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
