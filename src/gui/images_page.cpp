// The images page and its picture box.
#include "images_page.hpp"

#include <QFontDatabase>
#include <QGridLayout>
#include <QListWidget>
#include <QPlainTextEdit>

namespace quorbel::gui {

PictureBox::PictureBox(QWidget* parent) : QLabel(parent) {
    setObjectName("picture");
    setAlignment(Qt::AlignCenter);
    setMinimumSize(320, 240);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    setFrameShape(QFrame::StyledPanel);
}

bool PictureBox::ShowPicture(const QString& path) {
    QPixmap picture(path);
    if (picture.isNull()) {
        return false;
    }
    m_picture = picture;
    m_path = path;
    Rescale();
    return true;
}

bool PictureBox::ShowPictureData(const QByteArray& jpeg) {
    QPixmap picture;
    if (!picture.loadFromData(jpeg, "JPG")) {
        return false;
    }
    m_picture = picture;
    m_path.clear();
    Rescale();
    return true;
}

void PictureBox::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    Rescale();
}

void PictureBox::Rescale() {
    if (m_picture.isNull()) {
        return;
    }
    setPixmap(
        m_picture.scaled(contentsRect().size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

ImagesPage::ImagesPage(QWidget* parent) : QWidget(parent) {
    // One row of captions over one row of boxes: the list, the picture box and the listing
    // stand side by side with the same top and the same height.
    auto* layout = new QGridLayout(this);
    imageFiles = new QListWidget(this);
    imageFiles->setObjectName("imageFiles");
    imageFiles->setFixedWidth(170);
    picture = new PictureBox(this);
    pictureCaption = new QLabel(this);
    pictureCaption->setObjectName("PictureCaption");
    pictureCaption->setAlignment(Qt::AlignCenter);
    ssdvListing = new QPlainTextEdit(this);
    ssdvListing->setObjectName("ssdvListing");
    ssdvListing->setReadOnly(true);
    ssdvListing->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    ssdvListing->setFixedWidth(300);
    layout->addWidget(new QLabel("ssdv*.jpg", this), 0, 0);
    layout->addWidget(pictureCaption, 0, 1);
    layout->addWidget(new QLabel("SSDV packets", this), 0, 2);
    layout->addWidget(imageFiles, 1, 0);
    layout->addWidget(picture, 1, 1);
    layout->addWidget(ssdvListing, 1, 2);
    layout->setColumnStretch(1, 1);
    layout->setRowStretch(1, 1);
}

}  // namespace quorbel::gui
