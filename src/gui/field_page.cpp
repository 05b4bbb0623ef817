// The field pages: rows of selector, value box and unit label laid out in columns.
#include "field_page.hpp"

#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRadioButton>
#include <QVBoxLayout>

#include "decode/field_table.hpp"

namespace quorbel::gui {

namespace {

// Widths that hold the longest caption, value and unit of the catalogue.
constexpr const char* kWidestCaption = "XFER Last Err Stat";
constexpr const char* kWidestValue = "0.150000005960464";
constexpr const char* kWidestUnit = "\xB5Sv/h";

}  // namespace

FieldPage::FieldPage(int first, int last, int rowsPerColumn, QWidget* parent) : QWidget(parent) {
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(8, 8, 8, 8);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(3);
    m_layout->addLayout(grid);
    m_layout->addStretch(1);

    int slot = 0;
    for (int index = first; index <= last; ++index) {
        const bool visible = StoreOfField(index) != FieldStore::None;
        const int row = visible ? slot % rowsPerColumn : 0;
        const int column = visible ? slot / rowsPerColumn : 0;
        AddRow(grid, index, row, column);
        if (visible) {
            ++slot;
        } else {
            m_rows[index].selector->hide();
            m_rows[index].valueBox->hide();
            m_rows[index].unitLabel->hide();
        }
    }
    const int columns = (slot + rowsPerColumn - 1) / rowsPerColumn;
    for (int column = 0; column + 1 < columns; ++column) {
        grid->setColumnMinimumWidth(column * 4 + 3, 18);  // gap between two columns of rows
    }
    grid->setColumnStretch(columns * 4, 1);
}

void FieldPage::AddRow(QGridLayout* grid, int index, int row, int column) {
    const QFontMetrics metrics(font());
    const QString number = QString::number(index);
    FieldRow fieldRow;
    fieldRow.selector = new QRadioButton(this);
    fieldRow.selector->setObjectName("Option1_" + number);
    fieldRow.selector->setAutoExclusive(
        false);  // the selection spans both pages: the model decides
    fieldRow.selector->setMinimumWidth(metrics.horizontalAdvance(kWidestCaption) + 28);
    fieldRow.selector->installEventFilter(this);
    fieldRow.valueBox = new QLineEdit(this);
    fieldRow.valueBox->setObjectName("Text1_" + number);
    fieldRow.valueBox->setReadOnly(true);
    fieldRow.valueBox->setFixedWidth(metrics.horizontalAdvance(kWidestValue) + 14);
    fieldRow.unitLabel = new QLabel(this);
    fieldRow.unitLabel->setObjectName("Label1_" + number);
    fieldRow.unitLabel->setMinimumWidth(
        metrics.horizontalAdvance(QString::fromLatin1(kWidestUnit)));
    grid->addWidget(fieldRow.selector, row, column * 4);
    grid->addWidget(fieldRow.valueBox, row, column * 4 + 1);
    grid->addWidget(fieldRow.unitLabel, row, column * 4 + 2);
    connect(fieldRow.selector, &QRadioButton::clicked, this,
            [this, index] { emit SelectorClicked(index, false); });
    m_rows[index] = fieldRow;
}

QLabel* FieldPage::AddNoteLabel(const QString& objectName) {
    auto* label = new QLabel(this);
    label->setObjectName(objectName);
    m_layout->insertWidget(1, label);
    return label;
}

bool FieldPage::eventFilter(QObject* watched, QEvent* event) {
    // A right-click on a selector picks the field and asks for its group chart.
    if (event->type() == QEvent::MouseButtonPress) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::RightButton) {
            for (const auto& [index, row] : m_rows) {
                if (row.selector == watched) {
                    emit SelectorClicked(index, true);
                    return true;
                }
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace quorbel::gui
