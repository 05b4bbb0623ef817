// Start-up sizing of the main window: the content's size, but never larger than the work area of
// its screen, centred there.
#pragma once

#include <QRect>
#include <QSize>

class QWidget;

namespace quorbel::gui {

// The window rectangle (frame excluded) for a wanted inner size on a work area; `frame` is the
// size the window manager adds around the window (title bar and borders). When one side has to
// be cut, the scroll bar that then appears along the other side (`scrollBarExtent` thick) is
// given room too, where the work area has it, so the other side need not scroll as well.
QRect FitRectToWorkArea(QSize wanted, QSize frame, const QRect& workArea, int scrollBarExtent = 0);

// Sizes and centres the window on the work area of the screen it is on.
void FitWindowToScreen(QWidget& window, QSize wanted);

}  // namespace quorbel::gui
