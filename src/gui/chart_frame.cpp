// The chart frame with the chart and the bar/line box.
#include "chart_frame.hpp"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "value_chart_view.hpp"

namespace quorbel::gui {

ChartFrame::ChartFrame(QWidget* parent) : QGroupBox(parent) {
    setObjectName("Frame1");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    auto* top = new QHBoxLayout;
    check1 = new QCheckBox("B", this);
    check1->setObjectName("Check1");
    check1->setToolTip("Bars instead of a line");
    auto* hint = new QLabel("Wheel: zoom    drag: pan    double-click: whole chart", this);
    hint->setStyleSheet("color: #606060;");
    top->addWidget(check1);
    top->addStretch(1);
    top->addWidget(hint);
    layout->addLayout(top);
    chart = new ValueChartView(this);
    chart->setMinimumSize(900, 330);
    layout->addWidget(chart, 1);
}

}  // namespace quorbel::gui
