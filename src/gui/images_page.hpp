// The "Images" page: the list of SSDV pictures of the application folder, the picture box and
// the SSDV packet listings.
#pragma once

#include <QLabel>
#include <QPixmap>
#include <QWidget>

class QListWidget;
class QPlainTextEdit;

namespace quorbel::gui {

// Shows one picture scaled into its box, keeping its proportions. A click on it does nothing.
class PictureBox : public QLabel {
    Q_OBJECT
  public:
    explicit PictureBox(QWidget* parent = nullptr);
    // Loads the picture; a file that cannot be loaded leaves the box as it was.
    bool ShowPicture(const QString& path);
    // Shows a picture held in memory (the image being received); bytes that are no picture leave
    // the box as it was.
    bool ShowPictureData(const QByteArray& jpeg);
    const QString& PicturePath() const { return m_path; }
    const QPixmap& Picture() const { return m_picture; }

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void Rescale();
    QPixmap m_picture;
    QString m_path;
};

class ImagesPage : public QWidget {
    Q_OBJECT
  public:
    explicit ImagesPage(QWidget* parent = nullptr);
    QListWidget* imageFiles = nullptr;
    PictureBox* picture = nullptr;
    QLabel* pictureCaption = nullptr;  // which image the box shows, and how many packets it has
    QPlainTextEdit* ssdvListing = nullptr;  // SSDV packet listings
};

}  // namespace quorbel::gui
