// The chart frame with the chart, the bar/line box and the time axis box.
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
    check2 = new QCheckBox("UTC time", this);
    check2->setObjectName("Check2");
    check2->setToolTip("Points at their receive times on a UTC date and time axis");
    auto* hint = new QLabel(
        "Wheel: zoom    drag: pan    double-click: whole chart    right-click: save", this);
    hint->setStyleSheet("color: #606060;");
    top->addWidget(check1);
    top->addSpacing(12);
    top->addWidget(check2);
    top->addStretch(1);
    top->addWidget(hint);
    layout->addLayout(top);
    chart = new ValueChartView(this);
    chart->setMinimumSize(900, 330);
    layout->addWidget(chart, 1);
}

}  // namespace quorbel::gui
