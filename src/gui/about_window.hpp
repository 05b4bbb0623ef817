// The about window: title, version and date, a picture, contact lines and the warranty
// disclaimer. Not modal; it keeps no state.
#pragma once

#include <QDialog>

namespace quorbel::gui {

inline constexpr const char* kVersion = "0.8";
inline constexpr const char* kReleaseDate = "16 Oct 2026";

// "Version 0.8    (16 Oct 2026)".
QString VersionLine();

class AboutWindow : public QDialog {
    Q_OBJECT
  public:
    explicit AboutWindow(QWidget* parent = nullptr);
};

}  // namespace quorbel::gui
