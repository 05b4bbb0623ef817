// The HTTP poster against the SiDS test server on 127.0.0.1: replies, failures without a reply,
// requests in flight when the poster goes, and many requests at once.
#include "qt_http_poster.hpp"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QLocale>
#include <QTimeZone>
#include <climits>
#include <memory>
#include <optional>
#include <set>

#include "support/loopback_listener.hpp"
#include "support/sids_test_server.hpp"

namespace quorbel {
namespace {

using testing::SidsAction;
using testing::SidsTestServer;
using namespace std::chrono_literals;

// A good SiDS body for a frame of the given hex.
std::string FrameBody(const std::string& hex) {
    return "noradID=99999&source=DL1ABC%2FP&timestamp=2026-12-07T14%3A22%3A18.584Z&frame=" + hex +
           "&locator=longLat&longitude=13.4050E&latitude=52.5200N";
}

// Runs the event loop until `done` holds or `timeoutMs` passed; returns whether it holds.
template <typename Predicate>
bool RunUntil(Predicate done, int timeoutMs = 10000) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

// One request: its reply, and whether `done` was called within Post or more than once.
struct Outcome {
    std::optional<HttpReply> reply;
    int calls = 0;
    bool posting = true;  // Post has not returned yet
    bool calledWithinPost = false;
};

std::shared_ptr<Outcome> PostOne(QtHttpPoster& poster, const std::string& url,
                                 const std::string& body) {
    auto outcome = std::make_shared<Outcome>();
    poster.Post(url, body, [outcome](const HttpReply& reply) {
        outcome->calledWithinPost |= outcome->posting;
        ++outcome->calls;
        outcome->reply = reply;
    });
    outcome->posting = false;
    return outcome;
}

HttpReply PostAndWait(QtHttpPoster& poster, const std::string& url, const std::string& body) {
    const auto outcome = PostOne(poster, url, body);
    EXPECT_TRUE(RunUntil([&] { return outcome->calls > 0; }, 20000)) << "no reply";
    EXPECT_FALSE(outcome->calledWithinPost);
    RunUntil([] { return false; }, 20);  // a second call would come now
    EXPECT_EQ(outcome->calls, 1);
    return outcome->reply.value_or(HttpReply{});
}

std::string HttpDate(std::int64_t ms) {
    return QLocale::c()
        .toString(QDateTime::fromMSecsSinceEpoch(ms, QTimeZone::utc()),
                  QStringLiteral("ddd, dd MMM yyyy hh:mm:ss 'GMT'"))
        .toStdString();
}

TEST(QtHttpPoster, RetryAfterIsSecondsOrAnHttpDate) {
    const std::int64_t now = 1796653248000;  // Mon, 07 Dec 2026 14:20:48 GMT
    const struct {
        const char* value;
        std::optional<int> seconds;
    } cases[] = {
        {"120", 120},
        {" 7 ", 7},
        {"0", 0},
        {"99999999999999999999", INT_MAX},
        {"Mon, 07 Dec 2026 14:22:18 GMT", 90},
        {"Mon, 07 Dec 2026 14:20:00 GMT", 0},  // already past
        {"Monday, 07-Dec-26 14:21:48 GMT", 60},
        {"Monday, 07-Dec-26 25:21:48 GMT", std::nullopt},
        {"Mon Dec  7 14:20:58 2026", 10},
        {"-5", std::nullopt},
        {"1.5", std::nullopt},
        {"soon", std::nullopt},
        {"", std::nullopt},
        {"Mon, 32 Dec 2026 14:22:18 GMT", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseRetryAfter(c.value, now), c.seconds) << '"' << c.value << '"';
}

TEST(QtHttpPoster, RepliesArriveWithStatusBodyAndRetryAfter) {
    SidsTestServer server;
    QtHttpPoster poster;
    const std::string longBody(3000, 'x');
    const std::string date = HttpDate(QDateTime::currentMSecsSinceEpoch() + 120'000);
    const struct {
        SidsAction action;
        int status;
        std::string body;
        std::optional<int> retryAfter;
    } cases[] = {
        {SidsAction::Reply(201, "{\"id\":1}"), 201, "{\"id\":1}", std::nullopt},
        {SidsAction::Reply(400, longBody), 400, longBody.substr(0, 2048), std::nullopt},
        {SidsAction::Reply(404, "not here"), 404, "not here", std::nullopt},
        {SidsAction::Reply(429, "slow down", "7"), 429, "slow down", 7},
        {SidsAction::Reply(429, "", date), 429, "", 120},
        {SidsAction::Reply(500, "oops"), 500, "oops", std::nullopt},
        {SidsAction::Reply(503, "", "3"), 503, "", 3},
        {SidsAction::Reply(301, "moved"), 301, "moved", std::nullopt},  // not followed
    };
    for (const auto& c : cases) {
        server.Script({c.action});
        const HttpReply reply = PostAndWait(poster, server.Url(), FrameBody("0102AB"));
        const std::string label = c.action.Describe();
        EXPECT_EQ(reply.status, c.status) << label;
        EXPECT_EQ(reply.body, c.body) << label;
        EXPECT_TRUE(reply.error.empty()) << label << ": " << reply.error;
        if (c.retryAfter && reply.retryAfterSeconds) {  // an HTTP-date may be a second nearer
            EXPECT_NEAR(*reply.retryAfterSeconds, *c.retryAfter, 1) << label;
        } else {
            EXPECT_EQ(reply.retryAfterSeconds, c.retryAfter) << label;
        }
    }

    // The server received each body as posted, as a form, from the program, on one connection.
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), std::size(cases));
    for (const auto& request : requests) {
        EXPECT_TRUE(request.problems.empty()) << request.problems.front();
        EXPECT_EQ(request.method, "POST");
        EXPECT_EQ(request.target, "/api/telemetry/");
        EXPECT_EQ(request.body, FrameBody("0102AB"));
        EXPECT_EQ(request.fields.at("source"), "DL1ABC/P");
        EXPECT_EQ(request.headers.at("content-type"), "application/x-www-form-urlencoded");
        EXPECT_EQ(request.headers.at("user-agent"), ShareUserAgent());
        EXPECT_EQ(request.connection, requests.front().connection);
    }
    EXPECT_EQ(ShareUserAgent().rfind("quorbel/", 0), 0u) << ShareUserAgent();
}

TEST(QtHttpPoster, NoReplyEndsAsStatusZeroWithTheError) {
    SidsTestServer server;
    QtHttpPoster poster(300ms);

    // A stalled server: the transfer timeout, not sooner.
    server.SetDefault(SidsAction::Stall());
    QElapsedTimer timer;
    timer.start();
    HttpReply reply = PostAndWait(poster, server.Url(), FrameBody("01"));
    EXPECT_EQ(reply.status, 0);
    EXPECT_EQ(reply.error, "timed out");
    EXPECT_GE(timer.elapsed(), 300);
    EXPECT_LT(timer.elapsed(), 10000);

    // A server that resets every connection (Qt tries a reset request again on a new connection
    // before it gives up).
    server.SetDefault(SidsAction::Reset());
    const std::size_t before = server.RequestCount();
    reply = PostAndWait(poster, server.Url(), FrameBody("02"));
    EXPECT_EQ(reply.status, 0);
    EXPECT_FALSE(reply.error.empty());
    EXPECT_NE(reply.error, "timed out");
    EXPECT_GT(server.RequestCount(), before);
    EXPECT_LE(server.RequestCount(), before + 3);

    // Nothing listening on the port.
    int port = 0;
    const int listener = quorbel::testing::ListenOnLoopback(1, port);
    ASSERT_GE(listener, 0);
    ::close(listener);
    reply = PostAndWait(poster, "http://127.0.0.1:" + std::to_string(port) + "/", FrameBody("03"));
    EXPECT_EQ(reply.status, 0);
    EXPECT_NE(QString::fromStdString(reply.error).indexOf("refused", 0, Qt::CaseInsensitive), -1)
        << reply.error;

    // A URL Qt cannot post to fails from the event loop too.
    reply = PostAndWait(poster, "nosuchscheme://127.0.0.1/", FrameBody("04"));
    EXPECT_EQ(reply.status, 0);
    EXPECT_FALSE(reply.error.empty());
}

TEST(QtHttpPoster, ManyRequestsAtOnceEachCompleteOnce) {
    SidsTestServer server;
    server.SetRandom(7, {.created = 50,
                         .badRequest = 10,
                         .tooMany = 10,
                         .serverError = 5,
                         .unavailable = 5,
                         .stall = 10,
                         .reset = 10});
    QtHttpPoster poster(500ms);
    std::vector<std::shared_ptr<Outcome>> outcomes;
    for (int i = 0; i < 60; ++i) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "%04X", i);
        outcomes.push_back(PostOne(poster, server.Url(), FrameBody(hex)));
    }
    EXPECT_EQ(poster.Pending(), 60);
    ASSERT_TRUE(RunUntil([&] { return poster.Pending() == 0; }, 60000));
    RunUntil([] { return false; }, 50);
    std::set<int> statuses;
    for (const auto& outcome : outcomes) {
        EXPECT_EQ(outcome->calls, 1);
        EXPECT_FALSE(outcome->calledWithinPost);
        statuses.insert(outcome->reply->status);
    }
    EXPECT_EQ(statuses, (std::set<int>{0, 201, 400, 429, 500, 503}));
}

TEST(QtHttpPoster, RequestsInFlightAreDroppedWithThePoster) {
    SidsTestServer server;
    server.SetDefault(SidsAction::Stall());
    int calls = 0;
    auto poster = std::make_unique<QtHttpPoster>(10s);
    for (int i = 0; i < 3; ++i)
        poster->Post(server.Url(), FrameBody("0A"), [&](const HttpReply&) { ++calls; });
    ASSERT_TRUE(RunUntil([&] { return server.RequestCount() == 3; }));
    poster.reset();
    RunUntil([] { return false; }, 200);
    EXPECT_EQ(calls, 0);

    // A `done` that destroys the poster: the other requests in flight are dropped with it.
    server.Script({SidsAction::ReplyAfter(1000, 201)});
    poster = std::make_unique<QtHttpPoster>(10s);
    int quickCalls = 0;
    poster->Post(server.Url(), FrameBody("0B"), [&](const HttpReply& reply) {
        ++quickCalls;
        EXPECT_EQ(reply.status, 201);
        poster.reset();
    });
    ASSERT_TRUE(RunUntil([&] { return server.RequestCount() == 4; }));
    for (int i = 0; i < 2; ++i)
        poster->Post(server.Url(), FrameBody("0C"), [&](const HttpReply&) { ++calls; });
    EXPECT_TRUE(RunUntil([&] { return poster == nullptr; }));
    RunUntil([] { return false; }, 200);
    EXPECT_EQ(quickCalls, 1);
    EXPECT_EQ(calls, 0);
}

}  // namespace
}  // namespace quorbel
