// A page of telemetry field rows: selector, value box and unit label per field, in columns.
#pragma once

#include <QWidget>
#include <map>

class QGridLayout;
class QLabel;
class QLineEdit;
class QRadioButton;
class QVBoxLayout;

namespace quorbel::gui {

struct FieldRow {
    QRadioButton* selector = nullptr;  // fieldCaptions(i)
    QLineEdit* valueBox = nullptr;     // fieldValues(i)
    QLabel* unitLabel = nullptr;       // fieldUnits(i)
};

class FieldPage : public QWidget {
    Q_OBJECT
  public:
    // Rows for the fields first..last, rowsPerColumn to a column, value boxes wide enough for
    // widestValue. Fields outside both stores (67 to 69) get rows that stay out of sight.
    FieldPage(int first, int last, int rowsPerColumn, const QString& widestValue,
              QWidget* parent = nullptr);

    bool HasField(int index) const { return m_rows.count(index) != 0; }
    const FieldRow& Row(int index) const { return m_rows.at(index); }
    // Adds a one-line label under the rows (the spin estimate of the sensor page).
    QLabel* AddNoteLabel(const QString& objectName);

  signals:
    // A user's click on a selector; groupRequest when it was a right-click or a Shift-click.
    void SelectorClicked(int index, bool groupRequest);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void AddRow(QGridLayout* grid, int index, int row, int column);

    std::map<int, FieldRow> m_rows;
    QVBoxLayout* m_layout = nullptr;
    int m_selectorWidth = 0;
    int m_valueWidth = 0;
    bool m_shiftRelease = false;  // the last left release on a selector had Shift held
};

}  // namespace quorbel::gui
