// The History page's chart: one field of the archive on a UTC time axis, its buckets as a band
// from minimum to maximum with the mean as a line, or its records as a line with dots. The wheel
// and a drag ask for a new range; the core loads its buckets and the chart draws them.
#pragma once

#include <qcustomplot.h>

#include <cstdint>

#include "shell/window_model.hpp"

namespace quorbel::gui {

class HistoryChartView : public QCustomPlot {
    Q_OBJECT
  public:
    explicit HistoryChartView(QWidget* parent = nullptr);

    // Draws the page's series when it was loaded anew since the last call.
    void ShowHistory(const HistoryModel& history);
    // What is drawn: the band's and the line's data points (for tests and the benchmark).
    int BandPointCount() const;
    int LinePointCount() const;
    // The width of the plotting area in pixels: as many buckets as the chart can show.
    int PlotPixels() const;

  signals:
    // The wheel turned over the chart: zoom by `factor` (below 1 zooms in) around a moment.
    void ZoomRequested(qint64 aroundMs, double factor);
    // A drag ended: the range now visible.
    void RangeRequested(qint64 fromMs, qint64 toMs);
    void PlotPixelsChanged(int pixels);

  protected:
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    void DrawBuckets(const FieldSeries& series);
    void DrawPoints(const FieldSeries& series);
    void FitValueAxis();
    void ShowDatesOrTimes(std::int64_t spanMs);

    QSharedPointer<QCPAxisTickerDateTime> m_ticker;  // UTC
    QCPGraph* m_bandCentre = nullptr;    // the middle of each bucket's span, not drawn itself
    QCPErrorBars* m_bandBars = nullptr;  // the band: each bucket's span as a bar
    QCPGraph* m_bandLow = nullptr;       // the band's lower edge: the buckets' minima
    QCPGraph* m_bandHigh = nullptr;      // the upper edge: the buckets' maxima
    QCPGraph* m_line = nullptr;          // the means, or the records themselves
    std::uint64_t m_revision = 0;
    bool m_drawn = false;
    bool m_dragging = false;
    QCPRange m_pressRange;
    int m_plotPixels = 0;
};

}  // namespace quorbel::gui
