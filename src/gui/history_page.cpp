// The History page's controls, chart and station list.
#include "history_page.hpp"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "decode/field_table.hpp"
#include "history_chart_view.hpp"

namespace quorbel::gui {

namespace {

// The zoom buttons halve or double the range; the pan buttons move it by a quarter of itself.
constexpr double kButtonZoom = 0.5;
constexpr double kButtonPan = 0.25;
constexpr const char* kDateTimeFormat = "yyyy-MM-dd HH:mm";

QString Latin1(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QString FieldEntry(const FieldDef& def) {
    QString entry = QString::number(def.index) + "  ";
    entry += def.caption.empty() ? QString("(no values)") : Latin1(def.caption);
    if (!def.unit.empty())
        entry += " (" + Latin1(def.unit) + ")";
    return entry;
}

QDateTimeEdit* UtcEdit(const char* name, QWidget* parent) {
    auto* edit = new QDateTimeEdit(parent);
    edit->setObjectName(name);
    edit->setTimeSpec(Qt::UTC);
    edit->setDisplayFormat(kDateTimeFormat);
    edit->setCalendarPopup(true);
    return edit;
}

QPushButton* Button(const QString& caption, const char* name, const QString& tip, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setToolTip(tip);
    button->setAutoDefault(false);
    return button;
}

}  // namespace

HistoryPage::HistoryPage(QWidget* parent) : QWidget(parent) {
    setObjectName("HistoryPage");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 4, 0, 0);
    layout->addWidget(BuildControls());

    auto* body = new QHBoxLayout;
    chart = new HistoryChartView(this);
    chart->setMinimumSize(480, 260);
    stations = new QTreeWidget(this);
    stations->setObjectName("historyStations");
    stations->setColumnCount(2);
    stations->setHeaderLabels({"Station", "Frames"});
    stations->setRootIsDecorated(false);
    stations->setFixedWidth(210);
    stations->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    stations->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    stations->header()->setStretchLastSection(false);
    body->addWidget(chart, 1);
    body->addWidget(stations);
    layout->addLayout(body, 1);

    status = new QLabel(this);
    status->setObjectName("historyStatus");
    status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(status);
}

QWidget* HistoryPage::BuildControls() {
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    field = new QComboBox(row);
    field->setObjectName("historyField");
    for (const FieldDef& def : kFields)
        field->addItem(FieldEntry(def), def.index);
    field->setMaxVisibleItems(24);
    rangeChoice = new QComboBox(row);
    rangeChoice->setObjectName("historyRange");
    for (const char* caption : kHistoryRangeCaptions)
        rangeChoice->addItem(caption);
    from = UtcEdit("historyFrom", row);
    to = UtcEdit("historyTo", row);
    showFromTo = Button("Show", "historyShow", "Show the range from / to (UTC)", row);
    zoomIn = Button("+", "historyZoomIn", "Zoom in (or turn the mouse wheel over the chart)", row);
    zoomOut = Button(QString::fromUtf8("\xE2\x88\x92"), "historyZoomOut", "Zoom out", row);
    panEarlier = Button(QString::fromUtf8("\xE2\x97\x80"), "historyEarlier",
                        "Earlier (or drag the chart)", row);
    panLater = Button(QString::fromUtf8("\xE2\x96\xB6"), "historyLater", "Later", row);
    for (QPushButton* button : {zoomIn, zoomOut, panEarlier, panLater})
        button->setFixedWidth(32);
    exportCsv = Button(QString::fromUtf8("Export CSV\xE2\x80\xA6"), "historyExportCsv",
                       "Write the series shown to a CSV file", row);
    layout->addWidget(new QLabel("Field", row));
    layout->addWidget(field);
    layout->addSpacing(12);
    layout->addWidget(new QLabel("Range", row));
    layout->addWidget(rangeChoice);
    layout->addWidget(from);
    layout->addWidget(new QLabel(QString::fromUtf8("\xE2\x80\x93"), row));
    layout->addWidget(to);
    layout->addWidget(new QLabel("UTC", row));
    layout->addWidget(showFromTo);
    layout->addStretch(1);
    for (QPushButton* button : {zoomIn, zoomOut, panEarlier, panLater})
        layout->addWidget(button);
    layout->addSpacing(12);
    layout->addWidget(exportCsv);

    connect(field, &QComboBox::activated, this,
            [this](int index) { emit FieldChosen(field->itemData(index).toInt()); });
    connect(rangeChoice, &QComboBox::activated, this, [this](int choice) {
        if (choice != kHistoryFromToChoice)
            emit RangeChoiceChosen(choice);
    });
    const auto fromTo = [this] {
        rangeChoice->setCurrentIndex(kHistoryFromToChoice);
        emit FromToChosen(from->dateTime().toMSecsSinceEpoch(), to->dateTime().toMSecsSinceEpoch());
    };
    connect(showFromTo, &QPushButton::clicked, this, fromTo);
    connect(zoomIn, &QPushButton::clicked, this, [this] { emit ZoomClicked(kButtonZoom); });
    connect(zoomOut, &QPushButton::clicked, this, [this] { emit ZoomClicked(1 / kButtonZoom); });
    connect(panEarlier, &QPushButton::clicked, this, [this] { emit PanClicked(-kButtonPan); });
    connect(panLater, &QPushButton::clicked, this, [this] { emit PanClicked(kButtonPan); });
    connect(exportCsv, &QPushButton::clicked, this, [this] { emit ExportClicked(); });
    return row;
}

void HistoryPage::ShowHistory(const HistoryModel& history) {
    if (m_shown && history.revision == m_revision)
        return;
    m_shown = true;
    m_revision = history.revision;
    {
        const QSignalBlocker blockField(field);
        field->setCurrentIndex(field->findData(history.field));
        const QSignalBlocker blockRange(rangeChoice);
        rangeChoice->setCurrentIndex(history.rangeChoice >= 0 ? history.rangeChoice
                                                              : kHistoryFromToChoice);
    }
    if (history.range.toMs > history.range.fromMs) {
        from->setDateTime(QDateTime::fromMSecsSinceEpoch(history.range.fromMs, Qt::UTC));
        to->setDateTime(QDateTime::fromMSecsSinceEpoch(history.range.toMs, Qt::UTC));
    }
    ShowStations(history.stations);
    status->setText(Latin1(history.statusText));
    const bool shown = history.series.bucketWidthMs > 0 || !history.series.points.empty();
    exportCsv->setEnabled(shown);
    chart->ShowHistory(history);
}

void HistoryPage::ShowStations(const std::vector<StationCount>& counts) {
    stations->clear();
    QList<QTreeWidgetItem*> items;
    for (const StationCount& count : counts) {
        auto* item = new QTreeWidgetItem;
        item->setText(0, count.station.empty() ? QString("(no station)")
                                               : QString::fromStdString(count.station));
        item->setText(1, QLocale(QLocale::English).toString(static_cast<qlonglong>(count.frames)));
        item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        items.append(item);
    }
    stations->addTopLevelItems(items);
}

}  // namespace quorbel::gui
