// quorbel-kiss-replay: the frames it takes from a capture, the writes it cuts the stream into, and
// the built program serving generated captures to clients on 127.0.0.1.
#include "kiss_replay.hpp"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTest>
#include <memory>
#include <set>

#include "kiss_socket.hpp"
#include "sample_frames.hpp"
#include "support/concat.hpp"
#include "support/temp_folder.hpp"

namespace quorbel::replay {
namespace {

constexpr int kWaitMs = 20000;

using ::quorbel::testing::Concat;

TEST(KissReplay, CaptureDataFramesAreTheBytesBetweenFendsWithoutStamps) {
    const Bytes stamp = samples::KissTextStamp("2023-01-15 12:34:56.789 UTC");
    const Bytes numericStamp = samples::KissNumericStamp(1673785696768);  // escapes C0 inside
    const struct {
        const char* name;
        Bytes capture;
        std::vector<Bytes> frames;
    } cases[] = {
        {"one frame", {0xC0, 0x00, 0x01, 0x02, 0xC0}, {{0x00, 0x01, 0x02}}},
        {"escapes kept",
         {0xC0, 0x00, 0xDB, 0xDC, 0xDB, 0xDD, 0xDB, 0xC0},
         {{0x00, 0xDB, 0xDC, 0xDB, 0xDD, 0xDB}}},
        {"bytes before the first FEND", {0xAA, 0x00, 0xBB, 0xC0, 0x00, 0x05, 0xC0}, {{0x00, 0x05}}},
        {"unfinished last frame", {0xC0, 0x00, 0x01, 0xC0, 0x00, 0x02}, {{0x00, 0x01}}},
        {"shared FEND", {0xC0, 0x00, 0x01, 0xC0, 0x00, 0x02, 0xC0}, {{0x00, 0x01}, {0x00, 0x02}}},
        {"empty pieces", {0xC0, 0xC0, 0xC0, 0x00, 0x07, 0xC0, 0xC0}, {{0x00, 0x07}}},
        {"command byte alone", {0xC0, 0x00, 0xC0}, {{0x00}}},
        {"escaped command byte", {0xC0, 0xDB, 0xDC, 0x01, 0xC0}, {{0xDB, 0xDC, 0x01}}},
        {"other command byte", {0xC0, 0x10, 0x09, 0xC0}, {{0x10, 0x09}}},
        {"stamps left out",
         Concat({stamp, {0xC0, 0x00, 0x05, 0xC0}, numericStamp, {0xC0, 0x00, 0x06, 0xC0}}),
         {{0x00, 0x05}, {0x00, 0x06}}},
        {"stamps only", Concat({stamp, numericStamp}), {}},
        {"no FEND", {0x00, 0x01, 0x02}, {}},
        {"nothing", {}, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CaptureDataFrames(c.capture), c.frames) << c.name;

    // A capture as the live client records it, frames with bytes that need escapes: the stream
    // sent is the data frames exactly as the file holds them, the stamps gone.
    Bytes capture, expected;
    for (int i = 0; i < 5; ++i) {
        const Bytes frame = samples::MakeTextMessage(22, "C0 \xC0 DB \xDB #" + std::to_string(i));
        const Bytes dataFrame = samples::KissDataFrame(frame);
        capture = Concat({capture, i % 2 ? numericStamp : stamp, dataFrame});
        expected = Concat({expected, dataFrame});
    }
    EXPECT_EQ(FrameStream(CaptureDataFrames(capture)), expected);
}

// The writes in order, each as long as it says and where the last ended.
void ExpectWritesCoverTheStream(const std::vector<Write>& writes, const std::vector<Bytes>& frames,
                                const std::string& label) {
    const Bytes stream = FrameStream(frames);
    std::vector<std::size_t> frameOfByte;
    for (std::size_t i = 0; i < frames.size(); ++i)
        frameOfByte.insert(frameOfByte.end(), frames[i].size() + 2, i);
    Bytes reassembled;
    for (const Write& write : writes) {
        ASSERT_EQ(write.offset, reassembled.size()) << label;
        ASSERT_GE(write.length, 1u) << label;
        ASSERT_LE(write.offset + write.length, stream.size()) << label;
        EXPECT_EQ(write.frame, frameOfByte[write.offset + write.length - 1]) << label;
        reassembled.insert(reassembled.end(), stream.begin() + write.offset,
                           stream.begin() + write.offset + write.length);
    }
    EXPECT_EQ(reassembled, stream) << label;
}

TEST(KissReplay, WritesReassembleToTheFrameStream) {
    std::vector<Bytes> frames;
    for (std::size_t size : {1, 2, 40, 600, 3, 255, 256, 257, 1, 90})
        frames.emplace_back(size, static_cast<std::uint8_t>(size));
    std::vector<std::size_t> frameEnds;
    std::size_t end = 0;
    for (const Bytes& frame : frames)
        frameEnds.push_back(end += frame.size() + 2);

    // One write per frame.
    const std::vector<Write> perFrame = PlanWrites(frames, Chunking::Frame, true, 1);
    ASSERT_EQ(perFrame.size(), frames.size());
    ExpectWritesCoverTheStream(perFrame, frames, "frame");

    std::set<std::vector<std::size_t>> cuts;
    for (std::uint32_t seed : {0u, 1u, 2u, 99u, 4000000000u}) {
        for (bool paced : {false, true}) {
            const std::string label = "seed " + std::to_string(seed) + (paced ? " paced" : "");
            const std::vector<Write> writes = PlanWrites(frames, Chunking::Random, paced, seed);
            ExpectWritesCoverTheStream(writes, frames, label);
            bool crossesFrameEnd = false;
            std::vector<std::size_t> lengths;
            for (const Write& write : writes) {
                EXPECT_LE(write.length, kMaxChunk) << label;
                for (std::size_t frameEnd : frameEnds)
                    crossesFrameEnd |=
                        write.offset < frameEnd && frameEnd < write.offset + write.length;
                lengths.push_back(write.length);
            }
            // Paced writes never hold back a byte of a due frame for a later one; unpaced ones
            // run across frame ends.
            EXPECT_EQ(crossesFrameEnd, !paced) << label;
            if (!paced)
                cuts.insert(lengths);
        }
    }
    EXPECT_EQ(cuts.size(), 5u);  // different seeds, different cuts

    const std::vector<std::size_t> lengths = RandomChunkLengths(100000, kMaxChunk, 3);
    std::size_t sum = 0, shortest = kMaxChunk, longest = 0;
    for (std::size_t length : lengths) {
        sum += length;
        shortest = std::min(shortest, length);
        longest = std::max(longest, length);
    }
    EXPECT_EQ(sum, 100000u);
    EXPECT_EQ(shortest, 1u);
    EXPECT_EQ(longest, kMaxChunk);
    EXPECT_EQ(RandomChunkLengths(5, 1, 3), (std::vector<std::size_t>(5, 1)));
    EXPECT_TRUE(RandomChunkLengths(0, kMaxChunk, 3).empty());
    EXPECT_TRUE(PlanWrites({}, Chunking::Random, false, 1).empty());
}

// The built program, killed at the end of the test if it is still running.
class ReplayProgram {
  public:
    ~ReplayProgram() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(kWaitMs);
        }
    }
    // Starts it and returns the port it prints, or 0 when it prints none.
    int Start(const QStringList& arguments) {
        m_process.start(QUORBEL_BIN_DIR "/quorbel-kiss-replay", arguments);
        const QRegularExpression listening("listening on 127\\.0\\.0\\.1:(\\d+)\\n");
        QRegularExpressionMatch match;
        // A timeout shows as no port.
        (void)QTest::qWaitFor(
            [&] {
                m_out += m_process.readAllStandardOutput();
                match = listening.match(QString::fromUtf8(m_out));
                return match.hasMatch() || m_process.state() == QProcess::NotRunning;
            },
            kWaitMs);
        return match.hasMatch() ? match.captured(1).toInt() : 0;
    }
    // Waits for the end: the exit status, or -1 when it did not end by itself in time.
    int Finish() {
        if (!QTest::qWaitFor([&] { return m_process.state() == QProcess::NotRunning; }, kWaitMs))
            return -1;
        m_out += m_process.readAllStandardOutput();
        m_err += m_process.readAllStandardError();
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    }
    // Runs it to its end.
    int Run(const QStringList& arguments) {
        m_process.start(QUORBEL_BIN_DIR "/quorbel-kiss-replay", arguments);
        return Finish();
    }
    QProcess& Process() { return m_process; }
    QByteArray Out() const { return m_out; }
    QByteArray Err() const { return m_err; }

  private:
    QProcess m_process;
    QByteArray m_out, m_err;
};

// Everything a client receives until the server closes (or, with `expected`, until that many
// bytes are in), and whether the server closed.
struct Received {
    QByteArray bytes;
    bool closedByServer = false;
};
Received Receive(int port, qsizetype expected = -1) {
    Received received;
    QTcpSocket socket;
    QObject::connect(&socket, &QTcpSocket::readyRead, &socket,
                     [&] { received.bytes += socket.readAll(); });
    socket.connectToHost("127.0.0.1", static_cast<quint16>(port));
    // A timeout shows in what was received.
    (void)QTest::qWaitFor(
        [&] {
            return socket.state() == QAbstractSocket::UnconnectedState ||
                   (expected >= 0 && received.bytes.size() >= expected);
        },
        kWaitMs);
    received.closedByServer = socket.error() == QAbstractSocket::RemoteHostClosedError;
    received.bytes += socket.readAll();
    return received;
}

QByteArray ToQByteArray(const Bytes& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<qsizetype>(bytes.size()));
}

class KissReplayProgram : public ::testing::Test {
  protected:
    testing::TempFolder folder;
    std::string pass, small;
    Bytes stream;  // what a client must receive for pass and small together

    void SetUp() override {
        samples::PassOptions options;
        options.beacons = 100;
        const Bytes passBytes = samples::MakePassCapture(options);
        // Leading noise, an escaped frame, a stamp and an unfinished frame at the end.
        const Bytes smallBytes = Concat({{0x55, 0xC0, 0x00, 0xDB, 0xDC, 0x42, 0xDB, 0xDD, 0xC0},
                                         samples::KissTextStamp("2023-01-15 12:34:56.789 UTC"),
                                         {0xC0, 0x00, 0x43, 0xC0, 0x00, 0x44}});
        pass = folder.Write("pass.kss", passBytes);
        small = folder.Write("small.kss", smallBytes);
        std::vector<Bytes> frames = CaptureDataFrames(passBytes);
        ASSERT_EQ(frames.size(), 174u);
        for (Bytes& frame : CaptureDataFrames(smallBytes))
            frames.push_back(frame);
        stream = FrameStream(frames);
    }
};

TEST_F(KissReplayProgram, OnceSendsTheFramesAtTheRateToTheLiveClientSocketThenEnds) {
    // 14 frames at 40 per second: the last one is due 325 ms after the first.
    Bytes capture;
    for (int i = 0; i < 14; ++i)
        capture = Concat({capture, samples::KissDataFrame(samples::MakeTextMessage(22, "hi"))});
    const std::string file = folder.Write("fourteen.kss", capture);
    ReplayProgram program;
    const int port = program.Start({QString::fromStdString(file), "--port", "0", "--once", "--rate",
                                    "40", "--max-seconds", "60"});
    ASSERT_GT(port, 0);

    live::KissSocket socket;
    QByteArray received;
    int blocks = 0;
    socket.SetDataHandler([&](std::span<const std::uint8_t> bytes) {
        received.append(reinterpret_cast<const char*>(bytes.data()),
                        static_cast<qsizetype>(bytes.size()));
        ++blocks;
    });
    QElapsedTimer clock;
    clock.start();
    socket.Connect("127.0.0.1", port);
    ASSERT_TRUE(QTest::qWaitFor([&] { return socket.State() == live::kStatePeerClosing; }, kWaitMs))
        << socket.State();
    EXPECT_GE(clock.elapsed(), 300);
    EXPECT_GE(blocks, 2);  // frames 25 ms apart do not all arrive as one block
    EXPECT_TRUE(received == ToQByteArray(capture));
    // With --once it ends after the last frame, saying so.
    EXPECT_EQ(program.Finish(), 0);
    EXPECT_TRUE(program.Out().contains("sent 14 frames")) << program.Out().toStdString();
}

TEST_F(KissReplayProgram, ServesEveryClientUntilStopped) {
    ReplayProgram program;
    const int port = program.Start({QString::fromStdString(pass), QString::fromStdString(small),
                                    "--port", "0", "--chunk", "random", "--rate", "0"});
    ASSERT_GT(port, 0);
    // Each client gets everything; the connection stays open after the last frame.
    for (int client = 0; client < 2; ++client) {
        const Received received = Receive(port, static_cast<qsizetype>(stream.size()));
        EXPECT_TRUE(received.bytes == ToQByteArray(stream)) << client;
        EXPECT_FALSE(received.closedByServer) << client;
    }
    program.Process().terminate();  // SIGTERM
    EXPECT_EQ(program.Finish(), 0);
    EXPECT_TRUE(program.Out().contains("stopped on request")) << program.Out().toStdString();

    // It also ends by itself.
    ReplayProgram limited;
    ASSERT_GT(limited.Start({QString::fromStdString(pass), "--port", "0", "--max-seconds", "0.2"}),
              0);
    EXPECT_EQ(limited.Finish(), 0);
}

TEST_F(KissReplayProgram, OnceRunThatDoesNotReachItsEndFails) {
    // The client leaves early.
    ReplayProgram program;
    const int port = program.Start({QString::fromStdString(pass), "--port", "0", "--once", "--rate",
                                    "20", "--max-seconds", "60"});
    ASSERT_GT(port, 0);
    Receive(port, 10);
    EXPECT_EQ(program.Finish(), 1);
    EXPECT_TRUE(program.Err().contains("the client left")) << program.Err().toStdString();

    // No client comes in time.
    ReplayProgram waiting;
    ASSERT_GT(waiting.Start(
                  {QString::fromStdString(pass), "--port", "0", "--once", "--max-seconds", "0.2"}),
              0);
    EXPECT_EQ(waiting.Finish(), 1);
}

TEST_F(KissReplayProgram, BadInputAndWrongCommandLinesAreRefused) {
    const std::string empty = folder.Write("empty.kss", Bytes{});
    const std::string stamps = folder.Write(
        "stamps.kss", Concat({samples::KissTextStamp("2023-01-15 12:34:56.789 UTC"), {0xC0}}));
    const QString p = QString::fromStdString(pass);
    const struct {
        QStringList arguments;
        int status;
        const char* message;
    } cases[] = {
        {{QString::fromStdString(folder.File("missing.kss"))}, 1, "does not exist"},
        {{QString::fromStdString(folder.Path())}, 1, "is a folder"},
        {{QString::fromStdString(empty)}, 1, "is empty"},
        {{QString::fromStdString(stamps)}, 1, "holds no KISS data frame"},
        {{p, QString::fromStdString(empty)}, 1, "is empty"},
        {{}, 2, "no capture file"},
        {{p, "--bogus"}, 2, "bogus"},
        {{p, "--port"}, 2, "port"},
        {{p, "--port", "65536"}, 2, "--port"},
        {{p, "--port", "80.5"}, 2, "--port"},
        {{p, "--rate", "-1"}, 2, "--rate"},
        {{p, "--rate", "fast"}, 2, "--rate"},
        {{p, "--chunk", "line"}, 2, "--chunk"},
        {{p, "--seed", "-3"}, 2, "--seed"},
        {{p, "--max-seconds", "0"}, 2, "--max-seconds"},
    };
    for (const auto& c : cases) {
        ReplayProgram program;
        const std::string label = c.arguments.join(' ').toStdString();
        EXPECT_EQ(program.Run(c.arguments), c.status) << label;
        EXPECT_TRUE(program.Err().contains(c.message))
            << label << ": " << program.Err().toStdString();
        EXPECT_FALSE(program.Out().contains("listening")) << label;
    }
    ReplayProgram help;
    EXPECT_EQ(help.Run({"--help"}), 0);
    EXPECT_TRUE(help.Out().contains("usage: quorbel-kiss-replay FILE..."));
}

}  // namespace
}  // namespace quorbel::replay
