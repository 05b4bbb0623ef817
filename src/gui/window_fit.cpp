// Start-up sizing of the main window on the work area of its screen.
#include "window_fit.hpp"

#include <QScreen>
#include <QStyle>
#include <QWidget>
#include <algorithm>

namespace quorbel::gui {

QRect FitRectToWorkArea(QSize wanted, QSize frame, const QRect& workArea, int scrollBarExtent) {
    const int roomWidth = workArea.width() - frame.width();
    const int roomHeight = workArea.height() - frame.height();
    int wantedWidth = wanted.width();
    int wantedHeight = wanted.height();
    if (wantedHeight > roomHeight)
        wantedWidth += scrollBarExtent;
    if (wantedWidth > roomWidth)
        wantedHeight += scrollBarExtent;
    const int width = std::min(wantedWidth, roomWidth);
    const int height = std::min(wantedHeight, roomHeight);
    const int outerWidth = width + frame.width();
    const int outerHeight = height + frame.height();
    const int left = workArea.left() + (workArea.width() - outerWidth) / 2;
    const int top = workArea.top() + (workArea.height() - outerHeight) / 2;
    return {left, top, std::max(width, 1), std::max(height, 1)};
}

void FitWindowToScreen(QWidget& window, QSize wanted) {
    const QScreen* screen = window.screen();
    if (screen == nullptr) {
        return;  // no screen to measure: the window keeps its size
    }
    // Before the first show the window manager's frame is unknown (zero); after it, it is known.
    const QSize frame = window.frameGeometry().size() - window.geometry().size();
    const int scrollBarExtent = window.style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const QRect rect =
        FitRectToWorkArea(wanted, frame, screen->availableGeometry(), scrollBarExtent);
    window.resize(rect.size());
    window.move(rect.topLeft());
}

}  // namespace quorbel::gui
