// The about window's labels, picture and disclaimer.
#include "about_window.hpp"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "about_picture.hpp"
#include "shell/window_model.hpp"

namespace quorbel::gui {

namespace {

constexpr const char* kHomepage = "https://quorbel.example.org";
constexpr const char* kEmail = "decoder@quorbel.example.org";
constexpr const char* kDisclaimer =
    "THIS PROGRAM IS PROVIDED \"AS IS\", WITHOUT WARRANTY OF ANY KIND, EXPRESS OR IMPLIED, "
    "INCLUDING BUT NOT LIMITED TO THE WARRANTIES OF MERCHANTABILITY, FITNESS FOR A PARTICULAR "
    "PURPOSE AND NONINFRINGEMENT. IN NO EVENT SHALL THE AUTHORS BE LIABLE FOR ANY CLAIM, DAMAGES "
    "OR OTHER LIABILITY ARISING FROM THE USE OF THIS PROGRAM OR OF THE DATA IT DECODES.";

QLabel* MakeLabel(const QString& text, const QString& name, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    return label;
}

}  // namespace

QString VersionLine() {
    return QString("Version ") + kVersion + "    (" + kReleaseDate + ")";
}

AboutWindow::AboutWindow(QWidget* parent) : QDialog(parent) {
    setObjectName("Info");
    setWindowTitle("Info");
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    QLabel* title = MakeLabel(kWindowTitle, "aboutTitle", this);
    QFont titleFont = title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.5);
    titleFont.setBold(true);
    title->setFont(titleFont);
    layout->addWidget(title, 0, Qt::AlignHCenter);
    layout->addWidget(MakeLabel(VersionLine(), "versionLine", this), 0, Qt::AlignHCenter);
    QLabel* picture = MakeLabel(QString(), "aboutPicture", this);
    picture->setPixmap(DrawAboutPicture(320, 200));
    layout->addWidget(picture, 0, Qt::AlignHCenter);

    auto* contacts = new QGridLayout;
    contacts->addWidget(MakeLabel("Homepage:", "homepageCaption", this), 0, 0);
    contacts->addWidget(MakeLabel(kHomepage, "homepage", this), 0, 1);
    contacts->addWidget(MakeLabel("e-mail:", "emailCaption", this), 1, 0);
    contacts->addWidget(MakeLabel(kEmail, "emailAddress", this), 1, 1);
    contacts->setColumnStretch(1, 1);
    layout->addLayout(contacts);

    QLabel* disclaimer = MakeLabel(kDisclaimer, "disclaimer", this);
    disclaimer->setWordWrap(true);
    QFont small = disclaimer->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    disclaimer->setFont(small);
    layout->addWidget(disclaimer);

    auto* close = new QPushButton("OK", this);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    layout->addWidget(close, 0, Qt::AlignRight);
    setFixedWidth(440);
}

}  // namespace quorbel::gui
