// "File > Open from Archive...": the range of the archive to read into the window, as one of the
// usual choices or from / to in UTC.
#pragma once

#include <QDialog>
#include <QList>

class QDateTimeEdit;
class QRadioButton;

namespace quorbel::gui {

class OpenArchiveDialog : public QDialog {
    Q_OBJECT
  public:
    explicit OpenArchiveDialog(QWidget* parent = nullptr);

    // The choice made: its index in kHistoryRangeCaptions (the last one is from / to).
    int Choice() const;
    void SetChoice(int choice);
    qint64 FromMs() const;
    qint64 ToMs() const;
    // The from / to boxes start at this range.
    void SetFromTo(qint64 fromMs, qint64 toMs);

    QList<QRadioButton*> choices;
    QDateTimeEdit* from = nullptr;
    QDateTimeEdit* to = nullptr;
};

}  // namespace quorbel::gui
