// The picture of the about window: a small satellite above the Earth, sending to a dish.
#pragma once

#include <QPixmap>

namespace quorbel::gui {

QPixmap DrawAboutPicture(int width, int height);

}  // namespace quorbel::gui
