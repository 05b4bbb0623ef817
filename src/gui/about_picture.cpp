// Paints the about window's picture: night sky, the Earth's limb, a cube satellite with open
// solar panels and its antenna, and radio waves falling to a ground-station dish.
#include "about_picture.hpp"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace quorbel::gui {

namespace {

void PaintSky(QPainter& painter, int width, int height) {
    QLinearGradient sky(0, 0, 0, height);
    sky.setColorAt(0.0, QColor(8, 12, 40));
    sky.setColorAt(1.0, QColor(30, 50, 110));
    painter.fillRect(0, 0, width, height, sky);
    painter.setPen(Qt::NoPen);
    // A fixed scatter of stars: the same picture at every start.
    unsigned seed = 12345u;
    for (int i = 0; i < 60; ++i) {
        seed = seed * 1103515245u + 12345u;
        const int x = static_cast<int>((seed >> 8) % static_cast<unsigned>(width));
        seed = seed * 1103515245u + 12345u;
        const int y = static_cast<int>((seed >> 8) % static_cast<unsigned>(height * 2 / 3));
        painter.setBrush(QColor(255, 255, 255, 90 + static_cast<int>(seed % 150)));
        painter.drawEllipse(QPointF(x, y), 0.9, 0.9);
    }
}

void PaintEarth(QPainter& painter, int width, int height) {
    QRadialGradient earth(width * 0.5, height * 2.6, height * 2.0);
    earth.setColorAt(0.0, QColor(20, 90, 160));
    earth.setColorAt(0.93, QColor(40, 120, 200));
    earth.setColorAt(0.985, QColor(150, 200, 255));
    earth.setColorAt(1.0, QColor(150, 200, 255, 0));
    painter.setBrush(earth);
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QPointF(width * 0.5, height * 2.6), height * 2.0, height * 2.0);
}

void PaintSatellite(QPainter& painter, QPointF centre, double size) {
    painter.save();
    painter.translate(centre);
    painter.rotate(-18);
    const double half = size / 2;
    // Solar panels to both sides, with their cell grid.
    for (int side : {-1, 1}) {
        const QRectF panel(side < 0 ? -half - size * 1.6 : half + size * 0.1, -half * 0.8,
                           size * 1.5, size * 0.8);
        painter.setPen(QPen(QColor(200, 200, 210), 1));
        painter.drawLine(QPointF(side * half, 0), QPointF(side * (half + size * 0.1), 0));
        painter.setBrush(QColor(25, 45, 120));
        painter.drawRect(panel);
        painter.setPen(QPen(QColor(90, 130, 210), 0.8));
        for (int k = 1; k < 4; ++k) {
            const double x = panel.left() + panel.width() * k / 4;
            painter.drawLine(QPointF(x, panel.top()), QPointF(x, panel.bottom()));
        }
        painter.drawLine(QPointF(panel.left(), panel.center().y()),
                         QPointF(panel.right(), panel.center().y()));
    }
    // The cube, lit from the left.
    QLinearGradient body(-half, -half, half, half);
    body.setColorAt(0, QColor(235, 235, 240));
    body.setColorAt(1, QColor(140, 140, 150));
    painter.setBrush(body);
    painter.setPen(QPen(QColor(60, 60, 70), 1));
    painter.drawRect(QRectF(-half, -half, size, size));
    painter.setBrush(QColor(200, 160, 40));
    painter.drawRect(QRectF(-half * 0.45, -half * 0.45, half * 0.9, half * 0.9));
    // Antenna whip towards the Earth.
    painter.setPen(QPen(QColor(230, 230, 230), 1.2));
    painter.drawLine(QPointF(0, half), QPointF(size * 0.35, size * 1.6));
    painter.restore();
}

void PaintWavesAndDish(QPainter& painter, QPointF from, QPointF dish) {
    painter.setBrush(Qt::NoBrush);
    for (int i = 1; i <= 3; ++i) {
        painter.setPen(QPen(QColor(255, 210, 80, 230 - i * 50), 1.6));
        const QPointF mid = from + (dish - from) * (0.22 * i);
        painter.drawArc(QRectF(mid.x() - 7.0 * i, mid.y() - 7.0 * i, 14.0 * i, 14.0 * i), 200 * 16,
                        90 * 16);
    }
    painter.setPen(QPen(QColor(230, 230, 230), 2));
    painter.setBrush(QColor(220, 220, 225));
    QPainterPath bowl;
    bowl.moveTo(dish + QPointF(-16, -6));
    bowl.quadTo(dish + QPointF(-2, 14), dish + QPointF(14, -10));
    bowl.closeSubpath();
    painter.drawPath(bowl);
    painter.drawLine(dish + QPointF(-1, 4), dish + QPointF(-1, 18));
    painter.drawLine(dish + QPointF(-1, 4), dish + QPointF(-12, -14));
}

}  // namespace

QPixmap DrawAboutPicture(int width, int height) {
    QPixmap picture(width, height);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    PaintSky(painter, width, height);
    PaintEarth(painter, width, height);
    const QPointF satellite(width * 0.36, height * 0.34);
    PaintSatellite(painter, satellite, height * 0.14);
    PaintWavesAndDish(painter, satellite + QPointF(height * 0.08, height * 0.2),
                      QPointF(width * 0.8, height * 0.8));
    return picture;
}

}  // namespace quorbel::gui
