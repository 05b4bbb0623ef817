// The image list: a chosen entry is shown when it holds a picture.
#include "view/image_browser.hpp"

#include <gtest/gtest.h>

#include "shell/app_state.hpp"
#include "shell/commands/commands.hpp"
#include "support/fake_platform.hpp"

namespace quorbel {
namespace {

class PictureCheckPlatform : public testing::FakePlatform {
  public:
    bool CanLoadPicture(const std::string& path) override { return path.ends_with("012.jpg"); }
};

TEST(ImageBrowserTest, ShowsLoadableEntriesOnly) {
    PictureCheckPlatform platform;
    AppState app(platform);
    app.ui.imageFolder = "/app";
    app.ui.imageFiles = {"ssdv_000.jpg", "ssdv_012.jpg"};
    ShowListedImage(app, 1);
    EXPECT_EQ(app.ui.picture.path, "/app/ssdv_012.jpg");
    ShowListedImage(app, 0);  // not a picture (yet): the box keeps what it shows
    EXPECT_EQ(app.ui.picture.path, "/app/ssdv_012.jpg");
    ShowListedImage(app, 2);
    ShowListedImage(app, -1);
    EXPECT_EQ(app.ui.picture.path, "/app/ssdv_012.jpg");
}

}  // namespace
}  // namespace quorbel
