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
    setObjectName("Shape10");
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
    hScroll1 = new QScrollBar(Qt::Horizontal, this);
    hScroll1->setObjectName("HScroll1");
    hScroll1->setMinimumWidth(300);
    hScroll1->setRange(0, 0);
    text2 = new QLineEdit(this);
    text2->setObjectName("Text2");
    text2->setReadOnly(true);
    text2->setAlignment(Qt::AlignCenter);
    text2->setFixedWidth(text2->fontMetrics().horizontalAdvance("#5000 / 5000") + 20);
    label4 = new QLabel(this);
    label4->setObjectName("Label4");
    label4->setMinimumWidth(
        label4->fontMetrics().horizontalAdvance("RX Timestamp: 2026-10-16 12:34:56.789 UTC") + 8);
    label5 = new QLabel(this);
    label5->setObjectName("Label5");
    label5->setMinimumWidth(label5->fontMetrics().horizontalAdvance("UNKNOWN (65535)") + 8);
    QFont bold = label5->font();
    bold.setBold(true);
    label5->setFont(bold);
    layout->addWidget(hScroll1, 1);
    layout->addWidget(text2);
    layout->addSpacing(12);
    layout->addWidget(label4);
    layout->addWidget(label5);
}

StatusStrip::StatusStrip(QWidget* parent) : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    text4 = new QLineEdit(this);
    text4->setObjectName("Text4");
    text4->setReadOnly(true);
    progressBar1 = new QProgressBar(this);
    progressBar1->setObjectName("ProgressBar1");
    progressBar1->setFixedWidth(180);
    progressBar1->setTextVisible(false);
    // A hidden progress bar keeps its place, so the strip does not jump when a read starts.
    QSizePolicy keepPlace = progressBar1->sizePolicy();
    keepPlace.setRetainSizeWhenHidden(true);
    progressBar1->setSizePolicy(keepPlace);
    check5 = new QCheckBox("TCP client", this);
    check5->setObjectName("Check5");
    lamp = new Lamp(this);
    label2 = new QLabel(this);
    label2->setObjectName("Label2");
    label2->setMinimumWidth(label2->fontMetrics().horizontalAdvance("[KISS.SERVER.EXAMPLE:65535]"));
    layout->addWidget(text4, 1);
    layout->addWidget(progressBar1);
    layout->addSpacing(12);
    layout->addWidget(check5);
    layout->addWidget(lamp);
    layout->addWidget(label2);
}

}  // namespace quorbel::gui
