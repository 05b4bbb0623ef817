// The sender against an outbox in memory, a poster whose replies the test delivers, and a test
// clock: order, pace, pauses, rejections and expiry.
#include "share/share_sender.hpp"

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "memory_outbox.hpp"

namespace quorbel {
namespace {

using testing::MemoryOutbox;

// Keeps every request until the test answers it.
class ScriptedPoster : public HttpPoster {
  public:
    struct Request {
        std::string url;
        std::string body;
        std::function<void(const HttpReply&)> done;
    };

    void Post(const std::string& url, const std::string& formBody,
              std::function<void(const HttpReply&)> done) override {
        pending.push_back({url, formBody, std::move(done)});
        ++posted;
    }

    // The frame's hex of the request in flight at `index`, oldest first.
    std::string FrameOf(std::size_t index) const {
        const std::string& body = pending.at(index).body;
        const auto start = body.find("frame=") + 6;
        return body.substr(start, body.find('&', start) - start);
    }
    std::vector<std::string> FramesInFlight() const {
        std::vector<std::string> frames;
        for (std::size_t i = 0; i < pending.size(); ++i)
            frames.push_back(FrameOf(i));
        return frames;
    }

    // Answers the request at `index`; the sender may start new requests from within.
    void Reply(std::size_t index, HttpReply reply) {
        auto done = std::move(pending.at(index).done);
        pending.erase(pending.begin() + static_cast<std::ptrdiff_t>(index));
        done(reply);
    }
    void Reply(std::size_t index, int status, std::string body = {},
               std::optional<int> retryAfter = std::nullopt) {
        Reply(index, HttpReply{status, std::move(body), {}, retryAfter});
    }

    std::deque<Request> pending;
    int posted = 0;
};

constexpr std::int64_t kStartMs = 1'796'653'338'584;  // 2026-12-07 14:22:18.584 UTC

class ShareSenderTest : public ::testing::Test {
  protected:
    std::int64_t now = kStartMs;
    MemoryOutbox outbox;
    ScriptedPoster poster;
    ShareSettings settings;
    ShareSenderOptions options;
    std::unique_ptr<ShareSender> sender;

    ShareSenderTest() {
        settings.enabled = true;
        settings.noradId = "99999";
        settings.callsign = "DL0ABC";
        settings.perSecond = 1000;  // one request a millisecond: the rate rarely matters
        options.firstPauseMs = 2'000;
        options.longestPauseMs = 10'000;
    }

    void Start() {
        sender = std::make_unique<ShareSender>(
            outbox, poster, [this] { return now; }, settings, options);
    }
    // One frame of one byte, received `rxOffsetMs` after the test's start.
    std::int64_t Put(std::uint8_t byte, std::int64_t rxOffsetMs) {
        return outbox.PutOne({byte}, now + rxOffsetMs, now);
    }
    // Moves the clock on and lets the sender start what is due.
    void Advance(std::int64_t ms) {
        now += ms;
        sender->Pump();
    }
    // Pumps until no more requests start, moving the clock a millisecond at a time.
    void PumpAll() {
        for (int i = 0; i < 20; ++i)
            Advance(1);
    }
    MemoryOutbox::Entry& EntryOf(std::int64_t id) { return outbox.entries.at(id); }
};

// Receive-time order, equal times in putting order, at most maxInFlight at once, never a frame
// already in flight.
TEST_F(ShareSenderTest, RequestsInReceiveTimeOrderAndAFewAtATime) {
    Put(0x01, 3000);
    Put(0x02, 1000);
    Put(0x03, 1000);
    Put(0x04, 2000);
    Put(0x05, 500);
    EXPECT_EQ(Put(0x05, 500 + 599'999), 0);  // the same frame again within 10 minutes
    Start();
    EXPECT_TRUE(sender->Idle());
    PumpAll();
    EXPECT_EQ(poster.FramesInFlight(), (std::vector<std::string>{"05", "02", "03"}));
    EXPECT_FALSE(sender->Idle());
    EXPECT_EQ(sender->Status().inFlight, 3);
    EXPECT_EQ(poster.pending[0].url, kDefaultSidsUrl);

    poster.Reply(1, 201);
    PumpAll();
    EXPECT_EQ(poster.FramesInFlight(), (std::vector<std::string>{"05", "03", "04"}));
    while (!poster.pending.empty()) {
        poster.Reply(0, 200);
        PumpAll();
    }
    EXPECT_TRUE(sender->Idle());
    EXPECT_EQ(poster.posted, 5);
    EXPECT_EQ(sender->Status().counts.sent, 5);
    EXPECT_EQ(sender->Status().counts.waiting, 0);
    EXPECT_TRUE(sender->TakeLog().empty());
}

TEST_F(ShareSenderTest, RateLimitsTheRequests) {
    settings.perSecond = 2;
    for (std::uint8_t i = 1; i <= 20; ++i)
        Put(i, i);
    Start();
    const std::int64_t start = now;
    std::vector<std::int64_t> startedAfterMs;
    sender->Pump();
    for (int step = 0; step <= 30; ++step) {
        while (!poster.pending.empty()) {
            startedAfterMs.push_back(now - start);
            poster.Reply(0, 200);  // answered at once: only the rate holds them back
        }
        Advance(100);
    }
    EXPECT_EQ(startedAfterMs, (std::vector<std::int64_t>{0, 500, 1000, 1500, 2000, 2500, 3000}));

    // Above one request a turn of the front end's timer, the rate is kept, not cut to the timer's:
    // the first at once, then two each turn.
    settings.perSecond = 20;
    for (std::uint8_t i = 21; i <= 80; ++i)
        Put(i, i);
    Start();
    int started = 0;
    for (int turn = 0; turn < 10; ++turn) {
        Advance(100);
        for (; !poster.pending.empty(); ++started)
            poster.Reply(0, 200);
    }
    EXPECT_EQ(started, 19);

    // A timer that turns later than the requests fall due does not slow the rate: at 5 a second
    // and a turn every 150 ms, 15 requests in the 2.8 s after the first, not one every other turn.
    settings.perSecond = 5;
    Start();
    started = 0;
    for (int turn = 0; turn < 20; ++turn) {
        Advance(150);
        for (; !poster.pending.empty(); ++started)
            poster.Reply(0, 200);
    }
    EXPECT_EQ(started, 15);
}

// 503, 429 and no reply at all: the outbox keeps what went wrong, sending pauses, and the same
// frame goes first once the pause is over.
TEST_F(ShareSenderTest, RetryableFailuresTryTheSameFrameFirst) {
    struct Case {
        HttpReply reply;
        const char* kept;
        const char* logged;
    };
    const Case cases[] = {
        {{503, "busy\r\nnow", {}, {}}, "HTTP 503: busy\r\nnow", "HTTP 503: busy  now"},
        {{429, "slow down", {}, {}}, "HTTP 429: slow down", "HTTP 429: slow down"},
        {{301, "moved", {}, {}}, "HTTP 301: moved", "HTTP 301: moved"},
        {{0, "", "Connection refused", {}}, "Connection refused", "Connection refused"},
        {{0, "", "", {}}, "no reply", "no reply"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kept);
        outbox.entries.clear();
        now = kStartMs;
        const std::int64_t first = Put(0x01, 1000);
        Put(0x02, 2000);
        Start();
        sender->Pump();
        ASSERT_EQ(poster.FramesInFlight(), std::vector<std::string>{"01"});
        poster.Reply(0, c.reply);
        EXPECT_EQ(EntryOf(first).reply, c.kept);
        EXPECT_EQ(EntryOf(first).frame.attempts, 1);
        EXPECT_EQ(sender->Status().counts.lastError, c.kept);
        EXPECT_EQ(sender->Status().pausedUntilMs, now + 2'000);
        EXPECT_EQ(sender->TakeLog(),
                  std::vector<std::string>{
                      "shared frames: the frame received 2026-12-07 14:22:19.584 UTC was not "
                      "taken (" +
                      std::string(c.logged) + "); sending again in 2 s"});
        Advance(1'999);
        EXPECT_TRUE(poster.pending.empty());
        Advance(1);
        EXPECT_EQ(poster.FramesInFlight(), std::vector<std::string>{"01"});
        PumpAll();  // one request tries the server until it has answered
        EXPECT_EQ(poster.FramesInFlight(), std::vector<std::string>{"01"});
        poster.Reply(0, 200);
        EXPECT_EQ(EntryOf(first).state, MemoryOutbox::State::Sent);
        EXPECT_EQ(sender->Status().pausedUntilMs, 0);
        EXPECT_EQ(sender->TakeLog(),
                  std::vector<std::string>{"shared frames: the server takes frames again"});
        PumpAll();
        poster.Reply(0, 200);
    }
}

// The pause doubles up to the longest, Retry-After lengthens it (up to the longest too), and a
// 2xx starts again from the first pause.
TEST_F(ShareSenderTest, PauseDoublesIsCappedAndResetBySuccess) {
    for (std::uint8_t i = 1; i <= 3; ++i)
        Put(i, i);
    Start();
    // Answers the one request in flight and returns how long sending then pauses.
    const auto failFor = [&](int status, std::optional<int> retryAfter = std::nullopt) {
        Advance(1);
        EXPECT_EQ(poster.pending.size(), 1u);
        poster.Reply(0, status, "", retryAfter);
        const std::int64_t pause = sender->Status().pausedUntilMs - now;
        Advance(pause - 1);
        EXPECT_TRUE(poster.pending.empty()) << "a request during the pause";
        now += 1;
        return pause;
    };
    std::vector<std::int64_t> pauses;
    for (int i = 0; i < 5; ++i)
        pauses.push_back(failFor(503));
    EXPECT_EQ(pauses, (std::vector<std::int64_t>{2'000, 4'000, 8'000, 10'000, 10'000}));
    EXPECT_EQ(sender->TakeLog().size(), 1u);  // the first failure only

    Advance(1);
    poster.Reply(0, 200);
    EXPECT_EQ(failFor(503), 2'000);
    EXPECT_EQ(failFor(429, 7), 7'000);       // Retry-After longer than the pause (4 s)
    EXPECT_EQ(failFor(429, 3), 8'000);       // shorter: the pause
    EXPECT_EQ(failFor(429, 3'600), 10'000);  // an hour: the longest pause
    EXPECT_EQ(failFor(0), 10'000);
}

// Replies to requests that were under way when the pause began belong to the same outage: they
// do not double the pause again, though a Retry-After may lengthen it.
TEST_F(ShareSenderTest, FailuresOfOneOutageDoubleThePauseOnce) {
    for (std::uint8_t i = 1; i <= 3; ++i)
        Put(i, i);
    Start();
    PumpAll();
    ASSERT_EQ(poster.pending.size(), 3u);
    poster.Reply(0, 0);
    const std::int64_t failedAt = now;
    EXPECT_EQ(sender->Status().pausedUntilMs, failedAt + 2'000);
    now += 500;
    poster.Reply(0, 503);
    EXPECT_EQ(sender->Status().pausedUntilMs, now + 2'000);
    poster.Reply(0, 429, "", 5);
    EXPECT_EQ(sender->Status().pausedUntilMs, now + 5'000);
    Advance(5'000);
    EXPECT_EQ(poster.FramesInFlight(), std::vector<std::string>{"01"});
    poster.Reply(0, 503);  // begun after the pause: the next step
    EXPECT_EQ(sender->Status().pausedUntilMs, now + 4'000);
}

// Any other status rejects the frame for good, with the reply kept and logged; sending goes on.
TEST_F(ShareSenderTest, OtherStatusesRejectTheFrameForGood) {
    for (int status : {400, 404, 422, 102}) {
        SCOPED_TRACE(status);
        outbox.entries.clear();
        now = kStartMs;
        const std::int64_t first = Put(0x01, 0);
        const std::int64_t second = Put(0x02, 1);
        Start();
        sender->Pump();
        poster.Reply(0, status, "{\"frame\":\n [\"bad\"]}");
        const std::string kept = "HTTP " + std::to_string(status) + ": {\"frame\":\n [\"bad\"]}";
        EXPECT_EQ(EntryOf(first).state, MemoryOutbox::State::Rejected);
        EXPECT_EQ(EntryOf(first).reply, kept);
        EXPECT_EQ(sender->Status().counts.rejected, 1);
        EXPECT_EQ(sender->Status().pausedUntilMs, 0);
        EXPECT_EQ(sender->TakeLog(),
                  std::vector<std::string>{"shared frames: HTTP " + std::to_string(status) +
                                           " rejected the frame received 2026-12-07 "
                                           "14:22:18.584 UTC: {\"frame\":  [\"bad\"]}"});
        PumpAll();
        EXPECT_EQ(poster.FramesInFlight(), std::vector<std::string>{"02"});
        poster.Reply(0, 200);
        EXPECT_EQ(EntryOf(second).state, MemoryOutbox::State::Sent);
        PumpAll();
        EXPECT_TRUE(poster.pending.empty());
    }
}

TEST_F(ShareSenderTest, ReplyAfterTheSenderIsGoneDoesNothing) {
    const std::int64_t id = Put(0x01, 0);
    Start();
    sender->Pump();
    ASSERT_EQ(poster.pending.size(), 1u);
    sender.reset();
    poster.Reply(0, 200);
    EXPECT_EQ(EntryOf(id).state, MemoryOutbox::State::Waiting);
    EXPECT_EQ(poster.posted, 1);
}

// Waiting frames older than the age limit are dropped with a line each, or one line for many;
// the outbox is asked at most once a minute.
TEST_F(ShareSenderTest, ExpiredFramesAreDroppedWithLogLines) {
    settings.maxAgeDays = 1;
    options.keepSentMs = 3LL * 86'400'000;
    const std::int64_t start = now;
    const std::int64_t sent = Put(0x01, -5'000);
    Put(0x02, -2'000);
    Start();
    sender->Pump();
    poster.Reply(0, 200);
    EXPECT_EQ(EntryOf(sent).state, MemoryOutbox::State::Sent);
    PumpAll();
    Put(0x03, -1'000);
    now = start + 86'400'000;  // a day after they were put: not yet older than a day
    poster.Reply(0, 503);
    EXPECT_EQ(outbox.Counts().waiting, 2);
    sender->TakeLog();
    Advance(60'000);
    EXPECT_EQ(sender->TakeLog(),
              (std::vector<std::string>{"shared frames: dropped the frame received 2026-12-07 "
                                        "14:22:16.584 UTC, unsent after 1 day",
                                        "shared frames: dropped the frame received 2026-12-07 "
                                        "14:22:17.604 UTC, unsent after 1 day"}));
    EXPECT_EQ(sender->Status().counts.waiting, 0);

    for (std::uint8_t i = 10; i < 16; ++i)
        Put(i, i * 1000);
    Advance(86'400'001);
    EXPECT_EQ(sender->TakeLog(),
              std::vector<std::string>{"shared frames: dropped 6 frames received 2026-12-08 "
                                       "14:23:28.584 UTC to 2026-12-08 14:23:33.584 UTC, unsent "
                                       "after 1 day"});
    EXPECT_EQ(sender->Status().counts.sent, 1);  // remembered for keepSentMs

    // Put more than a day ago, found a minute after the last look, though its request is under
    // way; the reply then changes nothing.
    outbox.PutOne({0x20}, now, now - 86'400'001);
    Advance(59'999);
    EXPECT_EQ(poster.FramesInFlight(), std::vector<std::string>{"20"});
    Advance(1);
    EXPECT_EQ(outbox.Counts().waiting, 0);
    EXPECT_EQ(sender->TakeLog().size(), 1u);
    poster.Reply(0, 200);
    Advance(86'400'000);
    EXPECT_EQ(outbox.Counts().sent, 0);  // forgotten after keepSentMs
    EXPECT_TRUE(sender->Idle());
}

// A failing outbox never throws out of Pump, a reply or Status: it is one log line and the
// status's error until it writes again; a frame whose acknowledgement was not kept is sent once
// more, after a pause.
TEST_F(ShareSenderTest, OutboxFailuresAreLoggedNotThrown) {
    const std::string diskFull = "memory outbox: disk full";
    const std::int64_t first = Put(0x01, 0);
    Start();
    outbox.failing = true;
    for (int i = 0; i < 3; ++i)
        EXPECT_NO_THROW(Advance(100));
    EXPECT_EQ(sender->TakeLog(), std::vector<std::string>{"shared frames: " + diskFull});
    ShareStatus status;
    EXPECT_NO_THROW(status = sender->Status());
    EXPECT_EQ(status.counts.lastError, diskFull);

    outbox.failing = false;
    Advance(1);
    ASSERT_EQ(poster.pending.size(), 1u);
    poster.Reply(0, 200);
    EXPECT_EQ(EntryOf(first).state, MemoryOutbox::State::Sent);
    EXPECT_EQ(sender->Status().counts.lastError, "");  // it writes again

    const std::int64_t second = Put(0x02, 0);
    Advance(1);
    ASSERT_EQ(poster.pending.size(), 1u);
    outbox.failing = true;
    EXPECT_NO_THROW(poster.Reply(0, 200));
    for (int i = 0; i < 3; ++i)
        EXPECT_NO_THROW(Advance(100));
    EXPECT_EQ(sender->TakeLog(), std::vector<std::string>{"shared frames: " + diskFull});
    EXPECT_TRUE(sender->Idle());
    outbox.failing = false;
    Advance(1'699);
    EXPECT_TRUE(poster.pending.empty());
    Advance(1);
    ASSERT_EQ(poster.FramesInFlight(), std::vector<std::string>{"02"});
    poster.Reply(0, 200);
    EXPECT_EQ(EntryOf(second).state, MemoryOutbox::State::Sent);
    EXPECT_EQ(sender->Status().counts.lastError, "");
    EXPECT_EQ(poster.posted, 3);
}

}  // namespace
}  // namespace quorbel
