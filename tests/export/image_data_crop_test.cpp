// The image-data crop: golden output, every line from the first to an unterminated last, the
// dialog, and inputs or outputs that fail.
#include "export/image_data_crop.hpp"

#include <gtest/gtest.h>

#include <filesystem>

#include "satnogs_test_support.hpp"
#include "shell/app_state.hpp"

namespace quorbel {
namespace {

using testing::FakePlatform;
using testing::Golden;
using testing::ReadBytes;
using testing::ScratchFolder;

struct Fixture {
    FakePlatform platform;
    AppState app{platform};
    ScratchFolder folder;
};

TEST(ImageDataCrop, MatchingLinesAreCopiedInReverseFromFirstToUnterminatedLast) {
    Fixture f;
    const std::string input = f.folder.Write("crop.csv", Golden("export/golden/crop.csv"));
    f.platform.ChooseFiles({input});
    MnuSatNogs_Img_Click(f.app);
    ASSERT_EQ(f.platform.dialogs.size(), 1u);
    EXPECT_EQ(f.platform.dialogs[0].title, "Select File");
    EXPECT_EQ(f.platform.dialogs[0].filter, "Apps (*.csv)|*.csv|All files (*.*)|*.*");
    EXPECT_FALSE(f.platform.dialogs[0].multiple);
    EXPECT_EQ(ReadBytes(input + "_new"), Golden("export/golden/crop.csv_new"));
    EXPECT_EQ(f.app.ui.Text2, "3/0");  // three lines copied, the last of them line 0
    EXPECT_EQ(f.app.ui.Text4, input + "_new has been written");
}

TEST(ImageDataCrop, LinesWithoutTheUpperCaseMarkerGiveAnEmptyFile) {
    const struct {
        std::string text;
        std::string output;
    } cases[] = {
        {"", ""},
        {"a|86a24040404060ac8ab09e9c406103f003|1|S\r\n", ""},
        {"a|86A24040404060AC8AB09E9C406103F0|1|S\r\n", ""},  // 16 bytes of the 17
        {"x\nb|86A24040404060AC8AB09E9C406103F003\n", "b|86A24040404060AC8AB09E9C406103F003\r\n"},
    };
    for (const auto& c : cases) {
        CropResult result = CropImageDataLines(c.text);
        EXPECT_EQ(result.text, c.output) << c.text;
    }
}

TEST(ImageDataCrop, CancelUnreadableInputAndUnwritableOutputWriteNothing) {
    Fixture f;
    f.app.ui.Text4 = "before";
    MnuSatNogs_Img_Click(f.app);  // cancelled
    EXPECT_EQ(f.app.ui.Text4, "before");

    const std::string missing = f.folder.Path("missing.csv");
    EXPECT_FALSE(CropSatnogsImageData(f.app, missing));
    EXPECT_EQ(f.app.ui.Text4, missing + " could not be read");

    const std::string input = f.folder.Write("crop.csv", Golden("export/golden/crop.csv"));
    std::filesystem::create_directories(input + "_new/inside");
    EXPECT_FALSE(CropSatnogsImageData(f.app, input));
    EXPECT_EQ(f.app.ui.Text4, input + "_new could not be written");
    EXPECT_EQ(f.folder.Names(), (std::vector<std::string>{"crop.csv", "crop.csv_new"}));
    EXPECT_TRUE(std::filesystem::is_directory(input + "_new/inside"));
}

}  // namespace
}  // namespace quorbel
