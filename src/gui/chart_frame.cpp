// The chart frame with the chart, the bar/line box and the time axis box.
#include "chart_frame.hpp"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "value_chart_view.hpp"

namespace quorbel::gui {

ChartFrame::ChartFrame(QWidget* parent) : QGroupBox(parent) {
    setObjectName("chartTitle");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    auto* top = new QHBoxLayout;
    chartBars = new QCheckBox("B", this);
    chartBars->setObjectName("chartBars");
    chartBars->setToolTip("Bars instead of a line");
    chartTimeAxis = new QCheckBox("UTC time", this);
    chartTimeAxis->setObjectName("chartTimeAxis");
    chartTimeAxis->setToolTip("Points at their receive times on a UTC date and time axis");
    auto* hint = new QLabel(
        "Wheel: zoom    drag: pan    double-click: whole chart    right-click: save", this);
    hint->setStyleSheet("color: #606060;");
    top->addWidget(chartBars);
    top->addSpacing(12);
    top->addWidget(chartTimeAxis);
    top->addStretch(1);
    top->addWidget(hint);
    layout->addLayout(top);
    chart = new ValueChartView(this);
    chart->setMinimumSize(900, 330);
    chart->SetTitleSource([this] { return title(); });  // a saved chart carries the caption
    layout->addWidget(chart, 1);
}

}  // namespace quorbel::gui
