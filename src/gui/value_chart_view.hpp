// The value chart widget: one series or a group of three, bars or a thick line, labelled with the
// receive times or drawn over a UTC time axis, with zoom and pan by mouse and a context menu that
// saves it.
#pragma once

#include <qcustomplot.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "shell/commands/export_commands.hpp"
#include "shell/window_model.hpp"

class QMenu;

namespace quorbel::gui {

// Ticks and labels on the points' axis: the receive time of every n-th point, n chosen so that
// about 50 labels show over the whole chart and the labels never crowd.
class ReceiveTimeTicker : public QCPAxisTicker {
  public:
    void SetLabels(std::vector<QString> labels, int pointsPerLabel);
    // How many labels fit side by side on the axis at its present width.
    void SetLabelRoom(int labels) { m_labelRoom = labels > 0 ? labels : 1; }
    int StepFor(double visiblePoints) const;

  protected:
    double getTickStep(const QCPRange& range) override;
    int getSubTickCount(double tickStep) override;
    QString getTickLabel(double tick, const QLocale& locale, QChar formatChar,
                         int precision) override;
    QVector<double> createTickVector(double tickStep, const QCPRange& range) override;

  private:
    std::vector<QString> m_labels;
    int m_pointsPerLabel = 0;
    int m_labelRoom = 50;
};

class ValueChartView : public QCustomPlot {
    Q_OBJECT
  public:
    explicit ValueChartView(QWidget* parent = nullptr);

    // Draws the chart model when it changed since the last call.
    void ShowChart(const ChartModel& chart);
    // The next drawing shows the whole chart again (a new selection, a new file).
    void ResetZoomOnNextDraw() { m_resetZoom = true; }
    // Shows all points of all series.
    void ShowWholeChart();
    bool IsZoomed() const { return m_userZoomed; }
    int PointCount() const { return m_pointCount; }
    bool ShowsTimeAxis() const { return m_timeAxis; }
    // The right-click menu: "Save chart as PNG...", "... SVG..." and "... PDF...".
    QMenu* ContextMenu() const { return m_contextMenu; }
    // Writes the chart as it is shown into the file, whole or not at all (through a temporary
    // file beside it), titled with the field's title and unit. False when it could not be
    // written.
    bool SaveToFile(const std::string& path, ChartFileFormat format);
    // Where a saved chart's title comes from: the caption of the frame around the chart.
    void SetTitleSource(std::function<QString()> source) { m_titleSource = std::move(source); }

  signals:
    void SaveRequested(quorbel::ChartFileFormat format);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    // The title drawn above the chart while it is being saved; the window shows the title in
    // the frame's caption instead.
    class SavedTitle {
      public:
        explicit SavedTitle(ValueChartView& view);
        ~SavedTitle();
        SavedTitle(const SavedTitle&) = delete;
        SavedTitle& operator=(const SavedTitle&) = delete;

      private:
        ValueChartView& m_view;
        QCPTextElement* m_title = nullptr;
    };

    // A drag counts as the user's zoom once it has moved the axes; a click moves nothing.
    void NoteDrag();
    // Bars on the time axis are all one whole number of pixels wide: most of the usual spacing
    // of the points at the present zoom, at least one pixel.
    void FitTimeBarsToPixels();
    // The chart as an SVG drawing: QCustomPlot's own drawing into Qt's SVG generator, as
    // QCustomPlot has no SVG saver of its own.
    bool SaveSvg(const QString& fileName);
    void Rebuild(const ChartModel& chart);
    QCPBars* NewBars(const ChartSeries& series, double width, bool grouped);
    QCPGraph* NewLine(const ChartSeries& series, int penWidth);
    void AddBars(const ChartModel& chart, const QVector<double>& keys);
    void AddLines(const ChartModel& chart, const QVector<double>& keys);
    void RebuildOnTimeAxis(const ChartModel& chart);
    void UseTimeAxis(bool on);
    void BuildContextMenu();
    void UpdateLabelRoom();

    QSharedPointer<ReceiveTimeTicker> m_ticker;
    QSharedPointer<QCPAxisTickerDateTime> m_timeTicker;
    QMenu* m_contextMenu = nullptr;
    QCPBarsGroup* m_barsGroup = nullptr;  // owned by the plot; the series of a group chart
    std::uint64_t m_revision = 0;
    bool m_drawn = false;
    bool m_resetZoom = true;
    bool m_userZoomed = false;
    bool m_leftButtonDown = false;
    QCPRange m_pressKeyRange;  // the axes' ranges when the left button went down
    QCPRange m_pressValueRange;
    ChartSource m_source;  // the records the chart shows
    std::function<QString()> m_titleSource;
    int m_pointCount = 0;
    QCPRange m_valueSpan;  // smallest and largest finite value of all series
    bool m_timeAxis = false;
    QCPRange m_timeSpan;    // the first and last receive time on the time axis
    double m_barWidth = 1;  // seconds: the bars' width on the time axis, all series together
};

}  // namespace quorbel::gui
