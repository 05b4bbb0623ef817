// Start-up: conf.ini settings, the connection label and the image list.
#include "shell/commands/form_load.hpp"

#include <gtest/gtest.h>

#include "common/files.hpp"
#include "common/text.hpp"
#include "shell/app_folder.hpp"
#include "shell/app_state.hpp"
#include "support/fake_platform.hpp"
#include "support/temp_folder.hpp"

namespace quorbel {
namespace {

class FormLoadTest : public ::testing::Test {
  protected:
    testing::FakePlatform platform;
    AppState app{platform};
    testing::TempFolder folder;

    void Load(const std::string& confIni) {
        folder.Write("conf.ini", confIni);
        app.settings.appDir = folder.Path();
        StartUp(app);
    }
};

TEST_F(FormLoadTest, ConfIniSetsHostAndPort) {
    Load("# TCP_PORT=1\r\ntcp_server=my.host\r\nTCP_PORT= 8100 \r\nIMAGE_PATH = c:\\images\r\n");
    EXPECT_EQ(app.settings.tcpHost, "MY.HOST");
    EXPECT_EQ(app.settings.tcpPort, 8100);
    EXPECT_EQ(app.ui.connectionText, "[MY.HOST:8100]");
}

// Without a conf.ini there is no connection label; its lines then count one by one. The image
// list holds the SSDV pictures of the folder.
TEST_F(FormLoadTest, MissingConfIniLinesOneByOneAndTheImageList) {
    for (const char* name : {"ssdv_000.jpg", "ssdv_012.jpg", "other.jpg", "ssdv_001.bin"})
        folder.Write(name, std::string("x"));
    app.settings.appDir = folder.Path();
    StartUp(app);
    EXPECT_EQ(app.ui.connectionText, "");
    EXPECT_FALSE(app.settings.tcpPort);
    EXPECT_EQ(app.ui.imageFiles, (std::vector<std::string>{"ssdv_000.jpg", "ssdv_012.jpg"}));
    EXPECT_EQ(app.ui.imageFolder, folder.Path());

    ApplyConfLine(app, "TCP_PORT=8100");
    EXPECT_EQ(app.ui.connectionText, "[:8100]");
    ApplyConfLine(app, "TCP_SERVER=localhost");
    EXPECT_EQ(app.ui.connectionText, "[LOCALHOST:8100]");
    ApplyConfLine(app, "TCP PORT=9000");    // a blank inside the key: not a setting
    ApplyConfLine(app, "#TCP_PORT=9001");   // a comment
    ApplyConfLine(app, "TCP_PORT=ninety");  // not a number: left out
    ApplyConfLine(app, "no equals sign here");
    EXPECT_EQ(app.settings.tcpPort, 8100);
    ApplyConfLine(app, "TCP_SERVER=a=b");  // everything after the first "="
    EXPECT_EQ(app.settings.tcpHost, "A=B");
    ApplyConfLine(app, "TCP_SERVER=second");  // the last value counts
    EXPECT_EQ(app.ui.connectionText, "[SECOND:8100]");
}

// The sharing keys keep their values as written, for the sharing settings to read; the example
// conf.ini documents them without switching sharing on.
TEST_F(FormLoadTest, ConfIniKeepsTheSharingKeysAsWritten) {
    for (std::string_view line : SplitLines(ExampleConfIni()))
        ApplyConfLine(app, line);
    EXPECT_EQ(app.settings.share.share, "");
    EXPECT_EQ(app.settings.share.noradId, "");
    EXPECT_NE(ExampleConfIni().find("# SHARE_MAX_AGE_DAYS = 7"), std::string_view::npos);

    Load(
        "share = On\nSIDS_URL=http://Station.example/api/\nnorad_id= 99999\n"
        "CALLSIGN = dl0abc/p\r\nLATITUDE=-33.8679\nLONGITUDE=151.2073\nSHARE_RATE=2.5\n"
        "SHARE_MAX_AGE_DAYS=14\n# CALLSIGN = XX0XX\n");
    const ShareConfText& share = app.settings.share;
    EXPECT_EQ(share.share, "On");
    EXPECT_EQ(share.url, "http://Station.example/api/");
    EXPECT_EQ(share.noradId, "99999");
    EXPECT_EQ(share.callsign, "dl0abc/p");
    EXPECT_EQ(share.latitude, "-33.8679");
    EXPECT_EQ(share.longitude, "151.2073");
    EXPECT_EQ(share.rate, "2.5");
    EXPECT_EQ(share.maxAgeDays, "14");
}

TEST(TextFileTest, AtomicWritesReplaceTheTargetOnlyWhenCommitted) {
    namespace fs = std::filesystem;
    testing::TempFolder folder;
    const std::string target = folder.File("cleaned.csv");
    ASSERT_TRUE(WriteFileAtomically(target, "first"));
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_TRUE(WriteFileAtomically(target, "old"));
    EXPECT_EQ(fs::status(target).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_FALSE(WriteFileAtomically(folder.File("no/such/folder/out.txt"), "x"));
    EXPECT_FALSE(ReadWholeFile(folder.File("missing")));
    {
        AtomicFileWriter dropped(target);
        ASSERT_TRUE(dropped.IsOpen());
        dropped.Write("never seen");
    }
    EXPECT_EQ(ReadWholeFile(target), "old");
    const std::string longLine(3 << 20, 'x');  // past the writer's buffer
    AtomicFileWriter writer(target);
    for (std::string_view piece : {std::string_view("a"), std::string_view(""),
                                   std::string_view(longLine), std::string_view("\r\n")}) {
        writer.Write(piece);
    }
    EXPECT_EQ(ReadWholeFile(target), "old");
    ASSERT_TRUE(writer.Commit());
    EXPECT_EQ(ReadWholeFile(target), "a" + longLine + "\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.Path()), fs::directory_iterator()), 1);
    AtomicFileWriter nowhere(folder.File("no/such/folder/out.txt"));
    EXPECT_FALSE(nowhere.IsOpen());
    nowhere.Write("x");
    EXPECT_FALSE(nowhere.Commit());
}

// The window ends the program at once when it is closed in the middle of a read, while the
// station analysis may be writing its cleaned copy on another thread: no partial file stays.
TEST(TextFileTest, ProgramEndingAtOnceLeavesNoUncommittedFile) {
    testing::TempFolder folder;
    const std::string target = folder.File("export-cleaned.csv");
    EXPECT_EXIT(
        {
            AtomicFileWriter writer(target);
            writer.Write("a partial cleaned copy");
            std::quick_exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
}

}  // namespace
}  // namespace quorbel
