// The History chart on QCustomPlot: a band and a line on a UTC date-time axis, broken where the
// archive holds nothing, with wheel zoom and drag pan handed to the core as new ranges.
#include "history_chart_view.hpp"

#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <limits>

#include "view/time_axis.hpp"

namespace quorbel::gui {

namespace {

const QColor kLineColour(0, 80, 160);
const QColor kBandColour(150, 190, 235);
const QColor kBandEdgeColour(125, 170, 225);
// One wheel step zooms in to this share of the range shown (out by its inverse).
constexpr double kWheelZoomStep = 0.8;
constexpr double kWheelDegreesPerStep = 120;
// The value axis leaves this share of the values' span free above and below them.
constexpr double kValueMargin = 0.06;
constexpr double kNoValue = std::numeric_limits<double>::quiet_NaN();

double Seconds(std::int64_t ms) {
    return static_cast<double>(ms) / 1000.0;
}

}  // namespace

HistoryChartView::HistoryChartView(QWidget* parent) : QCustomPlot(parent) {
    setObjectName("historyChart");
    m_ticker.reset(new QCPAxisTickerDateTime);
    m_ticker->setDateTimeSpec(Qt::UTC);
    m_ticker->setTickCount(8);
    xAxis->setTicker(m_ticker);
    xAxis->setLabel("UTC");
    xAxis->grid()->setPen(QPen(QColor(225, 225, 225), 0, Qt::DotLine));
    yAxis->grid()->setPen(QPen(QColor(225, 225, 225), 0, Qt::DotLine));

    // The band is one vertical bar per bucket from its minimum to its maximum, as wide as the
    // bucket: a fill between the edge lines costs QCustomPlot a search for crossings that took
    // a third of a second over a thousand buckets; bars take a millisecond.
    m_bandCentre = addGraph();
    m_bandCentre->setLineStyle(QCPGraph::lsNone);
    m_bandCentre->setScatterStyle(QCPScatterStyle::ssNone);
    m_bandBars = new QCPErrorBars(xAxis, yAxis);
    m_bandBars->setDataPlottable(m_bandCentre);
    m_bandBars->setErrorType(QCPErrorBars::etValueError);
    m_bandBars->setWhiskerWidth(0);
    m_bandBars->setSymbolGap(0);
    m_bandBars->setPen(QPen(kBandColour, 1, Qt::SolidLine, Qt::FlatCap));
    m_bandLow = addGraph();
    m_bandHigh = addGraph();
    m_bandLow->setPen(QPen(kBandEdgeColour, 1));
    m_bandHigh->setPen(QPen(kBandEdgeColour, 1));
    // The band's bars and edges are upright and level lines: drawn without antialiasing they
    // look much the same, and a zoom step over a million records redraws in two thirds of the
    // time. The mean keeps it: it is the one curve the eye follows.
    for (QCPAbstractPlottable* band :
         std::initializer_list<QCPAbstractPlottable*>{m_bandBars, m_bandLow, m_bandHigh})
        band->setAntialiased(false);
    m_line = addGraph();
    // One pixel wide: antialiased lines of that width take the painter's fast path, wider ones
    // its general stroker, which took a third of a zoom step over a thousand buckets.
    m_line->setPen(QPen(kLineColour, 1));
    for (QCPGraph* graph : {m_bandCentre, m_bandLow, m_bandHigh, m_line})
        graph->setAdaptiveSampling(false);  // no more than a few points per pixel anyway

    // The drag moves the time axis only; the wheel zooms through the core, not by itself.
    setInteractions(QCP::iRangeDrag);
    axisRect()->setRangeDrag(Qt::Horizontal);
    setNoAntialiasingOnDrag(true);
    // A thousand buckets of a daily cycle zigzag: lines drawn as plain polylines, not stroked
    // outlines, keep a redraw to milliseconds.
    setPlottingHint(QCP::phFastPolylines, true);
    connect(this, &QCustomPlot::afterLayout, this, [this] {
        const int pixels = axisRect()->width();
        if (pixels > 0 && pixels != m_plotPixels) {
            m_plotPixels = pixels;
            emit PlotPixelsChanged(pixels);
        }
    });
}

int HistoryChartView::BandPointCount() const {
    return m_bandHigh->dataCount();
}

int HistoryChartView::LinePointCount() const {
    return m_line->dataCount();
}

int HistoryChartView::PlotPixels() const {
    return m_plotPixels > 0 ? m_plotPixels : axisRect()->width();
}

void HistoryChartView::ShowHistory(const HistoryModel& history) {
    if (m_drawn && history.revision == m_revision)
        return;
    m_drawn = true;
    m_revision = history.revision;
    m_dragging = false;
    const FieldSeries& series = history.series;
    if (series.bucketWidthMs > 0)
        DrawBuckets(series);
    else
        DrawPoints(series);
    xAxis->setRange(Seconds(history.range.fromMs), Seconds(history.range.toMs));
    if (series.bucketWidthMs > 0) {
        // Each bar as wide as its bucket on the screen, so that the bars close into a band.
        const double span = static_cast<double>(history.range.toMs - history.range.fromMs);
        const double pixels =
            span > 0 ? static_cast<double>(series.bucketWidthMs) * axisRect()->width() / span : 1;
        m_bandBars->setPen(
            QPen(kBandColour, std::max(1.0, std::ceil(pixels)), Qt::SolidLine, Qt::FlatCap));
    }
    ShowDatesOrTimes(history.range.toMs - history.range.fromMs);
    FitValueAxis();
    replot();
}

void HistoryChartView::DrawBuckets(const FieldSeries& series) {
    // The band steps across each bucket's whole width; the mean runs through their middles. Both
    // break where buckets without records lie between.
    const int n = static_cast<int>(series.buckets.size());
    QVector<double> edgeKeys, lows, highs, middleKeys, means, centres, halfSpans;
    edgeKeys.reserve(2 * n + n / 4);
    lows.reserve(edgeKeys.capacity());
    highs.reserve(edgeKeys.capacity());
    middleKeys.reserve(n + n / 4);
    means.reserve(middleKeys.capacity());
    centres.reserve(middleKeys.capacity());
    halfSpans.reserve(middleKeys.capacity());
    const double width = Seconds(series.bucketWidthMs);
    std::int64_t nextStart = std::numeric_limits<std::int64_t>::min();
    for (const FieldBucket& bucket : series.buckets) {
        const double start = Seconds(bucket.startMs);
        if (!edgeKeys.isEmpty() && bucket.startMs != nextStart) {
            edgeKeys << start;
            lows << kNoValue;
            highs << kNoValue;
            middleKeys << start;
            means << kNoValue;
            centres << kNoValue;
            halfSpans << 0;
        }
        edgeKeys << start << start + width;
        lows << bucket.min << bucket.min;
        highs << bucket.max << bucket.max;
        middleKeys << start + width / 2;
        means << bucket.mean;
        centres << (bucket.min + bucket.max) / 2;
        halfSpans << (bucket.max - bucket.min) / 2;
        nextStart = bucket.startMs + series.bucketWidthMs;
    }
    m_bandCentre->setData(middleKeys, centres, true);
    m_bandBars->setData(halfSpans);
    m_bandLow->setData(edgeKeys, lows, true);
    m_bandHigh->setData(edgeKeys, highs, true);
    m_bandBars->setVisible(true);
    m_bandLow->setVisible(true);
    m_bandHigh->setVisible(true);
    m_line->setData(middleKeys, means, true);
    m_line->setScatterStyle(QCPScatterStyle::ssNone);
}

void HistoryChartView::DrawPoints(const FieldSeries& series) {
    // Records of different passes are not joined by a line.
    QVector<double> keys, values;
    keys.reserve(static_cast<qsizetype>(series.points.size() * 5 / 4));
    values.reserve(keys.capacity());
    for (const FieldPoint& point : series.points) {
        const double key = Seconds(point.timeMs);
        if (!keys.isEmpty() && key - keys.back() > kPassGapSeconds) {
            keys << key;
            values << kNoValue;
        }
        keys << key;
        values << point.value;
    }
    m_bandCentre->data()->clear();
    m_bandBars->data()->clear();
    m_bandBars->setVisible(false);
    m_bandLow->data()->clear();
    m_bandHigh->data()->clear();
    m_bandLow->setVisible(false);
    m_bandHigh->setVisible(false);
    m_line->setData(keys, values, true);
    m_line->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDisc, kLineColour, 5));
}

void HistoryChartView::ShowDatesOrTimes(std::int64_t spanMs) {
    // Dates alone over weeks, times of day over hours, seconds over minutes.
    constexpr std::int64_t kHourMs = 3'600'000;
    const char* format = spanMs > 4 * 24 * kHourMs ? "yyyy-MM-dd"
                         : spanMs > kHourMs / 6    ? "yyyy-MM-dd\nhh:mm"
                                                   : "yyyy-MM-dd\nhh:mm:ss";
    m_ticker->setDateTimeFormat(format);
}

void HistoryChartView::FitValueAxis() {
    bool found = false;
    QCPRange values;
    for (QCPGraph* graph : {m_bandLow, m_bandHigh, m_line}) {
        bool graphFound = false;
        const QCPRange range = graph->getValueRange(graphFound);
        if (graphFound) {
            values = found ? QCPRange(std::min(values.lower, range.lower),
                                      std::max(values.upper, range.upper))
                           : range;
            found = true;
        }
    }
    if (!found) {
        yAxis->setRange(0, 1);
        return;
    }
    const double margin = values.size() > 0 ? values.size() * kValueMargin
                                            : std::max(1.0, std::abs(values.lower) * 0.01);
    yAxis->setRange(values.lower - margin, values.upper + margin);
}

void HistoryChartView::wheelEvent(QWheelEvent* event) {
    const double steps = event->angleDelta().y() / kWheelDegreesPerStep;
    if (steps == 0) {
        event->ignore();
        return;
    }
    event->accept();
    const double around = xAxis->pixelToCoord(event->position().x());
    emit ZoomRequested(static_cast<qint64>(std::llround(around * 1000.0)),
                       std::pow(kWheelZoomStep, steps));
}

void HistoryChartView::mousePressEvent(QMouseEvent* event) {
    m_pressRange = xAxis->range();
    m_dragging = event->button() == Qt::LeftButton;
    QCustomPlot::mousePressEvent(event);
}

void HistoryChartView::mouseReleaseEvent(QMouseEvent* event) {
    QCustomPlot::mouseReleaseEvent(event);
    if (!m_dragging || event->button() != Qt::LeftButton)
        return;
    m_dragging = false;
    const QCPRange range = xAxis->range();
    if (range.lower != m_pressRange.lower || range.upper != m_pressRange.upper) {
        emit RangeRequested(static_cast<qint64>(std::llround(range.lower * 1000.0)),
                            static_cast<qint64>(std::llround(range.upper * 1000.0)));
    }
}

}  // namespace quorbel::gui
