// Sharing with every real piece together: the sender, the outbox in an SQLite file, the poster on
// Qt Network and the SiDS test server answering at random (201, 400, 429, 500, 503, stalls and
// resets). Every frame ends acknowledged or rejected, none is sent again once its acknowledgement
// arrived, restarts lose nothing, and frames too old are dropped unsent.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "common/number_format.hpp"
#include "qt_http_poster.hpp"
#include "share/share_sender.hpp"
#include "sqlite_outbox.hpp"
#include "support/sids_test_server.hpp"
#include "support/temp_folder.hpp"

namespace quorbel {
namespace {

using testing::SidsAction;
using testing::SidsRandomWeights;
using testing::SidsTestServer;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int kFrames = 150;
constexpr std::int64_t kDayMs = 86'400'000;

// Short pauses and a short timeout, so that a run of a few hundred requests takes seconds; the
// longest pause also caps what Retry-After asks.
constexpr ShareSenderOptions kQuickOptions{
    .maxInFlight = 3, .firstPauseMs = 20, .longestPauseMs = 200};
constexpr auto kTimeout = 300ms;

ShareSettings StationSettings(const std::string& url) {
    ShareSettings settings;
    settings.enabled = true;
    settings.url = url;
    settings.noradId = "99999";
    settings.callsign = "DL1ABC";
    settings.latitude = 52.52;
    settings.longitude = 13.405;
    settings.perSecond = 1000;
    return settings;
}

std::string HexOf(const std::vector<std::uint8_t>& bytes) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    for (std::uint8_t byte : bytes) {
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 0x0F];
    }
    return hex;
}

// Distinct frames with distinct receive times, an hour ago and a little over a second apart.
struct TestFrame {
    std::vector<std::uint8_t> bytes;
    std::int64_t rxTimeMs = 0;
    std::string hex;
};

std::vector<TestFrame> MakeFrames(int count, std::int64_t firstRxMs) {
    std::vector<TestFrame> frames;
    for (int i = 0; i < count; ++i) {
        TestFrame frame;
        frame.bytes = {
            0xA5, static_cast<std::uint8_t>(i >> 8), static_cast<std::uint8_t>(i), 0xC0, 0xDB,
            0x00, static_cast<std::uint8_t>(i * 7)};
        frame.rxTimeMs = firstRxMs + i * 1'001;
        frame.hex = HexOf(frame.bytes);
        frames.push_back(std::move(frame));
    }
    return frames;
}

// Puts the frames in shuffled order, in batches of ten, as `putMs` says when.
void PutShuffled(Outbox& outbox, std::vector<TestFrame> frames, std::uint64_t seed,
                 std::int64_t putMs) {
    std::mt19937_64 random(seed);
    std::shuffle(frames.begin(), frames.end(), random);
    for (std::size_t at = 0; at < frames.size(); at += 10) {
        std::vector<OutboxPut> batch;
        for (std::size_t i = at; i < std::min(frames.size(), at + 10); ++i)
            batch.push_back({frames[i].bytes, frames[i].rxTimeMs});
        ASSERT_EQ(outbox.Put(batch, putMs), static_cast<int>(batch.size()));
    }
}

// A reply as it reached the sender: which frame, which status, when.
struct Delivered {
    std::string frame;
    int status = 0;
    Clock::time_point at;
};

// The real poster, noting each reply that it hands to the sender.
class NotingPoster final : public HttpPoster {
  public:
    NotingPoster(QtHttpPoster& poster, std::vector<Delivered>& delivered)
        : m_poster(poster), m_delivered(delivered) {}

    void Post(const std::string& url, const std::string& formBody,
              std::function<void(const HttpReply&)> done) override {
        const std::string frame = testing::DecodeForm(formBody)["frame"];
        m_poster.Post(
            url, formBody,
            [delivered = &m_delivered, frame, done = std::move(done)](const HttpReply& reply) {
                delivered->push_back({frame, reply.status, Clock::now()});
                done(reply);
            });
    }

  private:
    QtHttpPoster& m_poster;
    std::vector<Delivered>& m_delivered;
};

// Runs the event loop, with the sender's turn every 10 ms as the front end's timer gives it,
// until `done` holds or `timeoutMs` passed; returns whether it holds.
template <typename Predicate>
bool RunSharing(ShareSender& sender, Predicate done, int timeoutMs) {
    QTimer pump;
    QObject::connect(&pump, &QTimer::timeout, [&sender] { sender.Pump(); });
    pump.start(10);
    sender.Pump();
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    return done();
}

bool AllDone(ShareSender& sender, Outbox& outbox) {
    return sender.Idle() && outbox.Counts().waiting == 0;
}

// Each frame's final replies as the sender received them, and the faults of what came after:
// a request of a frame that arrived at the server after its 2xx or 400 had reached the sender.
struct Outcomes {
    std::set<std::string> acknowledged, rejected;
    std::vector<std::string> faults;
};

Outcomes Judge(const std::vector<Delivered>& delivered,
               const std::vector<testing::SidsRequest>& requests) {
    Outcomes outcomes;
    std::map<std::string, Clock::time_point> finalAt;
    for (const Delivered& reply : delivered) {
        if (reply.status >= 200 && reply.status <= 299)
            outcomes.acknowledged.insert(reply.frame);
        else if (reply.status == 400)
            outcomes.rejected.insert(reply.frame);
        else
            continue;
        if (!finalAt.emplace(reply.frame, reply.at).second)
            outcomes.faults.push_back(reply.frame + " got a second final reply " +
                                      std::to_string(reply.status));
    }
    for (const auto& request : requests) {
        const auto found = finalAt.find(request.fields.at("frame"));
        if (found != finalAt.end() && request.arrival > found->second)
            outcomes.faults.push_back(found->first + " requested again after its final reply (" +
                                      request.action.Describe() + ")");
    }
    return outcomes;
}

// What every run must end with: each frame reached the server, each ended acknowledged or
// rejected as the sender heard it, the outbox counts the same, and each rejection is in the log.
void ExpectEveryFrameSettled(const std::vector<TestFrame>& frames, const Outcomes& outcomes,
                             const std::vector<testing::SidsRequest>& requests,
                             const OutboxCounts& counts, const std::vector<std::string>& log) {
    std::set<std::string> requested;
    for (const auto& request : requests) {
        EXPECT_TRUE(request.problems.empty()) << request.problems.front();
        requested.insert(request.fields.at("frame"));
    }
    for (const TestFrame& frame : frames) {
        EXPECT_TRUE(requested.count(frame.hex)) << frame.hex << " never reached the server";
        EXPECT_EQ(outcomes.acknowledged.count(frame.hex) + outcomes.rejected.count(frame.hex), 1u)
            << frame.hex;
        if (!outcomes.rejected.count(frame.hex))
            continue;
        const std::string received = FormatUtcMilliseconds(frame.rxTimeMs) + " UTC";
        EXPECT_TRUE(std::any_of(log.begin(), log.end(),
                                [&](const std::string& line) {
                                    return line.find("HTTP 400 rejected the frame received " +
                                                     received) != std::string::npos;
                                }))
            << "no log line rejects the frame received " << received;
    }
    EXPECT_TRUE(outcomes.faults.empty()) << outcomes.faults.front();
    EXPECT_EQ(counts.waiting, 0);
    EXPECT_EQ(counts.sent, static_cast<std::int64_t>(outcomes.acknowledged.size()));
    EXPECT_EQ(counts.rejected, static_cast<std::int64_t>(outcomes.rejected.size()));
    EXPECT_EQ(counts.sent + counts.rejected, static_cast<std::int64_t>(frames.size()));
}

std::int64_t NowMs() {
    return QDateTime::currentMSecsSinceEpoch();
}

// Every outcome at random, with few 429s and stalls: each costs a pause or a timeout.
constexpr SidsRandomWeights kUnreliableServer{.created = 78,
                                              .badRequest = 6,
                                              .tooMany = 2,
                                              .serverError = 4,
                                              .unavailable = 4,
                                              .stall = 3,
                                              .reset = 3};

TEST(ShareEndToEnd, EveryFrameEndsAcknowledgedOrRejectedOnce) {
    for (const int maxInFlight : {3, 1}) {
        SCOPED_TRACE("maxInFlight " + std::to_string(maxInFlight));
        testing::TempFolder folder;
        SidsTestServer server;
        server.SetRandom(20261207 + maxInFlight, kUnreliableServer);
        const std::vector<TestFrame> frames = MakeFrames(kFrames, NowMs() - 3'600'000);
        std::unique_ptr<Outbox> outbox = OpenSqliteOutbox(folder.File("outbox.sqlite"));
        PutShuffled(*outbox, frames, 5 + maxInFlight, NowMs());

        QtHttpPoster qtPoster(kTimeout);
        std::vector<Delivered> delivered;
        NotingPoster poster(qtPoster, delivered);
        ShareSenderOptions options = kQuickOptions;
        options.maxInFlight = maxInFlight;
        ShareSender sender(*outbox, poster, NowMs, StationSettings(server.Url()), options);
        std::vector<std::string> log;
        ASSERT_TRUE(RunSharing(
            sender,
            [&] {
                for (std::string& line : sender.TakeLog())
                    log.push_back(std::move(line));
                return AllDone(sender, *outbox);
            },
            60'000))
            << sender.Status().counts.waiting << " frames still waiting";

        const auto requests = server.Requests();
        const Outcomes outcomes = Judge(delivered, requests);
        ExpectEveryFrameSettled(frames, outcomes, requests, outbox->Counts(), log);
        std::set<std::string> actions;
        for (const auto& request : requests)
            actions.insert(request.action.Describe());
        EXPECT_GE(actions.size(), 5u) << "too few kinds of answer to test much";
        if (maxInFlight != 1)
            continue;

        // One request at a time: the frames are first requested in receive-time order, and each
        // failure's pause (Retry-After up to the longest pause) holds back the next request. A
        // reset is followed at once by Qt's own second try of the same request.
        std::map<std::string, std::int64_t> rxOf;
        for (const TestFrame& frame : frames)
            rxOf[frame.hex] = frame.rxTimeMs;
        std::set<std::string> seen;
        std::int64_t lastFirstRx = 0;
        for (std::size_t i = 0; i < requests.size(); ++i) {
            const std::string& hex = requests[i].fields.at("frame");
            if (seen.insert(hex).second) {
                EXPECT_GT(rxOf.at(hex), lastFirstRx) << "request " << i << " came out of order";
                lastFirstRx = rxOf.at(hex);
            }
            if (i == 0)
                continue;
            const SidsAction& before = requests[i - 1].action;
            const auto gap = std::chrono::duration_cast<std::chrono::milliseconds>(
                requests[i].arrival - requests[i - 1].arrival);
            const bool failed = before.kind == SidsAction::Kind::Stall ||
                                (before.kind == SidsAction::Kind::Reply &&
                                 (before.status == 429 || before.status >= 500));
            // A stall's timeout counts from the client's last byte, a little before the server
            // notes the request.
            const std::int64_t leastGapMs =
                before.kind == SidsAction::Kind::Stall ? kTimeout.count() - 10
                : before.status == 429                 ? kQuickOptions.longestPauseMs - 2
                                                       : kQuickOptions.firstPauseMs - 2;
            if (failed) {
                EXPECT_GE(gap.count(), leastGapMs)
                    << "request " << i << " after " << before.Describe();
            }
        }
    }
}

TEST(ShareEndToEnd, RestartsInTheMiddleLoseNothingAndRepeatNoAcknowledgedFrame) {
    testing::TempFolder folder;
    const std::string path = folder.File("outbox.sqlite");
    SidsTestServer server;
    server.SetRandom(77, kUnreliableServer);
    const std::vector<TestFrame> frames = MakeFrames(kFrames, NowMs() - 3'600'000);
    PutShuffled(*OpenSqliteOutbox(path), frames, 11, NowMs());

    // Each round is a run of the program that ends at a random moment, with requests in flight
    // and replies on their way: its sender, poster and outbox go, and the next round reopens
    // the file.
    // At 60 frames a second the frames take a few rounds to go.
    ShareSettings settings = StationSettings(server.Url());
    settings.perSecond = 60;
    std::mt19937_64 random(3);
    std::vector<Delivered> delivered;
    std::vector<std::string> log;
    int rounds = 0;
    for (bool finished = false; !finished; ++rounds) {
        ASSERT_LT(rounds, 40) << "the restarts never let the frames through";
        const bool last = rounds >= 12;
        std::unique_ptr<Outbox> outbox = OpenSqliteOutbox(path);
        auto qtPoster = std::make_unique<QtHttpPoster>(kTimeout);
        NotingPoster poster(*qtPoster, delivered);
        auto sender =
            std::make_unique<ShareSender>(*outbox, poster, NowMs, settings, kQuickOptions);
        QElapsedTimer round;
        round.start();
        const int lengthMs = std::uniform_int_distribution<int>(20, 400)(random);
        RunSharing(
            *sender,
            [&] {
                for (std::string& line : sender->TakeLog())
                    log.push_back(std::move(line));
                return AllDone(*sender, *outbox) || (!last && round.elapsed() >= lengthMs);
            },
            60'000);
        finished = AllDone(*sender, *outbox);
        sender.reset();
        qtPoster.reset();
    }
    EXPECT_GE(rounds, 4) << "the frames went through before most restarts";

    const auto requests = server.Requests();
    const Outcomes outcomes = Judge(delivered, requests);
    ExpectEveryFrameSettled(frames, outcomes, requests, OpenSqliteOutbox(path)->Counts(), log);
}

TEST(ShareEndToEnd, FramesPastTheAgeLimitAreDroppedUnsent) {
    testing::TempFolder folder;
    SidsTestServer server;
    server.SetDefault(SidsAction::Reply(503));
    std::int64_t aheadMs = 0;  // the test clock runs with the real one, moved ahead at will
    const auto now = [&aheadMs] { return NowMs() + aheadMs; };
    std::unique_ptr<Outbox> outbox = OpenSqliteOutbox(folder.File("outbox.sqlite"));

    // Put 8 days ago, 6 days ago and now.
    const std::vector<TestFrame> all = MakeFrames(9, NowMs() - 9 * kDayMs);
    const std::vector<TestFrame> old(all.begin(), all.begin() + 3);
    const std::vector<TestFrame> older(all.begin() + 3, all.begin() + 6);
    const std::vector<TestFrame> recent(all.begin() + 6, all.end());
    PutShuffled(*outbox, old, 1, NowMs() - 8 * kDayMs);
    PutShuffled(*outbox, older, 2, NowMs() - 6 * kDayMs);
    PutShuffled(*outbox, recent, 3, NowMs());

    QtHttpPoster qtPoster(kTimeout);
    std::vector<Delivered> delivered;
    NotingPoster poster(qtPoster, delivered);
    ShareSender sender(*outbox, poster, now, StationSettings(server.Url()), kQuickOptions);
    const auto droppedLines = [](const std::vector<TestFrame>& frames) {
        std::vector<std::string> lines;
        for (const TestFrame& frame : frames)
            lines.push_back("shared frames: dropped the frame received " +
                            FormatUtcMilliseconds(frame.rxTimeMs) + " UTC, unsent after 7 days");
        return lines;
    };

    // The server fails every request for a while: the frames of 8 days ago are dropped at the
    // start, the others wait.
    ASSERT_TRUE(RunSharing(
        sender, [&] { return server.RequestCount() >= 6 && sender.Idle(); }, 10'000));
    std::vector<std::string> log = sender.TakeLog();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(log.begin(), log.begin() + 3), droppedLines(old));
    EXPECT_EQ(outbox->Counts().waiting, 6);

    // Two days later the frames put 6 days ago are past the limit too, and go unsent; the
    // server takes frames again.
    server.SetDefault(SidsAction::Reply(201));
    const std::size_t requestsBefore = server.RequestCount();
    aheadMs = 2 * kDayMs;
    sender.Pump();
    log = sender.TakeLog();
    EXPECT_EQ(log, droppedLines(older));
    ASSERT_TRUE(RunSharing(
        sender, [&] { return AllDone(sender, *outbox); }, 10'000));

    const auto requests = server.Requests();
    std::set<std::string> requestedSince;
    for (std::size_t i = 0; i < requests.size(); ++i) {
        const std::string& hex = requests[i].fields.at("frame");
        for (const TestFrame& frame : old)
            EXPECT_NE(hex, frame.hex) << "a frame dropped at the start was sent";
        if (i >= requestsBefore)
            requestedSince.insert(hex);
    }
    std::set<std::string> recentHex;
    for (const TestFrame& frame : recent)
        recentHex.insert(frame.hex);
    EXPECT_EQ(requestedSince, recentHex);
    const OutboxCounts counts = outbox->Counts();
    EXPECT_EQ(counts.sent, 3);
    EXPECT_EQ(counts.waiting, 0);
    EXPECT_EQ(counts.rejected, 0);
}

}  // namespace
}  // namespace quorbel
