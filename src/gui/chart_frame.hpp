// The chart frame: its caption titles the chart; it holds the chart, the "B" box and the
// "UTC time" box.
#pragma once

#include <QGroupBox>

class QCheckBox;

namespace quorbel::gui {

class ValueChartView;

class ChartFrame : public QGroupBox {
    Q_OBJECT
  public:
    explicit ChartFrame(QWidget* parent = nullptr);
    ValueChartView* chart = nullptr;     // valueChart
    QCheckBox* chartBars = nullptr;      // "B": bars instead of a line
    QCheckBox* chartTimeAxis = nullptr;  // "UTC time": the points at their receive times
};

}  // namespace quorbel::gui
