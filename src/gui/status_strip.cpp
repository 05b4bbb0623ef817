// The record bar and the status strip with the connection lamp.
#include "status_strip.hpp"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProgressBar>
#include <QScrollBar>

namespace quorbel::gui {

Lamp::Lamp(QWidget* parent) : QWidget(parent), m_colour(192, 192, 192) {
    setObjectName("connectionLamp");
    setFixedSize(sizeHint());
}

void Lamp::SetColour(const QColor& colour) {
    m_colour = colour;
    update();
}

void Lamp::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(90, 90, 90), 1));
    painter.setBrush(m_colour);
    painter.drawEllipse(QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5));
}

RecordBar::RecordBar(QWidget* parent) : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    recordScrollBar = new QScrollBar(Qt::Horizontal, this);
    recordScrollBar->setObjectName("recordScrollBar");
    recordScrollBar->setMinimumWidth(300);
    recordScrollBar->setRange(0, 0);
    recordCounter = new QLineEdit(this);
    recordCounter->setObjectName("recordCounter");
    recordCounter->setReadOnly(true);
    recordCounter->setAlignment(Qt::AlignCenter);
    recordCounter->setFixedWidth(recordCounter->fontMetrics().horizontalAdvance("#5000 / 5000") +
                                 20);
    receiveTimeText = new QLabel(this);
    receiveTimeText->setObjectName("receiveTimeText");
    receiveTimeText->setMinimumWidth(receiveTimeText->fontMetrics().horizontalAdvance(
                                         "RX Timestamp: 2026-10-16 12:34:56.789 UTC") +
                                     8);
    satelliteName = new QLabel(this);
    satelliteName->setObjectName("satelliteName");
    satelliteName->setMinimumWidth(
        satelliteName->fontMetrics().horizontalAdvance("UNKNOWN (65535)") + 8);
    QFont bold = satelliteName->font();
    bold.setBold(true);
    satelliteName->setFont(bold);
    layout->addWidget(recordScrollBar, 1);
    layout->addWidget(recordCounter);
    layout->addSpacing(12);
    layout->addWidget(receiveTimeText);
    layout->addWidget(satelliteName);
}

StatusStrip::StatusStrip(QWidget* parent) : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    statusLine = new QLineEdit(this);
    statusLine->setObjectName("statusLine");
    statusLine->setReadOnly(true);
    progress = new QProgressBar(this);
    progress->setObjectName("progress");
    progress->setFixedWidth(180);
    progress->setTextVisible(false);
    // A hidden progress bar keeps its place, so the strip does not jump when a read starts.
    QSizePolicy keepPlace = progress->sizePolicy();
    keepPlace.setRetainSizeWhenHidden(true);
    progress->setSizePolicy(keepPlace);
    tcpClient = new QCheckBox("TCP client", this);
    tcpClient->setObjectName("tcpClient");
    lamp = new Lamp(this);
    connectionText = new QLabel(this);
    connectionText->setObjectName("connectionText");
    connectionText->setMinimumWidth(
        connectionText->fontMetrics().horizontalAdvance("[KISS.SERVER.EXAMPLE:65535]"));
    layout->addWidget(statusLine, 1);
    layout->addWidget(progress);
    layout->addSpacing(12);
    shareFrames = new QCheckBox("Share with SatNOGS", this);
    shareFrames->setObjectName("shareFrames");
    shareText = new QLabel(this);
    shareText->setObjectName("shareText");
    // The counts fit; a long last error is cut at the strip's edge and shown whole as a tip.
    shareText->setMaximumWidth(shareText->fontMetrics().horizontalAdvance(
        "Shared: 99999 sent, 99999 waiting, 999 rejected; last error: HTTP 503"));
    layout->addWidget(tcpClient);
    layout->addWidget(lamp);
    layout->addWidget(connectionText);
    layout->addSpacing(12);
    layout->addWidget(shareFrames);
    layout->addWidget(shareText);
}

}  // namespace quorbel::gui
