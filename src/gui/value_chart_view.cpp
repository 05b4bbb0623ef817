// The value chart on QCustomPlot: series, colours, bars or line, receive-time labels, zoom and
// pan. Thin bars carry no outline pen and no antialiasing, so 5,000 bars draw visibly and fast.
#include "value_chart_view.hpp"

#include <algorithm>
#include <cmath>

namespace quorbel::gui {

namespace {

// The colour of a series that brings none of its own.
const QColor kDefaultSeriesColour(0, 102, 204);
// Antialiasing makes small charts smooth but costs too much on thousands of points.
constexpr int kMaxAntialiasedPoints = 500;
// Wide bars fill this share of their slot, so neighbours stay apart; bars of a few pixels or
// less fill all of it: a gap thinner than a pixel would blank whole pixel columns at random.
constexpr double kWideBarShare = 0.8;
constexpr int kWideBarPixels = 4;
// Pixels of the chart's width taken by the value axis and the margins.
constexpr int kValueAxisRoom = 80;

QColor SeriesColour(const ChartSeries& series) {
    if (!series.rgb) {
        return kDefaultSeriesColour;
    }
    return {series.rgb->r, series.rgb->g, series.rgb->b};
}

// The model's pen width follows the classic chart control (1 thin, 30 the thick line); on a
// pixel canvas a tenth of it, at least one pixel, gives the same look.
double LinePixels(int penWidth) {
    return std::max(1.0, penWidth / 10.0);
}

}  // namespace

void ReceiveTimeTicker::SetLabels(std::vector<QString> labels, int pointsPerLabel) {
    m_labels = std::move(labels);
    m_pointsPerLabel = pointsPerLabel;
}

int ReceiveTimeTicker::StepFor(double visiblePoints) const {
    const double total = std::max<double>(1.0, static_cast<double>(m_labels.size()));
    int step = 1;
    if (m_pointsPerLabel > 0) {
        // The model's spacing for the whole chart, finer in proportion when zoomed in.
        const double share = std::min(1.0, visiblePoints / total);
        step = std::max(1, static_cast<int>(std::lround(m_pointsPerLabel * share)));
    }
    const int fitting = static_cast<int>(std::ceil(visiblePoints / m_labelRoom));
    return std::max(step, fitting);
}

double ReceiveTimeTicker::getTickStep(const QCPRange& range) {
    return StepFor(range.size());
}

int ReceiveTimeTicker::getSubTickCount(double) {
    return 0;
}

QString ReceiveTimeTicker::getTickLabel(double tick, const QLocale&, QChar, int) {
    const long point = std::lround(tick);
    if (point < 1 || point > static_cast<long>(m_labels.size())) {
        return {};
    }
    return m_labels[static_cast<std::size_t>(point - 1)];
}

QVector<double> ReceiveTimeTicker::createTickVector(double tickStep, const QCPRange& range) {
    // Ticks at points 1, 1 + step, 1 + 2 step ... as the classic chart labels its categories.
    QVector<double> ticks;
    const double step = std::max(1.0, tickStep);
    const double last = std::min(range.upper, static_cast<double>(m_labels.size()));
    double first = std::ceil((std::max(range.lower, 1.0) - 1.0) / step) * step + 1.0;
    for (double tick = first; tick <= last; tick += step) {
        ticks.append(tick);
    }
    return ticks;
}

ValueChartView::ValueChartView(QWidget* parent) : QCustomPlot(parent) {
    setObjectName("MSChart1");
    m_ticker.reset(new ReceiveTimeTicker);
    xAxis->setTicker(m_ticker);
    xAxis->setTickLabelRotation(-90);
    xAxis->grid()->setVisible(false);
    setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    setPlottingHint(QCP::phFastPolylines, true);
    setNoAntialiasingOnDrag(true);
    // One group serves every redraw of a group chart: its bars leave it as they are cleared.
    m_barsGroup = new QCPBarsGroup(this);
    m_barsGroup->setSpacing(0);

    // The legend sits under the chart, its entries side by side.
    legend->setVisible(false);
    legend->setFillOrder(QCPLegend::foColumnsFirst);
    legend->setBorderPen(Qt::NoPen);
    auto* legendRow = new QCPLayoutGrid;
    plotLayout()->addElement(1, 0, legendRow);
    legendRow->setMargins(QMargins(0, 0, 0, 4));
    legendRow->addElement(0, 0, legend);
    // A stretchable neighbour: a grid column is never wider than its narrowest element allows,
    // and an empty legend alone would squeeze the whole chart to its own width.
    legendRow->addElement(0, 1, new QCPLayoutElement(this));
    plotLayout()->setRowStretchFactor(1, 0.001);

    connect(this, &QCustomPlot::mousePress, this, [this] { m_userZoomed = true; });
    connect(this, &QCustomPlot::mouseWheel, this, [this] { m_userZoomed = true; });
    connect(xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this,
            [this] { UpdateLabelRoom(); });
}

void ValueChartView::ShowChart(const ChartModel& chart) {
    if (m_drawn && chart.revision == m_revision) {
        return;
    }
    m_drawn = true;
    m_revision = chart.revision;
    Rebuild(chart);
    if (m_resetZoom || !m_userZoomed) {
        ShowWholeChart();
    }
    m_resetZoom = false;
    replot(QCustomPlot::rpQueuedReplot);
}

void ValueChartView::Rebuild(const ChartModel& chart) {
    clearPlottables();
    std::size_t points = 0;
    for (const ChartSeries& series : chart.series) {
        points = std::max(points, series.values.size());
    }
    m_pointCount = static_cast<int>(points);
    m_valueSpan = QCPRange(0, 0);
    bool first = true;
    for (const ChartSeries& series : chart.series) {
        for (double value : series.values) {
            if (!std::isfinite(value)) {
                continue;  // a NaN or infinity from a frame cannot scale the axis
            }
            m_valueSpan = first ? QCPRange(value, value) : m_valueSpan;
            m_valueSpan.expand(value);
            first = false;
        }
    }
    QVector<double> keys(static_cast<qsizetype>(points));
    for (std::size_t i = 0; i < points; ++i) {
        keys[static_cast<qsizetype>(i)] = static_cast<double>(i + 1);
    }
    std::vector<QString> labels;
    labels.reserve(points);
    for (std::size_t i = 0; i < points; ++i) {
        labels.push_back(i < chart.labels.size() ? QString::fromLatin1(chart.labels[i])
                                                 : QString());
    }
    m_ticker->SetLabels(std::move(labels), chart.pointsPerLabel);

    if (m_pointCount <= kMaxAntialiasedPoints) {
        setNotAntialiasedElements(QCP::aeNone);
    } else {
        setNotAntialiasedElements(QCP::aePlottables);
    }
    if (chart.kind == ChartKind::Bar) {
        AddBars(chart, keys);
    } else {
        AddLines(chart, keys);
    }
    legend->setVisible(!chart.series.empty());
}

void ValueChartView::AddBars(const ChartModel& chart, const QVector<double>& keys) {
    const int seriesCount = static_cast<int>(chart.series.size());
    const int slotPixels = (width() - kValueAxisRoom) / std::max(1, m_pointCount);
    const double share = slotPixels >= kWideBarPixels ? kWideBarShare : 1.0;
    for (const ChartSeries& series : chart.series) {
        auto* bars = new QCPBars(xAxis, yAxis);
        bars->setName(QString::fromLatin1(series.legend));
        bars->setPen(Qt::NoPen);  // an outline on thousands of bars costs a hundredfold
        bars->setBrush(SeriesColour(series));
        bars->setWidth(share / std::max(1, seriesCount));
        bars->setAntialiased(false);
        const QVector<double> values(series.values.begin(), series.values.end());
        bars->setData(keys.first(values.size()), values, true);
        if (seriesCount > 1) {
            bars->setBarsGroup(m_barsGroup);
        }
    }
}

void ValueChartView::AddLines(const ChartModel& chart, const QVector<double>& keys) {
    for (const ChartSeries& series : chart.series) {
        QCPGraph* graph = addGraph(xAxis, yAxis);
        graph->setName(QString::fromLatin1(series.legend));
        QPen pen(SeriesColour(series));
        pen.setWidthF(LinePixels(chart.penWidth));
        pen.setJoinStyle(Qt::RoundJoin);
        graph->setPen(pen);
        graph->setLineStyle(QCPGraph::lsLine);
        const QVector<double> values(series.values.begin(), series.values.end());
        graph->setData(keys.first(values.size()), values, true);
    }
}

void ValueChartView::ShowWholeChart() {
    m_userZoomed = false;
    if (plottableCount() == 0 || m_pointCount == 0) {
        xAxis->setRange(0, 1);
        yAxis->setRange(0, 1);
        return;
    }
    xAxis->setRange(0.5, m_pointCount + 0.5);
    // The values' own span, not down to zero: bars of 7,400 mV that vary by 50 mV show the 50.
    const double margin = m_valueSpan.size() > 0 ? m_valueSpan.size() * 0.05 : 1.0;
    yAxis->setRange(m_valueSpan.lower - margin, m_valueSpan.upper + margin);
}

void ValueChartView::mouseDoubleClickEvent(QMouseEvent* event) {
    QCustomPlot::mouseDoubleClickEvent(event);
    ShowWholeChart();
    replot(QCustomPlot::rpQueuedReplot);
}

void ValueChartView::resizeEvent(QResizeEvent* event) {
    QCustomPlot::resizeEvent(event);
    UpdateLabelRoom();
}

void ValueChartView::UpdateLabelRoom() {
    // Labels stand upright; each needs a line height and a little air. The axis takes nearly
    // the widget's width (the axis rectangle itself is laid out only at the next redraw).
    const int pitch = QFontMetrics(xAxis->tickLabelFont()).height() + 4;
    m_ticker->SetLabelRoom(std::max(1, (width() - kValueAxisRoom) / pitch));
}

}  // namespace quorbel::gui
