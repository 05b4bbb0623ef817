// The settings the window takes from the system: the application folder and the decimal mark.
#pragma once

#include "shell/app_state.hpp"

namespace quorbel::gui {

// The application folder is the program's folder; the decimal mark is the locale's.
void ApplySystemSettings(Settings& settings);

}  // namespace quorbel::gui
