// The Open from Archive dialog: a column of range choices, the from / to boxes beside the last.
#include "open_archive_dialog.hpp"

#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "history_page.hpp"

namespace quorbel::gui {

namespace {

QDateTimeEdit* UtcEdit(const char* name, QWidget* parent) {
    auto* edit = new QDateTimeEdit(parent);
    edit->setObjectName(name);
    edit->setTimeSpec(Qt::UTC);
    edit->setDisplayFormat("yyyy-MM-dd HH:mm");
    edit->setCalendarPopup(true);
    return edit;
}

}  // namespace

OpenArchiveDialog::OpenArchiveDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("openArchiveDialog");
    setWindowTitle(QString::fromUtf8("Open from Archive"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(
        new QLabel("Read the frames of the archive received in this range into the window:", this));
    auto* grid = new QGridLayout;
    grid->setColumnMinimumWidth(0, 12);
    int row = 0;
    for (const char* caption : kHistoryRangeCaptions) {
        auto* choice = new QRadioButton(caption, this);
        choice->setObjectName(QString("archiveRange%1").arg(row));
        grid->addWidget(choice, row, 1);
        choices.append(choice);
        ++row;
    }
    from = UtcEdit("archiveFrom", this);
    to = UtcEdit("archiveTo", this);
    auto* fromTo = new QHBoxLayout;
    fromTo->addWidget(from);
    fromTo->addWidget(new QLabel(QString::fromUtf8("\xE2\x80\x93"), this));
    fromTo->addWidget(to);
    fromTo->addWidget(new QLabel("UTC", this));
    grid->addLayout(fromTo, kHistoryFromToChoice, 2);
    layout->addLayout(grid);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText("Open");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    // The from / to boxes count only with their choice.
    QRadioButton* fromToChoice = choices[kHistoryFromToChoice];
    const auto follow = [this, fromToChoice] {
        from->setEnabled(fromToChoice->isChecked());
        to->setEnabled(fromToChoice->isChecked());
    };
    connect(fromToChoice, &QRadioButton::toggled, this, follow);
    SetChoice(0);
    follow();
}

int OpenArchiveDialog::Choice() const {
    for (int i = 0; i < choices.size(); ++i) {
        if (choices[i]->isChecked())
            return i;
    }
    return 0;
}

void OpenArchiveDialog::SetChoice(int choice) {
    if (choice >= 0 && choice < choices.size())
        choices[choice]->setChecked(true);
}

qint64 OpenArchiveDialog::FromMs() const {
    return from->dateTime().toMSecsSinceEpoch();
}

qint64 OpenArchiveDialog::ToMs() const {
    return to->dateTime().toMSecsSinceEpoch();
}

void OpenArchiveDialog::SetFromTo(qint64 fromMs, qint64 toMs) {
    from->setDateTime(QDateTime::fromMSecsSinceEpoch(fromMs, Qt::UTC));
    to->setDateTime(QDateTime::fromMSecsSinceEpoch(toMs, Qt::UTC));
}

}  // namespace quorbel::gui
