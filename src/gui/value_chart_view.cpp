// The value chart on QCustomPlot: series, colours, bars or line, receive-time labels or a UTC
// time axis, zoom and pan, and saving as PNG or PDF. Thin bars carry no outline pen and no
// antialiasing, so 5,000 bars draw visibly and fast.
#include "value_chart_view.hpp"

#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QSvgGenerator>
#include <algorithm>
#include <cmath>
#include <limits>

#include "durable/replacing_file.hpp"
#include "view/time_axis.hpp"

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
// Points of the title above a saved chart.
constexpr int kSavedTitlePoints = 12;
// Pixels of the axis per date-and-time label on the time axis.
constexpr int kTimeLabelPixels = 140;
// Share of the time span left free on either side of the whole chart on the time axis.
constexpr double kTimeMargin = 0.01;

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
    setObjectName("valueChart");
    m_ticker.reset(new ReceiveTimeTicker);
    m_timeTicker.reset(new QCPAxisTickerDateTime);
    m_timeTicker->setDateTimeFormat("yyyy-MM-dd\nhh:mm:ss");
    m_timeTicker->setDateTimeSpec(Qt::UTC);
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

    // The wheel zooms; a drag pans (see NoteDrag); the right button opens the context menu and
    // moves nothing.
    connect(this, &QCustomPlot::mouseWheel, this, [this] { m_userZoomed = true; });
    // The axis rectangle's width is known only once the layout is done, just before drawing.
    connect(this, &QCustomPlot::afterLayout, this, [this] { FitTimeBarsToPixels(); });
    connect(xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this,
            [this] { UpdateLabelRoom(); });
    BuildContextMenu();
}

void ValueChartView::BuildContextMenu() {
    m_contextMenu = new QMenu(this);
    m_contextMenu->setObjectName("ChartMenu");
    QAction* png = m_contextMenu->addAction(QString::fromUtf8("Save chart as PNG\xE2\x80\xA6"));
    png->setObjectName("SaveChartPng");
    connect(png, &QAction::triggered, this, [this] { emit SaveRequested(ChartFileFormat::Png); });
    QAction* svg = m_contextMenu->addAction(QString::fromUtf8("Save chart as SVG\xE2\x80\xA6"));
    svg->setObjectName("SaveChartSvg");
    connect(svg, &QAction::triggered, this, [this] { emit SaveRequested(ChartFileFormat::Svg); });
    QAction* pdf = m_contextMenu->addAction(QString::fromUtf8("Save chart as PDF\xE2\x80\xA6"));
    pdf->setObjectName("SaveChartPdf");
    connect(pdf, &QAction::triggered, this, [this] { emit SaveRequested(ChartFileFormat::Pdf); });
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& position) { m_contextMenu->popup(mapToGlobal(position)); });
}

bool ValueChartView::SaveSvg(const QString& fileName) {
    QSvgGenerator generator;
    generator.setFileName(fileName);
    generator.setSize(size());
    generator.setViewBox(rect());
    generator.setTitle(QStringLiteral("QUORBEL chart"));
    QCPPainter painter;
    if (!painter.begin(&generator))
        return false;
    toPainter(&painter, width(), height());
    return painter.end() && QFileInfo(fileName).size() > 0;
}

ValueChartView::SavedTitle::SavedTitle(ValueChartView& view) : m_view(view) {
    const QString title = view.m_titleSource ? view.m_titleSource() : QString();
    if (title.isEmpty()) {
        return;
    }
    QFont font = view.font();
    font.setPointSize(kSavedTitlePoints);
    font.setBold(true);
    m_title = new QCPTextElement(&view, title, font);
    view.plotLayout()->insertRow(0);
    view.plotLayout()->addElement(0, 0, m_title);
    view.plotLayout()->setRowStretchFactor(0, 0.001);
}

ValueChartView::SavedTitle::~SavedTitle() {
    if (m_title == nullptr) {
        return;
    }
    m_view.plotLayout()->remove(m_title);
    m_view.plotLayout()->simplify();  // the empty title row goes too
    m_view.replot(QCustomPlot::rpQueuedReplot);
}

bool ValueChartView::SaveToFile(const std::string& path, ChartFileFormat format) {
    const SavedTitle title(*this);
    // The savers write the temporary file by its name; a failure halfway leaves only it, which
    // is removed, and the file of that name stays as it was.
    ReplacingFile file(path);
    if (!file.IsCreated())
        return false;
    file.CloseForWritingByName();
    const QString partName = QFile::decodeName(QByteArray::fromStdString(file.TemporaryPath()));
    const bool saved = format == ChartFileFormat::Png   ? savePng(partName)
                       : format == ChartFileFormat::Pdf ? savePdf(partName)
                                                        : SaveSvg(partName);
    return saved && file.Commit();
}

void ValueChartView::UseTimeAxis(bool on) {
    if (on == m_timeAxis) {
        return;
    }
    m_timeAxis = on;
    m_resetZoom = true;  // the other axis has other units: the whole chart shows again
    if (on) {
        xAxis->setTicker(m_timeTicker);
        xAxis->setTickLabelRotation(0);
    } else {
        xAxis->setTicker(m_ticker);
        xAxis->setTickLabelRotation(-90);
    }
    UpdateLabelRoom();
}

void ValueChartView::ShowChart(const ChartModel& chart) {
    if (m_drawn && chart.revision == m_revision) {
        return;
    }
    // Other records (a new file, another field) show whole; more of the same (a live frame)
    // keep the user's zoom.
    const ChartSource& source = chart.source;
    if (source.store != m_source.store || source.generation != m_source.generation ||
        source.fields != m_source.fields) {
        m_resetZoom = true;
    }
    m_source = source;
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
    UseTimeAxis(chart.timeAxis);
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
    if (m_timeAxis) {
        RebuildOnTimeAxis(chart);
    } else if (chart.kind == ChartKind::Bar) {
        AddBars(chart, keys);
    } else {
        AddLines(chart, keys);
    }
    legend->setVisible(!chart.series.empty());
}

QCPBars* ValueChartView::NewBars(const ChartSeries& series, double width, bool grouped) {
    auto* bars = new QCPBars(xAxis, yAxis);
    bars->setName(QString::fromLatin1(series.legend));
    bars->setPen(Qt::NoPen);  // an outline on thousands of bars costs a hundredfold
    bars->setBrush(SeriesColour(series));
    bars->setWidth(width);
    bars->setAntialiased(false);
    if (m_timeAxis) {
        // Widths in seconds would round to one pixel more or less from bar to bar.
        bars->setWidthType(QCPBars::wtAbsolute);
    }
    if (grouped) {
        bars->setBarsGroup(m_barsGroup);
    }
    return bars;
}

QCPGraph* ValueChartView::NewLine(const ChartSeries& series, int penWidth) {
    QCPGraph* graph = addGraph(xAxis, yAxis);
    graph->setName(QString::fromLatin1(series.legend));
    QPen pen(SeriesColour(series));
    pen.setWidthF(LinePixels(penWidth));
    pen.setJoinStyle(Qt::RoundJoin);
    graph->setPen(pen);
    graph->setLineStyle(QCPGraph::lsLine);
    return graph;
}

void ValueChartView::AddBars(const ChartModel& chart, const QVector<double>& keys) {
    const int seriesCount = static_cast<int>(chart.series.size());
    const int slotPixels = (width() - kValueAxisRoom) / std::max(1, m_pointCount);
    const double share = slotPixels >= kWideBarPixels ? kWideBarShare : 1.0;
    for (const ChartSeries& series : chart.series) {
        QCPBars* bars = NewBars(series, share / std::max(1, seriesCount), seriesCount > 1);
        const QVector<double> values(series.values.begin(), series.values.end());
        bars->setData(keys.first(values.size()), values, true);
    }
}

void ValueChartView::AddLines(const ChartModel& chart, const QVector<double>& keys) {
    for (const ChartSeries& series : chart.series) {
        const QVector<double> values(series.values.begin(), series.values.end());
        NewLine(series, chart.penWidth)->setData(keys.first(values.size()), values, true);
    }
}

void ValueChartView::RebuildOnTimeAxis(const ChartModel& chart) {
    const TimeAxis axis = BuildTimeAxis(chart);
    m_timeSpan = axis.first ? QCPRange(*axis.first, *axis.last) : QCPRange(0, 0);
    m_barWidth = axis.barWidth;
    const int seriesCount = static_cast<int>(chart.series.size());
    for (std::size_t s = 0; s < chart.series.size(); ++s) {
        const TimeAxisSeries& placed = axis.series[s];
        QVector<double> keys(placed.keys.begin(), placed.keys.end());
        QVector<double> values(placed.values.begin(), placed.values.end());
        if (chart.kind == ChartKind::Bar) {
            // One pixel until the drawing fits the bars to the zoom (FitTimeBarsToPixels).
            NewBars(chart.series[s], 1, seriesCount > 1)->setData(keys, values, true);
            continue;
        }
        // A point without a value in the middle of each gap between passes breaks the line
        // there: the passes stand apart instead of being joined across the orbit.
        QVector<double> lineKeys;
        QVector<double> lineValues;
        std::size_t gap = 0;
        for (qsizetype i = 0; i < keys.size(); ++i) {
            for (; gap < axis.gaps.size() && axis.gaps[gap] < keys[i]; ++gap) {
                lineKeys.append(axis.gaps[gap]);
                lineValues.append(std::numeric_limits<double>::quiet_NaN());
            }
            lineKeys.append(keys[i]);
            lineValues.append(values[i]);
        }
        NewLine(chart.series[s], chart.penWidth)->setData(lineKeys, lineValues, true);
    }
}

void ValueChartView::ShowWholeChart() {
    m_userZoomed = false;
    if (plottableCount() == 0 || m_pointCount == 0) {
        xAxis->setRange(0, 1);
        yAxis->setRange(0, 1);
        return;
    }
    if (m_timeAxis) {
        // From the first receive time to the last, with a little room for the outer bars.
        const double margin = std::max(m_barWidth, m_timeSpan.size() * kTimeMargin);
        xAxis->setRange(m_timeSpan.lower - margin, m_timeSpan.upper + margin);
    } else {
        xAxis->setRange(0.5, m_pointCount + 0.5);
    }
    // The values' own span, not down to zero: bars of 7,400 mV that vary by 50 mV show the 50.
    const double margin = m_valueSpan.size() > 0 ? m_valueSpan.size() * 0.05 : 1.0;
    yAxis->setRange(m_valueSpan.lower - margin, m_valueSpan.upper + margin);
}

void ValueChartView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_leftButtonDown = true;
        m_pressKeyRange = xAxis->range();
        m_pressValueRange = yAxis->range();
    }
    QCustomPlot::mousePressEvent(event);
}

void ValueChartView::mouseMoveEvent(QMouseEvent* event) {
    QCustomPlot::mouseMoveEvent(event);
    NoteDrag();
}

void ValueChartView::mouseReleaseEvent(QMouseEvent* event) {
    QCustomPlot::mouseReleaseEvent(event);
    NoteDrag();
    if (event->button() == Qt::LeftButton) {
        m_leftButtonDown = false;
    }
}

void ValueChartView::NoteDrag() {
    if (m_leftButtonDown &&
        (xAxis->range() != m_pressKeyRange || yAxis->range() != m_pressValueRange)) {
        m_userZoomed = true;
    }
}

void ValueChartView::FitTimeBarsToPixels() {
    if (!m_timeAxis || xAxis->range().size() <= 0) {
        return;
    }
    std::vector<QCPBars*> bars;
    for (int i = 0; i < plottableCount(); ++i) {
        if (auto* series = qobject_cast<QCPBars*>(plottable(i))) {
            bars.push_back(series);
        }
    }
    if (bars.empty()) {
        return;
    }
    const double pixelsPerSecond = xAxis->axisRect()->width() / xAxis->range().size();
    const double share = m_barWidth / static_cast<double>(bars.size());
    const double pixels = std::max(1.0, std::floor(share * pixelsPerSecond));
    for (QCPBars* series : bars) {
        series->setWidth(pixels);
    }
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
    // Date and time labels stand level, two lines each.
    m_timeTicker->setTickCount(std::max(2, (width() - kValueAxisRoom) / kTimeLabelPixels));
}

}  // namespace quorbel::gui
