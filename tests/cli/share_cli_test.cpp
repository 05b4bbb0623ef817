// quorbel-cli share, share-status and listen --share end to end: the programs against the SiDS
// test server program, their exit statuses, messages and the outbox file they leave.
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>

#include "cli_run.hpp"
#include "sample_frames.hpp"
#include "shell/commands/share_commands.hpp"
#include "support/replay_server.hpp"
#include "support/sids_server_process.hpp"
#include "support/temp_folder.hpp"

namespace quorbel {
namespace {

using Bytes = std::vector<std::uint8_t>;
using nlohmann::json;
using testing::Arrival;
using testing::CliRun;
using testing::SidsServerProcess;
using testing::TempFolder;

constexpr std::int64_t kStart = 1673786096789;  // 2023-01-15 12:34:56.789 UTC

std::string Hex(const Bytes& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (std::uint8_t byte : bytes)
        text += {digits[byte >> 4], digits[byte & 15]};
    return text;
}

// "2023-01-15T12:34:56.789Z", from the sample tool's capture-file stamp.
std::string IsoTime(std::int64_t ms) {
    std::string text = samples::UtcStampText(ms);
    text = text.substr(0, text.find(" UTC"));
    text[10] = 'T';
    return text + "Z";
}

std::string IsoTimeNow() {
    using namespace std::chrono;
    return IsoTime(duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count());
}

// What PRAGMA integrity_check says of a database file ("ok" when it is whole).
std::string IntegrityCheck(const std::string& path) {
    sqlite3* db = nullptr;
    sqlite3_stmt* check = nullptr;
    std::string result = "not opened";
    if (sqlite3_open(path.c_str(), &db) == SQLITE_OK &&
        sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &check, nullptr) == SQLITE_OK &&
        sqlite3_step(check) == SQLITE_ROW)
        result = reinterpret_cast<const char*>(sqlite3_column_text(check, 0));
    sqlite3_finalize(check);
    sqlite3_close(db);
    return result;
}

// An application folder with the station's conf.ini and its capture files.
class Station {
  public:
    explicit Station(const std::string& confIni) { m_folder.Write("conf.ini", confIni); }
    std::string Path() const { return m_folder.Path(); }
    std::string File(const std::string& name) const { return m_folder.File(name); }
    std::string Outbox() const { return File(kOutboxName); }

    // A capture file of `count` beacons, each after its stamp, `stepMs` apart from `startMs`.
    std::string Capture(const std::string& name, int count, std::int64_t startMs,
                        std::int64_t stepMs = 1'000, std::uint16_t firstSequence = 0) {
        Bytes bytes;
        for (int i = 0; i < count; ++i) {
            samples::FieldValues values{};
            values[3] = firstSequence + i;
            const Bytes beacon =
                samples::MakeBeacon(22, values, static_cast<std::uint16_t>(firstSequence + i));
            for (const Bytes& piece : {samples::KissTextStamp(samples::UtcStampText(startMs)),
                                       samples::KissDataFrame(beacon)})
                bytes.insert(bytes.end(), piece.begin(), piece.end());
            frames.push_back(beacon);
            rxTimesMs.push_back(startMs);
            startMs += stepMs;
        }
        return m_folder.Write(name, bytes);
    }

    // The program on this folder, to its end.
    CliRun Run(std::vector<std::string> args) const {
        const pid_t pid = Start(std::move(args));
        int status = 0;
        if (pid <= 0 || ::waitpid(pid, &status, 0) != pid)
            return {-1, "", "not started"};
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1,
                TempFolder::Read(m_folder.File("out")), TempFolder::Read(m_folder.File("err"))};
    }
    pid_t Start(std::vector<std::string> args) const {
        args.insert(args.begin(),
                    {std::string(QUORBEL_BIN_DIR) + "/quorbel-cli", "--app-dir", m_folder.Path()});
        return testing::SpawnWithOutput(std::move(args), m_folder.File("out"),
                                        m_folder.File("err"));
    }
    json Status() const {
        const CliRun run = testing::RunCliIn({"--app-dir", m_folder.Path(), "share-status"});
        EXPECT_EQ(run.status, 0) << run.err;
        return json::parse(run.out);
    }

    std::vector<Bytes> frames;  // of every capture written, with their receive times
    std::vector<std::int64_t> rxTimesMs;

  private:
    TempFolder m_folder;
};

std::string ConfIni(const SidsServerProcess& server, const std::string& rate = "1000") {
    return "SIDS_URL = " + server.Url() +
           "\r\nNORAD_ID = 99999\r\nCALLSIGN = DL0ABC/P\r\nLATITUDE = 52.52\r\n"
           "LONGITUDE = -13.405\r\nSHARE_RATE = " +
           rate + "\r\n";
}

TEST(ShareCliTest, DryRunPrintsEachRequestAndChangesNothing) {
    SidsServerProcess server("503");
    Station station(ConfIni(server));
    const std::string pass = station.Capture("pass.kss", 6, kStart, 1'234);
    std::string requests;
    for (std::size_t i = 0; i < station.frames.size(); ++i) {
        std::string time = IsoTime(station.rxTimesMs[i]);
        time.replace(time.find(':'), 1, "%3A").replace(time.find(':'), 1, "%3A");
        requests += "POST " + server.Url() + "\nnoradID=99999&source=DL0ABC%2FP&timestamp=" + time +
                    "&frame=" + Hex(station.frames[i]) +
                    "&locator=longLat&longitude=13.4050W&latitude=52.5200N\n";
    }
    CliRun run = station.Run({"share", "--dry-run", pass});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, requests);
    EXPECT_FALSE(std::filesystem::exists(station.Outbox()));
    // Without files and without an outbox: nothing waits.
    run = station.Run({"share", "--dry-run"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(server.Arrivals().empty());

    // A server that is down keeps every frame waiting; the dry run lists them, in receive order.
    run = station.Run({"share", "--seconds", "1", pass});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("6 frames still wait in the outbox"), std::string::npos) << run.err;
    const std::size_t tried = server.Arrivals().size();
    EXPECT_GE(tried, 1u);
    EXPECT_LE(tried, 3u);
    run = station.Run({"share", "--dry-run"});
    EXPECT_EQ(run.out, requests);
    EXPECT_EQ(server.Arrivals().size(), tried);
    EXPECT_EQ(station.Status()["waiting"], 6);
}

// Refused files and settings; sharing that cannot start ends a listen at once too.
TEST(ShareCliTest, WhatCannotBeSharedIsOneMessageAndNothingIsSent) {
    SidsServerProcess server("201");
    const std::string good = ConfIni(server);
    const auto without = [&](const std::string& key) {
        const std::size_t at = good.find(key);
        return good.substr(0, at) + good.substr(good.find('\n', at) + 1);
    };
    const std::vector<std::string> listen = {"listen", "--share",   "--seconds", "20",
                                             "--host", "127.0.0.1", "--port",    "1"};
    struct Case {
        std::string confIni, file, message;
        bool outbox;
    } cases[] = {
        {good, "export.csv", "a SatNOGS export is not shared", true},
        {without("NORAD_ID"), "pass.kss", "conf.ini: NORAD_ID is missing", false},
        {good + "LATITUDE = 95\r\n", "pass.kss", "LATITUDE", false},
        {without("CALLSIGN") + "SHARE = on\r\n", "", "conf.ini: CALLSIGN is missing", false},
    };
    for (const Case& c : cases) {
        Station station(c.confIni);
        station.Capture("pass.kss", 3, kStart);
        std::ofstream(station.Path() + "/export.csv")
            << "2023-01-15 12:34:56|" << Hex(station.frames[0]) << "|1234|DL0XYZ\r\n";
        const auto start = std::chrono::steady_clock::now();
        const CliRun run = station.Run(
            c.file.empty() ? listen : std::vector<std::string>{"share", station.File(c.file)});
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << c.message;
        EXPECT_EQ(run.status, 1) << c.message;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        if (!c.outbox) {  // one line, before anything is read or opened
            EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
            EXPECT_FALSE(std::filesystem::exists(station.Outbox()));
            // share-status names the same problem, and says whether SHARE asks for sharing.
            const json status = station.Status();
            EXPECT_NE(status["settingsProblem"].get<std::string>().find(c.message),
                      std::string::npos);
            EXPECT_EQ(status["share"], c.file.empty());
        }
    }
    EXPECT_TRUE(server.Arrivals().empty());
}

// Acknowledged and rejected frames alike are done with: sharing the files again sends nothing.
TEST(ShareCliTest, EveryFrameIsSentOnceInReceiveOrderAndNeverAgain) {
    struct Case {
        std::string mode;
        int status, sent, rejected;
    } cases[] = {{"201", 0, 11, 0}, {"400", 1, 0, 11}};
    for (const Case& c : cases) {
        SidsServerProcess server(c.mode);
        Station station(ConfIni(server));
        // Given after the later pass, the earlier is sent first; its first frame, received
        // again a minute later, is one frame.
        const std::string early = station.Capture("early.kss", 6, kStart);
        const std::string late = station.Capture("late.kss", 5, kStart + 3'600'000, 1'000, 100);
        const std::string again = station.Capture("again.kss", 1, kStart + 60'000);
        station.frames.pop_back();
        station.rxTimesMs.pop_back();

        CliRun run = station.Run({"share", late, early, again});
        EXPECT_EQ(run.status, c.status) << c.mode << run.err;
        const std::vector<Arrival> arrivals = server.Arrivals();
        ASSERT_EQ(arrivals.size(), 11u) << c.mode;
        // Up to three requests are under way at once: their arrivals may change places.
        for (std::size_t i = 0; i < arrivals.size(); ++i) {
            std::size_t at = 0;
            while (at < station.frames.size() && Hex(station.frames[at]) != arrivals[i].frame)
                ++at;
            ASSERT_LT(at, station.frames.size()) << arrivals[i].frame;
            EXPECT_LE(std::max(at, i) - std::min(at, i), 2u) << c.mode << " arrival " << i;
            EXPECT_EQ(arrivals[i].timestamp, IsoTime(station.rxTimesMs[at]));
            EXPECT_EQ(arrivals[i].answer, c.mode);
        }
        EXPECT_EQ(testing::ArrivalCounts(arrivals).size(), 11u);
        if (c.rejected > 0) {
            EXPECT_NE(run.err.find("the server rejected 11 frames"), std::string::npos) << run.err;
            EXPECT_NE(run.err.find("HTTP 400 rejected the frame received " +
                                   samples::UtcStampText(kStart)),
                      std::string::npos)
                << run.err;
        }
        const json status = station.Status();
        EXPECT_EQ(status["sent"], c.sent);
        EXPECT_EQ(status["waiting"], 0);
        EXPECT_EQ(status["rejected"], c.rejected);

        run = station.Run({"share", late, early, again});
        EXPECT_EQ(run.status, 0) << c.mode << run.err;
        EXPECT_EQ(server.Arrivals().size(), 11u) << c.mode;
    }
}

// Killed at random moments while it shares, then run to the end: every frame reaches the server,
// none more often than once more per kill (a kill may cut the replies under way), and the outbox
// file is whole after every kill.
TEST(ShareCliTest, KilledAnywhereItLosesNoFrameAndKeepsItsOutboxWhole) {
    SidsServerProcess server("201");
    Station station(ConfIni(server, "30"));
    const std::string pass = station.Capture("pass.kss", 120, kStart);
    const unsigned seed = std::random_device()();
    std::mt19937 random(seed);
    int kills = 0;
    for (int round = 0; round < 4; ++round) {
        const pid_t pid = station.Start({"share", pass});
        ASSERT_GT(pid, 0);  // never a signal to every process
        std::this_thread::sleep_for(
            std::chrono::milliseconds(std::uniform_int_distribution(100, 1'000)(random)));
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        kills += WIFSIGNALED(status) ? 1 : 0;
        EXPECT_EQ(IntegrityCheck(station.Outbox()), "ok") << "seed " << seed << " round " << round;
    }
    EXPECT_GE(kills, 1) << seed;
    const CliRun run = station.Run({"share", pass});
    EXPECT_EQ(run.status, 0) << run.err;
    const std::vector<Arrival> arrivals = server.Arrivals();
    const std::map<std::string, int> counts = testing::ArrivalCounts(arrivals);
    EXPECT_EQ(counts.size(), 120u) << seed;
    for (const auto& [frame, count] : counts)
        EXPECT_LE(count, 1 + kills) << "seed " << seed << ": " << frame;
    EXPECT_LE(arrivals.size(), 120u + 3u * static_cast<unsigned>(kills)) << seed;
    const json status = station.Status();
    EXPECT_EQ(status["sent"], 120);
    EXPECT_EQ(status["waiting"], 0);
}

TEST(ShareCliTest, ListenSharesWhatItRecordsWithTheLiveReceiveTimes) {
    SidsServerProcess server("201");
    Station station(ConfIni(server));
    const std::string pass = station.Capture("pass.kss", 12, kStart);
    // The connection stays open after the pass, as a modem's does, until the listen's end.
    testing::ReplayServer replay({pass}, "--chunk random --seed 3 --rate 0 --max-seconds 20");
    ASSERT_FALSE(replay.Port().empty());
    const std::string before = IsoTimeNow();
    const CliRun run = station.Run(
        {"listen", "--share", "--seconds", "2", "--host", "127.0.0.1", "--port", replay.Port()});
    const std::string after = IsoTimeNow();
    EXPECT_EQ(run.status, 0) << run.err;

    // The frames of the capture file it recorded, with the times of its stamps.
    std::vector<std::string> recorded = testing::FileNames(station.Path());
    std::erase_if(recorded, [](const std::string& name) { return !name.ends_with("-1U.kss"); });
    ASSERT_EQ(recorded.size(), 1u);
    const FramesToShare read = ReadFramesToShare({station.File(recorded[0])});
    EXPECT_EQ(read.frames, station.frames);
    std::map<std::string, std::string> sentTimes;
    for (const Arrival& arrival : server.Arrivals())
        EXPECT_TRUE(sentTimes.emplace(arrival.frame, arrival.timestamp).second) << arrival.frame;
    ASSERT_EQ(sentTimes.size(), read.frames.size());
    for (std::size_t i = 0; i < read.frames.size(); ++i) {
        const std::string& time = sentTimes[Hex(read.frames[i])];
        EXPECT_EQ(time, IsoTime(read.rxTimesMs[i])) << i;
        EXPECT_TRUE(time >= before && time <= after) << time;
    }
}

}  // namespace
}  // namespace quorbel
