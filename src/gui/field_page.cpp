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

// The width that holds the longest unit of the catalogue.
constexpr const char* kWidestUnit = "\xB5Sv/h";

// The catalogue's widest caption: every selector is that wide, so columns line up.
QString WidestCaption(const QFontMetrics& metrics) {
    QString widest;
    for (const FieldDef& field : kFields) {
        const QString caption =
            QString::fromLatin1(field.caption.data(), static_cast<qsizetype>(field.caption.size()));
        if (metrics.horizontalAdvance(caption) > metrics.horizontalAdvance(widest)) {
            widest = caption;
        }
    }
    return widest;
}

}  // namespace

FieldPage::FieldPage(int first, int last, int rowsPerColumn, const QString& widestValue,
                     QWidget* parent)
    : QWidget(parent) {
    m_valueWidth = QFontMetrics(font()).horizontalAdvance(widestValue) + 14;
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
    fieldRow.selector->setObjectName("fieldSelector_" + number);
    fieldRow.selector->setAutoExclusive(
        false);  // the selection spans both pages: the model decides
    if (m_selectorWidth == 0) {
        fieldRow.selector->setText(WidestCaption(metrics));
        m_selectorWidth = fieldRow.selector->sizeHint().width();
        fieldRow.selector->setText(QString());
    }
    fieldRow.selector->setMinimumWidth(m_selectorWidth);
    fieldRow.selector->installEventFilter(this);
    fieldRow.valueBox = new QLineEdit(this);
    fieldRow.valueBox->setObjectName("fieldValue_" + number);
    fieldRow.valueBox->setReadOnly(true);
    fieldRow.valueBox->setFixedWidth(m_valueWidth);
    fieldRow.unitLabel = new QLabel(this);
    fieldRow.unitLabel->setObjectName("fieldUnit_" + number);
    fieldRow.unitLabel->setMinimumWidth(
        metrics.horizontalAdvance(QString::fromLatin1(kWidestUnit)));
    grid->addWidget(fieldRow.selector, row, column * 4);
    grid->addWidget(fieldRow.valueBox, row, column * 4 + 1);
    grid->addWidget(fieldRow.unitLabel, row, column * 4 + 2);
    connect(fieldRow.selector, &QRadioButton::clicked, this, [this, index] {
        const bool shiftClick = m_shiftRelease;
        m_shiftRelease = false;
        emit SelectorClicked(index, shiftClick);
    });
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
    // The click's own modifiers: Shift held at the click asks for the group chart even where
    // the platform cannot tell the keyboard state afterwards.
    if (event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        m_shiftRelease =
            mouse->button() == Qt::LeftButton && (mouse->modifiers() & Qt::ShiftModifier) != 0;
    }
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
