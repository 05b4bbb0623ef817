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
    ValueChartView* chart = nullptr;  // MSChart1
    QCheckBox* check1 = nullptr;      // "B": bars instead of a line
    QCheckBox* check2 = nullptr;      // "UTC time": the points at their receive times
};

}  // namespace quorbel::gui
