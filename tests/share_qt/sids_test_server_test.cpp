// The SiDS test server: the fields it checks, keep-alive connections read off a plain socket, and
// the random mode's stable rejections.
#include "support/sids_test_server.hpp"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTcpSocket>
#include <QThread>
#include <filesystem>
#include <fstream>

#include "qt_http_poster.hpp"
#include "support/temp_folder.hpp"

namespace quorbel::testing {
namespace {

using namespace std::chrono_literals;

const std::map<std::string, std::string> kGoodFields = {
    {"noradID", "99999"},     {"source", "DL1ABC"},   {"timestamp", "2026-12-07T14:22:18.584Z"},
    {"frame", "C0FFEE01"},    {"locator", "longLat"}, {"longitude", "13.4050E"},
    {"latitude", "52.5200N"},
};

TEST(SidsTestServer, FieldsAreCheckedAsSidsWantsThem) {
    EXPECT_EQ(DecodeForm("a=1&b=x+y%2Fz&c=&d&e=%4"),
              (std::map<std::string, std::string>{
                  {"a", "1"}, {"b", "x y/z"}, {"c", ""}, {"d", ""}, {"e", "%4"}}));
    EXPECT_TRUE(SidsProblems(kGoodFields).empty());
    const struct {
        const char* field;
        const char* value;  // nullptr: left out
    } bad[] = {
        {"noradID", "9999a"},
        {"noradID", nullptr},
        {"source", ""},
        {"timestamp", "2026-12-07T14:22:18Z"},
        {"timestamp", "2026-12-07 14:22:18.584Z"},
        {"frame", "c0ffee"},
        {"frame", "C0F"},
        {"frame", ""},
        {"locator", "latLong"},
        {"longitude", "13.405E"},
        {"longitude", "-13.4050E"},
        {"longitude", "181.0000W"},
        {"latitude", "52.5200E"},
        {"latitude", "91.0000S"},
        {"extra", "1"},
    };
    for (const auto& c : bad) {
        auto fields = kGoodFields;
        if (c.value)
            fields[c.field] = c.value;
        else
            fields.erase(c.field);
        const auto problems = SidsProblems(fields);
        ASSERT_EQ(problems.size(), 1u) << c.field << '=' << (c.value ? c.value : "(none)");
        EXPECT_NE(problems.front().find(c.field), std::string::npos) << problems.front();
    }
    auto south = kGoodFields;
    south["longitude"] = "180.0000W";
    south["latitude"] = "0.0000S";
    EXPECT_TRUE(SidsProblems(south).empty());
}

// A POST as bytes, on a plain socket.
QByteArray RawPost(const std::string& body, const char* extraHeader = "") {
    return "POST /api/telemetry/ HTTP/1.1\r\nHost: 127.0.0.1\r\n"
           "Content-Type: application/x-www-form-urlencoded\r\n" +
           QByteArray(extraHeader) + "Content-Length: " + QByteArray::number(body.size()) +
           "\r\n\r\n" + QByteArray::fromStdString(body);
}

std::string Body(const std::string& frame) {
    return "noradID=1&source=X&timestamp=2026-12-07T14%3A22%3A18.584Z&frame=" + frame +
           "&locator=longLat&longitude=0.0000E&latitude=0.0000N";
}

// Reads from the socket, blocking, until `count` whole replies arrived.
QByteArray ReadReplies(QTcpSocket& socket, int count) {
    QByteArray all;
    QElapsedTimer timer;
    timer.start();
    while (all.count("HTTP/1.1 ") < count && timer.elapsed() < 10000) {
        socket.waitForReadyRead(100);
        all += socket.readAll();
    }
    return all;
}

TEST(SidsTestServer, AnswersKeepAliveRequestsAsScripted) {
    SidsTestServer server;
    server.Script({SidsAction::Reply(429, "wait", "1"), SidsAction::ReplyAfter(150, 201, "{}")});
    QTcpSocket socket;
    socket.connectToHost("127.0.0.1", static_cast<quint16>(server.Port()));
    ASSERT_TRUE(socket.waitForConnected(5000));

    // Two requests written at once, the second in two pieces: answered in order, the second late.
    const QByteArray second = RawPost(Body("BB"));
    socket.write(RawPost(Body("AA")) + second.left(20));
    socket.flush();
    ASSERT_TRUE(server.WaitForRequests(1, 5s));
    socket.write(second.mid(20));
    const QByteArray replies = ReadReplies(socket, 2);
    EXPECT_TRUE(replies.startsWith("HTTP/1.1 429 Too Many Requests\r\n")) << replies.toStdString();
    EXPECT_TRUE(replies.contains("Retry-After: 1\r\n"));
    EXPECT_TRUE(replies.contains("\r\n\r\nwaitHTTP/1.1 201 Created\r\n")) << replies.toStdString();

    // A bad frame is answered 400 naming the field and leaves the script alone.
    server.Script({SidsAction::Reply(202)});
    socket.write(RawPost(Body("aa")));
    const QByteArray rejected = ReadReplies(socket, 1);
    EXPECT_TRUE(rejected.startsWith("HTTP/1.1 400 ")) << rejected.toStdString();
    EXPECT_TRUE(rejected.contains("frame")) << rejected.toStdString();
    socket.write(RawPost(Body("CC"), "Connection: close\r\n"));
    EXPECT_TRUE(ReadReplies(socket, 1).startsWith("HTTP/1.1 202 "));
    EXPECT_TRUE(socket.state() == QAbstractSocket::UnconnectedState ||
                socket.waitForDisconnected(5000));

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(requests[0].fields.at("frame"), "AA");
    EXPECT_EQ(requests[1].action.Describe(), "201 after 150 ms");
    EXPECT_GE(requests[1].arrival - requests[0].arrival, 0ms);
    EXPECT_EQ(requests[2].action.status, 400);
    EXPECT_FALSE(requests[2].problems.empty());
    EXPECT_EQ(requests[3].action.status, 202);
    for (const auto& request : requests)
        EXPECT_EQ(request.connection, 1);
}

TEST(SidsTestServer, RandomModeRejectsAFrameForGoodOnceItWasRejected) {
    // Each of ten frames posted five times, one after another, against the same seed twice: the
    // same answers, and after a frame's first 400 only 400s.
    std::vector<std::string> runs[2];
    for (auto& run : runs) {
        SidsTestServer server;
        server.SetRandom(42, {.created = 40,
                              .badRequest = 30,
                              .tooMany = 10,
                              .serverError = 10,
                              .unavailable = 10,
                              .stall = 0,
                              .reset = 0});
        QtHttpPoster poster(2s);
        for (int round = 0; round < 5; ++round) {
            for (int frame = 0; frame < 10; ++frame) {
                bool done = false;
                poster.Post(server.Url(), Body("0" + std::to_string(frame)),
                            [&](const HttpReply&) { done = true; });
                while (!done)
                    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            }
        }
        std::map<std::string, bool> rejected;
        for (const auto& request : server.Requests()) {
            const std::string& frame = request.fields.at("frame");
            if (rejected[frame]) {
                EXPECT_EQ(request.action.status, 400) << frame;
            }
            rejected[frame] = request.action.status == 400;
            run.push_back(frame + ' ' + request.action.Describe());
        }
        EXPECT_EQ(run.size(), 50u);
    }
    EXPECT_EQ(runs[0], runs[1]);
}

TEST(SidsTestServer, RunsAsAProgramForTestsInAnotherProcess) {
    TempFolder folder;
    QProcess program;
    program.start(SIDS_TEST_SERVER,
                  {"--port-file", QString::fromStdString(folder.File("port")), "--log",
                   QString::fromStdString(folder.File("log")), "--mode", "503"});
    ASSERT_TRUE(program.waitForStarted(5000));
    QElapsedTimer timer;
    timer.start();
    while (!std::filesystem::exists(folder.File("port")) && timer.elapsed() < 10000)
        QThread::msleep(20);
    int port = 0;
    std::ifstream(folder.File("port")) >> port;
    ASSERT_GT(port, 0);

    QtHttpPoster poster;
    int status = -1;
    poster.Post("http://127.0.0.1:" + std::to_string(port) + "/api/telemetry/", Body("5A"),
                [&](const HttpReply& reply) { status = reply.status; });
    while (status < 0 && timer.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(status, 503);

    program.terminate();
    ASSERT_TRUE(program.waitForFinished(5000));
    EXPECT_EQ(program.exitCode(), 0);
    std::ifstream log(folder.File("log"));
    std::string line;
    std::getline(log, line);
    EXPECT_NE(line.find("\t1\t5A\t503"), std::string::npos) << line;
}

}  // namespace
}  // namespace quorbel::testing
