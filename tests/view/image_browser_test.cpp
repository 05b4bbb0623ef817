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
    app.ui.File1Folder = "/app";
    app.ui.File1 = {"ssdv_000.jpg", "ssdv_012.jpg"};
    File1_Click(app, 1);
    EXPECT_EQ(app.ui.Picture1.path, "/app/ssdv_012.jpg");
    File1_Click(app, 0);  // not a picture (yet): the box keeps what it shows
    EXPECT_EQ(app.ui.Picture1.path, "/app/ssdv_012.jpg");
    File1_Click(app, 2);
    File1_Click(app, -1);
    EXPECT_EQ(app.ui.Picture1.path, "/app/ssdv_012.jpg");
}

}  // namespace
}  // namespace quorbel
