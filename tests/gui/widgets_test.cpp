// The window's widgets on their own: start-up placement, the message log box, the
// chart's label spacing, value axis, zoom, bar groups, the legibility of 5,000 bars, the breaks
// between passes and the bar width on the time axis, and the images page's boxes.
#include <gtest/gtest.h>

#include <QImage>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTest>
#include <cmath>
#include <limits>

#include "images_page.hpp"
#include "message_log_view.hpp"
#include "value_chart_view.hpp"
#include "window_fit.hpp"

namespace quorbel::gui {
namespace {

TEST(WindowFit, SizesToContentButNotBeyondTheWorkAreaAndCentres) {
    const QRect workArea(0, 30, 1920, 1050);
    // Small content: its own size, centred.
    EXPECT_EQ(FitRectToWorkArea({1000, 800}, {0, 0}, workArea), QRect(460, 155, 1000, 800));
    // Content larger than the work area: exactly the work area (less the frame), at its corner.
    EXPECT_EQ(FitRectToWorkArea({2500, 1400}, {10, 40}, workArea), QRect(0, 30, 1910, 1010));
    EXPECT_EQ(FitRectToWorkArea({2500, 700}, {0, 0}, QRect(100, 0, 800, 600)),
              QRect(100, 0, 800, 600));
    // Content too tall but narrow enough: the width grows by the vertical bar, so no
    // horizontal bar is needed; too wide and too tall stays the work area.
    EXPECT_EQ(FitRectToWorkArea({1226, 1000}, {0, 0}, QRect(0, 0, 1280, 900), 14),
              QRect(20, 0, 1240, 900));
    EXPECT_EQ(FitRectToWorkArea({1275, 1000}, {0, 0}, QRect(0, 0, 1280, 900), 14),
              QRect(0, 0, 1280, 900));
}

QColor ColourAt(const QTextEdit& box, int position) {
    QTextCursor cursor(box.document());
    cursor.setPosition(position + 1);  // the format of the character before the cursor
    return cursor.charFormat().foreground().color();
}

TEST(MessageLogView, CrLfIsOneLineBreakAndLinesGoInAtTheInsertionPointInTheirColour) {
    const std::string text = "ab\r\ncd\r\n\re";
    const int documentPositions[] = {0, 1, 2, 3, 3, 4, 5, 6, 6, 7, 8};
    for (std::size_t i = 0; i <= text.size(); ++i) {
        EXPECT_EQ(DocumentPosition(text, i), documentPositions[i]) << i;
    }
    const std::size_t modelPositions[] = {0, 1, 2, 4, 5, 6, 8, 9, 10};
    for (int d = 0; d <= 8; ++d) {
        EXPECT_EQ(ModelPosition(text, d), modelPositions[d]) << d;
    }

    RichText log;
    MessageLogView box;
    std::size_t caretSeen = 999;
    box.SetCaretHandler([&](std::size_t point) { caretSeen = point; });
    log.InsertAtInsertionPoint("t1 | HELLO\r\n", {0, 0, 0});
    box.ShowLog(log);
    log.InsertAtInsertionPoint("t2 | to: CQ fm: AB > hi\r\n", {0, 0, 255});
    log.InsertAtInsertionPoint("t3 | X\r\n", {0, 0, 0});
    box.ShowLog(log);
    EXPECT_EQ(box.toPlainText(), "t1 | HELLO\nt2 | to: CQ fm: AB > hi\nt3 | X\n");
    EXPECT_EQ(ColourAt(box, 0), QColor(0, 0, 0));
    EXPECT_EQ(ColourAt(box, 11), QColor(0, 0, 255));
    EXPECT_EQ(ColourAt(box, 35), QColor(0, 0, 0));
    EXPECT_EQ(caretSeen, 999u);  // the box's own updates do not move the log's caret

    // The user places the caret after the first line: the next line goes in there.
    QTextCursor cursor = box.textCursor();
    cursor.setPosition(11);
    box.setTextCursor(cursor);
    EXPECT_EQ(caretSeen, 12u);
    log.SetInsertionPoint(caretSeen);
    log.InsertAtInsertionPoint("t4 | NEW\r\n", {0, 0, 255});
    box.ShowLog(log);
    EXPECT_EQ(box.toPlainText(), "t1 | HELLO\nt4 | NEW\nt2 | to: CQ fm: AB > hi\nt3 | X\n");
    EXPECT_EQ(ColourAt(box, 11), QColor(0, 0, 255));
    EXPECT_EQ(ColourAt(box, 20), QColor(0, 0, 255));
    EXPECT_EQ(box.textCursor().position(), 20);

    // Emptied and filled again between two looks: the box rebuilds.
    log.Clear();
    log.InsertAtInsertionPoint("only\r\n", {255, 0, 0});
    box.ShowLog(log);
    EXPECT_EQ(box.toPlainText(), "only\n");
    EXPECT_EQ(ColourAt(box, 0), QColor(255, 0, 0));
}

TEST(ChartLabels, AboutFiftyReceiveTimesOverTheWholeChartFinerWhenZoomed) {
    ReceiveTimeTicker ticker;
    ticker.SetLabelRoom(80);
    ticker.SetLabels(std::vector<QString>(5000), 100);
    EXPECT_EQ(ticker.StepFor(5000), 100);
    EXPECT_EQ(ticker.StepFor(500), 10);
    EXPECT_EQ(ticker.StepFor(20), 1);
    ticker.SetLabelRoom(20);  // a narrow chart: labels never crowd
    EXPECT_EQ(ticker.StepFor(5000), 250);
    ticker.SetLabels(std::vector<QString>(100), 0);
    EXPECT_EQ(ticker.StepFor(100), 5);
    ticker.SetLabelRoom(200);
    EXPECT_EQ(ticker.StepFor(100), 1);
}

ChartModel ManyPoints(ChartKind kind, int points, int revision = 1) {
    ChartModel chart;
    chart.kind = kind;
    chart.penWidth = kind == ChartKind::Bar ? 1 : 30;
    chart.series.push_back({"Batt Voltage", std::nullopt, {}});
    for (int i = 0; i < points; ++i) {
        chart.series[0].values.push_back(4000 + 100 * std::sin(i / 300.0));
        chart.labels.push_back("12:00:00");
    }
    chart.pointsPerLabel = 100;
    chart.revision = revision;
    return chart;
}

class ValueChartViewTest : public testing::Test {
  protected:
    ValueChartViewTest() { view.resize(1000, 600); }

    // Share of the pixel columns of the plot area that show the series' colour.
    double CoveredColumns() {
        const QImage image = view.toPixmap(1000, 600).toImage();
        const QRect area = view.axisRect()->rect();
        int covered = 0;
        for (int x = area.left() + 2; x < area.right() - 2; ++x) {
            for (int y = area.top(); y < area.bottom(); ++y) {
                if (QColor(image.pixel(x, y)) == QColor(0, 102, 204)) {
                    ++covered;
                    break;
                }
            }
        }
        return static_cast<double>(covered) / (area.width() - 4);
    }

    ValueChartView view;
};

TEST_F(ValueChartViewTest, EmptyChartSpansTheWidgetAndTheValueAxisSpansTheFiniteValues) {
    // Before the first read the chart has no series and an empty legend.
    view.ShowChart(ChartModel{});
    view.toPixmap(1000, 600);
    EXPECT_GT(view.axisRect()->width(), 900);

    ChartModel chart = ManyPoints(ChartKind::Bar, 300);  // 4,000 to 4,084
    chart.series[0].values[7] = std::nan("");
    chart.series[0].values[8] = std::numeric_limits<double>::infinity();
    view.ShowChart(chart);
    // Not down to the bars' base at zero, and not thrown out by NaN or infinity.
    EXPECT_GT(view.yAxis->range().lower, 3900);
    EXPECT_LT(view.yAxis->range().lower, 4000);
    EXPECT_GT(view.yAxis->range().upper, 4084);
    EXPECT_LT(view.yAxis->range().upper, 4200);
}

TEST_F(ValueChartViewTest, FiveThousandBarsOrLinePointsCoverThePlot) {
    view.ShowChart(ManyPoints(ChartKind::Bar, 5000));
    EXPECT_EQ(view.PointCount(), 5000);
    EXPECT_GT(CoveredColumns(), 0.95);
    view.ShowChart(ManyPoints(ChartKind::Line, 5000, 2));
    EXPECT_GT(CoveredColumns(), 0.95);
}

TEST_F(ValueChartViewTest, GroupBarsShareOneBarsGroupOverManyRedraws) {
    // A group chart: three series side by side in each slot.
    ChartModel group = ManyPoints(ChartKind::Bar, 50);
    group.series.push_back({"Batt Current", std::nullopt, group.series[0].values});
    group.series.push_back({"Batt Temp", std::nullopt, group.series[0].values});
    for (int revision = 1; revision <= 100; ++revision) {
        group.revision = revision;  // a live frame redraws the chart each time
        view.ShowChart(group);
    }
    const QList<QCPBarsGroup*> groups = view.findChildren<QCPBarsGroup*>();
    ASSERT_EQ(groups.size(), 1);
    // Only the bars now on the chart are in the group, none of the cleared ones.
    EXPECT_EQ(groups[0]->size(), 3);
    ASSERT_EQ(view.plottableCount(), 3);
    for (int i = 0; i < view.plottableCount(); ++i) {
        auto* bars = qobject_cast<QCPBars*>(view.plottable(i));
        ASSERT_NE(bars, nullptr);
        EXPECT_EQ(bars->barsGroup(), groups[0]);
    }

    // A single series stands alone in its slot; the group again after it takes its three.
    view.ShowChart(ManyPoints(ChartKind::Bar, 50, 101));
    ASSERT_EQ(view.plottableCount(), 1);
    EXPECT_EQ(qobject_cast<QCPBars*>(view.plottable(0))->barsGroup(), nullptr);
    EXPECT_TRUE(groups[0]->isEmpty());
    group.revision = 102;
    view.ShowChart(group);
    EXPECT_EQ(view.findChildren<QCPBarsGroup*>().size(), 1);
    EXPECT_EQ(groups[0]->size(), 3);
}

TEST_F(ValueChartViewTest, OnTheTimeAxisALineBreaksBetweenPassesAndBarsDoNot) {
    // Two passes of three points an hour apart; a point without a time stays off the axis.
    ChartModel chart;
    chart.timeAxis = true;
    chart.series.push_back({"Batt Voltage", std::nullopt, {1, 2, 3, 4, 5, 6, 7}});
    chart.times = {7200, 7210, 7220, 3600, 3610, std::nan(""), 3620};
    chart.labels.resize(7);
    chart.revision = 1;
    view.ShowChart(chart);
    auto* line = qobject_cast<QCPGraph*>(view.plottable(0));
    ASSERT_NE(line, nullptr);
    std::vector<double> keys;
    std::vector<double> values;
    for (auto point = line->data()->begin(); point != line->data()->end(); ++point) {
        keys.push_back(point->key);
        values.push_back(point->value);
    }
    EXPECT_EQ(keys, (std::vector<double>{3600, 3610, 3620, 5410, 7200, 7210, 7220}));
    ASSERT_EQ(values.size(), 7u);
    EXPECT_TRUE(std::isnan(values[3]));
    EXPECT_EQ(values[4], 1);
    // The whole chart from the first receive time to the last, with little room around.
    EXPECT_LT(view.xAxis->range().lower, 3600);
    EXPECT_GT(view.xAxis->range().lower, 3600 - 0.05 * 3620);
    EXPECT_GT(view.xAxis->range().upper, 7220);
    EXPECT_LT(view.xAxis->range().upper, 7220 + 0.05 * 3620);

    chart.kind = ChartKind::Bar;
    chart.revision = 2;
    view.ShowChart(chart);
    auto* bars = qobject_cast<QCPBars*>(view.plottable(0));
    ASSERT_NE(bars, nullptr);
    EXPECT_EQ(bars->dataCount(), 6);
}

// The widths in pixels of the runs of the series' colour along one row of the plot area, leaving
// out runs cut by the area's edges (the value axis' line covers the left one).
std::vector<int> BarPixelWidths(ValueChartView& view) {
    const QImage image = view.toPixmap(view.width(), view.height()).toImage();
    const QRect area = view.axisRect()->rect();
    // Above the ticks on the time axis; every bar reaches down to its base below the area.
    const int y = area.bottom() - 10;
    std::vector<int> widths;
    int start = -1;
    const int left = area.left() + 2;
    for (int x = left; x <= area.right(); ++x) {
        const bool coloured = QColor(image.pixel(x, y)) == QColor(0, 102, 204);
        if (coloured && start < 0) {
            start = x;
        } else if (!coloured && start >= 0) {
            if (start > left) {
                widths.push_back(x - start);
            }
            start = -1;
        }
    }
    return widths;
}

TEST_F(ValueChartViewTest, BarsOnTheTimeAxisAreAllOneWidthAtEveryZoom) {
    // One pass of 40 frames about 10 s apart, each a little early or late.
    const double start = 1700000000;
    ChartModel chart;
    chart.kind = ChartKind::Bar;
    chart.timeAxis = true;
    chart.series.push_back({"Batt Voltage", std::nullopt, {}});
    for (int i = 0; i < 40; ++i) {
        chart.series[0].values.push_back(7400 + i % 7);
        chart.times.push_back(start + 10 * i + (i * 7 % 5) * 0.3);
        chart.labels.emplace_back();
    }
    chart.revision = 1;
    view.ShowChart(chart);
    // The whole pass, then zoomed in on a part of it by the wheel.
    for (const QCPRange& shown : {QCPRange(), QCPRange(start + 93, start + 211)}) {
        if (shown.size() > 0) {
            view.xAxis->setRange(shown);
        }
        const std::vector<int> widths = BarPixelWidths(view);
        ASSERT_GE(widths.size(), 10u);
        const double pixelsPerSecond = view.axisRect()->width() / view.xAxis->range().size();
        for (int width : widths) {
            EXPECT_EQ(width, widths[0]);
        }
        // Most of the usual spacing of the frames, 10.6 s.
        EXPECT_NEAR(widths[0], 0.8 * 10.6 * pixelsPerSecond, 1.0);
    }
}

// A click leaves the chart following new frames; a drag or the wheel keeps the axes over redraws
// until another file's read or a new selection shows the whole chart again.
TEST_F(ValueChartViewTest, AClickFollowsNewFramesADragOrTheWheelKeepsTheAxes) {
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    view.ShowChart(ManyPoints(ChartKind::Line, 200));
    view.replot();  // lays out the plot area the mouse acts on
    const QPoint middle = view.axisRect()->rect().center();
    QTest::mouseClick(&view, Qt::LeftButton, Qt::NoModifier, middle);
    EXPECT_FALSE(view.IsZoomed());
    view.ShowChart(ManyPoints(ChartKind::Line, 201, 2));  // a live frame
    EXPECT_DOUBLE_EQ(view.xAxis->range().lower, 0.5);
    EXPECT_DOUBLE_EQ(view.xAxis->range().upper, 201.5);

    // A drag pans the chart, and the axes stay there as more frames come in.
    QTest::mousePress(&view, Qt::LeftButton, Qt::NoModifier, middle);
    QTest::mouseMove(&view, middle + QPoint(-200, 0));
    QTest::mouseRelease(&view, Qt::LeftButton, Qt::NoModifier, middle + QPoint(-200, 0));
    EXPECT_TRUE(view.IsZoomed());
    const QCPRange dragged = view.xAxis->range();
    EXPECT_GT(dragged.lower, 0.5);
    view.ShowChart(ManyPoints(ChartKind::Line, 202, 3));
    EXPECT_EQ(view.xAxis->range(), dragged);

    // Another file read: the store was cleared, its records are others; the whole chart shows.
    ChartModel otherFile = ManyPoints(ChartKind::Line, 50, 4);
    otherFile.source.generation = 1;
    view.ShowChart(otherFile);
    EXPECT_FALSE(view.IsZoomed());
    EXPECT_DOUBLE_EQ(view.xAxis->range().lower, 0.5);
    EXPECT_DOUBLE_EQ(view.xAxis->range().upper, 50.5);

    // The wheel zooms; a redraw of the same selection (a live frame, the bar box) keeps it.
    view.xAxis->setRange(20, 30);
    QWheelEvent wheel(QPointF(400, 200), view.mapToGlobal(QPointF(400, 200)), QPoint(),
                      QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&view, &wheel);
    EXPECT_TRUE(view.IsZoomed());
    const QCPRange zoomed = view.xAxis->range();
    otherFile.revision = 5;
    view.ShowChart(otherFile);
    EXPECT_EQ(view.xAxis->range(), zoomed);
    view.ResetZoomOnNextDraw();
    otherFile.revision = 6;
    view.ShowChart(otherFile);
    EXPECT_FALSE(view.IsZoomed());
    EXPECT_DOUBLE_EQ(view.xAxis->range().upper, 50.5);
}

TEST(ImagesPage, ThePictureBoxStandsAsTallAsTheListAndTheListing) {
    ImagesPage page;
    page.resize(1200, 500);
    page.pictureCaption->setText("ssdv_007.jpg");
    page.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&page));
    const QRect list = page.imageFiles->geometry();
    for (const QWidget* box :
         {static_cast<QWidget*>(page.picture), static_cast<QWidget*>(page.ssdvListing)}) {
        EXPECT_EQ(box->geometry().top(), list.top()) << box->objectName().toStdString();
        EXPECT_EQ(box->geometry().bottom(), list.bottom()) << box->objectName().toStdString();
    }
    EXPECT_GT(page.picture->width(), 500);
}

}  // namespace
}  // namespace quorbel::gui
