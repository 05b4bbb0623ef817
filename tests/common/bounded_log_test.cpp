// The logs that grow with every frame keep their newest lines, and a first line counts the rest.
#include "common/bounded_log.hpp"

#include <gtest/gtest.h>

#include <string>

#include "shell/window_model.hpp"

namespace quorbel {
namespace {

std::string Line(int n) {
    std::string line = "line " + std::to_string(n) + " ";
    line.resize(99, 'x');
    return line + "\n";  // 100 bytes
}

TEST(BoundedLog, KeepsTheNewestWholeLinesAndCountsTheDroppedOnes) {
    std::string log;
    const int lines = static_cast<int>(kMaxLogBytes / 100);
    for (int n = 0; n < lines; ++n)
        AppendToBoundedLog(log, Line(n));
    EXPECT_EQ(log.size(), static_cast<std::size_t>(lines) * 100);  // up to the limit: all kept
    EXPECT_EQ(DroppedLinesOf(log), 0u);

    // One line more drops the oldest quarter, on a line boundary.
    AppendToBoundedLog(log, Line(lines));
    const unsigned long long dropped = DroppedLinesOf(log);
    const std::string notice = DroppedLinesNotice(dropped);
    EXPECT_EQ(notice, "[earlier lines dropped: " + std::to_string(dropped) + "]\r\n");
    EXPECT_LE(log.size(), kTrimmedLogBytes + notice.size());
    EXPECT_GT(log.size(), kTrimmedLogBytes - 100);
    EXPECT_EQ(log.substr(notice.size(), 100), Line(static_cast<int>(dropped)));
    EXPECT_TRUE(log.ends_with(Line(lines)));

    // The count adds up over later cuts; the log never outgrows the limit.
    for (int n = lines + 1; n < 4 * lines; ++n) {
        AppendToBoundedLog(log, Line(n));
        ASSERT_LE(log.size(), kMaxLogBytes + 100);
    }
    const unsigned long long total = DroppedLinesOf(log);
    EXPECT_EQ(log.substr(DroppedLinesNotice(total).size(), 100), Line(static_cast<int>(total)));
    EXPECT_EQ(total + (log.size() - DroppedLinesNotice(total).size()) / 100,
              4ull * static_cast<unsigned long long>(lines));

    // Text that merely looks like a notice is no count.
    EXPECT_EQ(DroppedLinesOf("[earlier lines dropped: 12"), 0u);
    EXPECT_EQ(DroppedLinesOf("earlier lines dropped: 12]\r\n"), 0u);
}

TEST(BoundedLog, TheMessageLogKeepsItsColoursCaretAndSelectionOnTheLinesThatStay) {
    RichText log;
    const Rgb colours[] = {kBlack, kBlue};
    const int lines = static_cast<int>(kMaxLogBytes / 100);
    for (int n = 0; n < lines; ++n)
        log.InsertAtInsertionPoint(Line(n), colours[n % 2]);
    // The user puts the caret on line 9000 and selects 50 bytes there: new lines go in there.
    const std::size_t caret = 9000 * 100;
    log.SetInsertionPoint(caret);
    log.SetSelectionLength(50);
    log.InsertAtInsertionPoint(Line(-1), kBlue);

    const std::string& text = log.Text();
    const std::size_t notice = DroppedLinesNotice(DroppedLinesOf(text)).size();
    ASSERT_GT(DroppedLinesOf(text), 0u);
    EXPECT_EQ(log.ColourAt(0), RichText::kDroppedLinesColour);
    EXPECT_EQ(log.ColourAt(notice - 1), RichText::kDroppedLinesColour);
    // Every kept line keeps its colour: line n is black for even n, blue for odd n.
    const int first = std::stoi(text.substr(notice + 5));
    EXPECT_EQ(log.ColourAt(notice), colours[first % 2]);
    EXPECT_EQ(log.ColourAt(notice + 100), colours[(first + 1) % 2]);
    // The caret stands right after the inserted line, the selection is gone with the insertion.
    EXPECT_EQ(text.substr(log.InsertionPoint() - 100, 100), Line(-1));
    EXPECT_EQ(text.substr(log.InsertionPoint(), 100), Line(9000));
    EXPECT_EQ(log.SelectionLength(), 0u);

    // A caret in the lines that are dropped moves to the first line kept.
    log.SetInsertionPoint(notice + 10);
    log.SetSelectionLength(300);
    for (int n = 0; n < lines / 3; ++n)
        log.InsertAtInsertionPoint(Line(n), kBlack);
    EXPECT_LE(log.Text().size(), kMaxLogBytes + 100);
    const std::size_t newNotice = DroppedLinesNotice(DroppedLinesOf(log.Text())).size();
    EXPECT_GE(log.InsertionPoint(), newNotice);
    EXPECT_LE(log.InsertionPoint() + log.SelectionLength(), log.Text().size());
}

}  // namespace
}  // namespace quorbel
