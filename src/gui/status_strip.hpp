// The shared controls around the pages: the record bar (navigation, receive time, satellite) and
// the status strip (status line, progress bar, TCP client box, lamp and connection text).
#pragma once

#include <QColor>
#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QScrollBar;

namespace quorbel::gui {

// The round connection lamp.
class Lamp : public QWidget {
    Q_OBJECT
  public:
    explicit Lamp(QWidget* parent = nullptr);
    void SetColour(const QColor& colour);
    QColor Colour() const { return m_colour; }
    QSize sizeHint() const override { return {18, 18}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QColor m_colour;
};

class RecordBar : public QWidget {
    Q_OBJECT
  public:
    explicit RecordBar(QWidget* parent = nullptr);
    QScrollBar* recordScrollBar = nullptr;  // record number
    QLineEdit* recordCounter = nullptr;     // "#n / max"
    QLabel* receiveTimeText = nullptr;      // receive time
    QLabel* satelliteName = nullptr;        // satellite name
};

class StatusStrip : public QWidget {
    Q_OBJECT
  public:
    explicit StatusStrip(QWidget* parent = nullptr);
    QLineEdit* statusLine = nullptr;  // status line
    QProgressBar* progress = nullptr;
    QCheckBox* tcpClient = nullptr;    // "TCP client"
    Lamp* lamp = nullptr;              // connectionLamp
    QLabel* connectionText = nullptr;  // connection text
    QCheckBox* shareFrames = nullptr;  // "Share with SatNOGS"
    QLabel* shareText = nullptr;       // what sharing did: sent, waiting, rejected, last error
};

}  // namespace quorbel::gui
