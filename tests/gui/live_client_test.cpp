// The window's "TCP client" end to end over loopback: the box connects to a KISS server on
// 127.0.0.1, the lamp and state text follow the connection, frames cut anywhere in the stream
// are decoded and charted, and the peer closing, a refused connection and the cleared box show.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>
#include <random>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "chart_frame.hpp"
#include "main_window.hpp"
#include "qt_platform.hpp"
#include "sample_frames.hpp"
#include "shell/app_state.hpp"
#include "status_strip.hpp"
#include "support/loopback_listener.hpp"
#include "value_chart_view.hpp"

namespace quorbel::gui {
namespace {

// A KISS server on 127.0.0.1 in a thread of its own that sends its whole stream to the first
// client at once, as fast as the connection takes it, and closes when the client has gone.
class FloodServer {
  public:
    explicit FloodServer(samples::Bytes stream) : m_stream(std::move(stream)) {
        m_socket = testing::ListenOnLoopback(1, m_port);
        if (m_port == 0)
            return;
        m_thread = std::thread([this] {
            const int client = ::accept(m_socket, nullptr, nullptr);
            if (client < 0)
                return;
            for (std::size_t at = 0; at < m_stream.size();) {
                const ssize_t sent =
                    ::send(client, m_stream.data() + at, m_stream.size() - at, MSG_NOSIGNAL);
                if (sent <= 0)
                    break;  // the client has gone
                at += static_cast<std::size_t>(sent);
            }
            ::close(client);
        });
    }
    ~FloodServer() {
        ::shutdown(m_socket, SHUT_RDWR);  // ends an accept that still waits
        if (m_thread.joinable())
            m_thread.join();
        ::close(m_socket);
    }
    int Port() const { return m_port; }

  private:
    samples::Bytes m_stream;
    int m_socket = -1;
    int m_port = 0;
    std::thread m_thread;
};

class LiveClientWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_folder.isValid());
        ASSERT_TRUE(m_server.listen(QHostAddress::LocalHost, 0));
        m_app = std::make_unique<AppState>(m_platform);
        m_app->settings.appDir = QFile::encodeName(m_folder.path()).toStdString();
        UsePort(m_server.serverPort());
        m_window = std::make_unique<MainWindow>(*m_app, m_platform);
        m_window->SetEndProgram([] {});
        m_window->Start();
        m_window->show();
        // The state timer ticks faster than once a second, so the test need not wait.
        m_window->findChild<QTimer*>("connectionTimer")->setInterval(20);
    }

    void UsePort(int port) {
        m_app->settings.tcpHost = "127.0.0.1";
        m_app->settings.tcpPort = port;
        m_app->settings.tcpPortText = std::to_string(port);
    }
    QCheckBox* Box() { return m_window->findChild<QCheckBox*>("tcpClient"); }
    QString StateText() { return m_window->findChild<QLabel*>("connectionText")->text(); }
    QColor LampColour() { return m_window->findChild<Lamp*>()->Colour(); }
    bool WaitForState(const QString& text) {
        return QTest::qWaitFor([&] { return StateText() == text; }, 5000);
    }

    QTemporaryDir m_folder;
    QTcpServer m_server;
    QtPlatform m_platform;
    std::unique_ptr<AppState> m_app;
    std::unique_ptr<MainWindow> m_window;
};

TEST_F(LiveClientWindowTest, ConnectsDecodesChartsAndShowsEveryState) {
    EXPECT_EQ(LampColour(), QColor(192, 192, 192));
    Box()->click();
    ASSERT_TRUE(m_server.waitForNewConnection(5000));
    QTcpSocket* peer = m_server.nextPendingConnection();
    ASSERT_TRUE(WaitForState("Connected"));
    EXPECT_EQ(LampColour(), QColor(0, 255, 0));
    EXPECT_TRUE(Box()->isChecked());

    // Forty beacons, the stream cut into writes of random length.
    samples::Bytes stream;
    for (int i = 0; i < 40; ++i) {
        samples::FieldValues values{};
        values[0] = i;
        const samples::Bytes frame = samples::KissDataFrame(samples::MakeBeacon(22, values));
        stream.insert(stream.end(), frame.begin(), frame.end());
    }
    std::mt19937 random(5);
    for (std::size_t at = 0; at < stream.size();) {
        const std::size_t n = std::min<std::size_t>(1 + random() % 300, stream.size() - at);
        peer->write(reinterpret_cast<const char*>(stream.data() + at), static_cast<qint64>(n));
        peer->flush();
        at += n;
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_app->telemetry.Count() == 40; }, 5000));
    // The chart follows: field 0 of every beacon, drawn within the refresh interval.
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return m_window->Chart()->chart->plottableCount() == 1; }, 2000));
    auto* plot = m_window->Chart()->chart;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            auto* graph = qobject_cast<QCPGraph*>(plot->plottable(0));
            return graph != nullptr && graph->dataCount() == 40;
        },
        2000));
    EXPECT_EQ(m_app->ui.chart.series.at(0).values.back(), 39);
    EXPECT_TRUE(m_window->findChild<QWidget*>("statusLine") != nullptr);
    EXPECT_NE(m_app->ui.statusLine.find(" bytes has been added to "), std::string::npos);

    // The peer closes: the state says so and the lamp turns yellow.
    peer->disconnectFromHost();
    ASSERT_TRUE(WaitForState("Peer is closing the connection"));
    EXPECT_EQ(LampColour(), QColor(255, 255, 0));

    // Cleared: closed and grey; the timer stops.
    Box()->click();
    EXPECT_EQ(StateText(), "Closed");
    EXPECT_EQ(LampColour(), QColor(192, 192, 192));
    EXPECT_FALSE(m_app->ui.connectionTimerRunning);

    // A port where nobody listens: an error, red.
    const quint16 closedPort = m_server.serverPort();
    m_server.close();
    UsePort(closedPort);
    Box()->click();
    ASSERT_TRUE(WaitForState("Error: Connection refused"));
    EXPECT_EQ(LampColour(), QColor(255, 0, 0));
    Box()->click();
    EXPECT_EQ(StateText(), "Closed");
}

// Clearing the box in the middle of a flood takes effect at the next turn of the event loop, within
// a fraction of a second, and no frame is decoded or recorded after it: the capture file holds
// whole exactly the beacons that were decoded.
TEST_F(LiveClientWindowTest, ClearingTheBoxStopsAFloodAtOnce) {
    samples::Bytes stream;
    for (int i = 0; i < 30000; ++i) {
        samples::FieldValues values{};
        values[0] = i % 1000;
        const samples::Bytes frame = samples::KissDataFrame(samples::MakeBeacon(22, values));
        stream.insert(stream.end(), frame.begin(), frame.end());
    }
    const FloodServer flood(stream);
    ASSERT_NE(flood.Port(), 0);
    UsePort(flood.Port());
    Box()->click();

    // The click as the user's would come in the middle of the flood: an event among the others of
    // the event loop, seen as soon as the slice of the stream in hand is done. A timer ticks every
    // 20 ms; once a few hundred beacons are in (well below the store's 5,000), its tick clears the
    // box, and how late that tick came says how long the event loop was held by the flood.
    constexpr int kTickMs = 20;
    QElapsedTimer sinceTick;
    qint64 lateMs = -1;
    int decodedAtClear = 0;
    QTimer ticks;
    ticks.setTimerType(Qt::PreciseTimer);
    ticks.setInterval(kTickMs);
    QObject::connect(&ticks, &QTimer::timeout, m_window.get(), [&] {
        const qint64 gap = sinceTick.restart();
        if (lateMs >= 0 || m_app->telemetry.Count() < 300)
            return;
        lateMs = gap - kTickMs;
        Box()->click();
        decodedAtClear = m_app->telemetry.Count();
        ticks.stop();
    });
    sinceTick.start();
    ticks.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return lateMs >= 0; }, 10000));
    QTest::qWait(300);
    EXPECT_LT(lateMs, 500);
    EXPECT_EQ(StateText(), "Closed");
    EXPECT_EQ(m_app->telemetry.Count(), decodedAtClear);
    EXPECT_GT(decodedAtClear, 0);
    EXPECT_LT(decodedAtClear, 30000);

    const QDir folder(m_folder.path());
    const QStringList captures = folder.entryList({"*.kss"}, QDir::Files);
    ASSERT_EQ(captures.size(), 1);
    QFile capture(folder.filePath(captures[0]));
    ASSERT_TRUE(capture.open(QIODevice::ReadOnly));
    const QByteArray recorded = capture.readAll();
    ASSERT_FALSE(recorded.isEmpty());
    EXPECT_EQ(recorded.back(), '\xC0');
    EXPECT_EQ(recorded.count(QByteArray("\xC0\x09", 2)), static_cast<qsizetype>(decodedAtClear));
    // Each beacon is FEND, command byte 0, the frame, FEND.
    EXPECT_EQ(recorded.count(QByteArray("\xC0\x00", 2)), static_cast<qsizetype>(decodedAtClear));
}

}  // namespace
}  // namespace quorbel::gui
