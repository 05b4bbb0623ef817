// The window's "TCP client" end to end over loopback: the box connects to a KISS server on
// 127.0.0.1, the lamp and state text follow the connection, frames cut anywhere in the stream
// are decoded and charted, and the peer closing, a refused connection and the cleared box show.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

#include "chart_frame.hpp"
#include "main_window.hpp"
#include "qt_platform.hpp"
#include "sample_frames.hpp"
#include "shell/app_state.hpp"
#include "status_strip.hpp"
#include "value_chart_view.hpp"

namespace quorbel::gui {
namespace {

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

    // Forty beacons, each written on its own.
    for (int i = 0; i < 40; ++i) {
        samples::FieldValues values{};
        values[0] = i;
        const samples::Bytes frame = samples::KissDataFrame(samples::MakeBeacon(22, values));
        peer->write(reinterpret_cast<const char*>(frame.data()), static_cast<qint64>(frame.size()));
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_app->telemetry.Count() == 40; }, 5000));
    // The chart follows: field 0 of every beacon, drawn within the refresh interval.
    auto* plot = m_window->Chart()->chart;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            auto* graph = qobject_cast<QCPGraph*>(plot->plottable(0));
            return plot->plottableCount() == 1 && graph != nullptr && graph->dataCount() == 40;
        },
        4000));
    EXPECT_EQ(m_app->ui.chart.series.at(0).values.back(), 39);
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

}  // namespace
}  // namespace quorbel::gui
