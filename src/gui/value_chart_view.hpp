// The value chart widget: one series or a group of three, bars or a thick line, labelled with the
// receive times, with zoom and pan by mouse.
#pragma once

#include <qcustomplot.h>

#include <cstdint>
#include <vector>

#include "shell/window_model.hpp"

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

  protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void Rebuild(const ChartModel& chart);
    void AddBars(const ChartModel& chart, const QVector<double>& keys);
    void AddLines(const ChartModel& chart, const QVector<double>& keys);
    void UpdateLabelRoom();

    QSharedPointer<ReceiveTimeTicker> m_ticker;
    QCPBarsGroup* m_barsGroup = nullptr;  // owned by the plot; the series of a group chart
    std::uint64_t m_revision = 0;
    bool m_drawn = false;
    bool m_resetZoom = true;
    bool m_userZoomed = false;
    int m_pointCount = 0;
    QCPRange m_valueSpan;  // smallest and largest finite value of all series
};

}  // namespace quorbel::gui
