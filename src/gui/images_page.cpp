// The images page and its picture box.
#include "images_page.hpp"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QVBoxLayout>

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
    auto* layout = new QHBoxLayout(this);
    auto* listColumn = new QVBoxLayout;
    imageFiles = new QListWidget(this);
    imageFiles->setObjectName("imageFiles");
    imageFiles->setFixedWidth(170);
    listColumn->addWidget(new QLabel("ssdv*.jpg", this));
    listColumn->addWidget(imageFiles, 1);
    auto* pictureColumn = new QVBoxLayout;
    picture = new PictureBox(this);
    pictureCaption = new QLabel(this);
    pictureCaption->setObjectName("PictureCaption");
    pictureCaption->setAlignment(Qt::AlignCenter);
    pictureColumn->addWidget(picture, 1);
    pictureColumn->addWidget(pictureCaption);
    ssdvListing = new QPlainTextEdit(this);
    ssdvListing->setObjectName("ssdvListing");
    ssdvListing->setReadOnly(true);
    ssdvListing->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    ssdvListing->setFixedWidth(300);
    layout->addLayout(listColumn);
    layout->addLayout(pictureColumn, 1);
    layout->addWidget(ssdvListing);
}

}  // namespace quorbel::gui
