// The queue of receptions waiting on the disk for an archive server: what goes in comes out whole
// and in order, across a restart, up to its bound, and a record cut short by a kill ends it.
#include "archive/reception_queue.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/temp_folder.hpp"

namespace quorbel {
namespace {

Reception Numbered(int n) {
    Reception reception;
    reception.bytes = {0xC0, static_cast<std::uint8_t>(n), 0xDB, 0x00};
    reception.rxTimeMs = 1'700'000'000'000 + n;
    reception.rxTimeText = "2023-11-14 22:13:20." + std::to_string(n % 1000) + " UTC";
    reception.station = n % 2 == 0 ? "DL0ABC" : "";
    reception.source = static_cast<ReceptionSource>(n % 3);
    reception.sourceFile = n % 3 == 0 ? "" : "/pass/" + std::to_string(n) + ".kss";
    return reception;
}

bool Same(const Reception& a, const Reception& b) {
    return a.bytes == b.bytes && a.rxTimeMs == b.rxTimeMs && a.rxTimeText == b.rxTimeText &&
           a.station == b.station && a.source == b.source && a.sourceFile == b.sourceFile;
}

TEST(ReceptionQueue, ReceptionsComeBackWholeInOrderAcrossARestartUpToTheBound) {
    testing::TempFolder folder;
    const std::string path = folder.Path() + "/archive-queue.bin";
    std::vector<Reception> sent;
    for (int n = 0; n < 25; ++n)
        sent.push_back(Numbered(n));
    {
        ReceptionQueue queue(path, 20);
        EXPECT_EQ(queue.Append(std::span(sent).first(10)), 10u);
        EXPECT_EQ(queue.Append(std::span(sent).subspan(10)), 10u);  // five past the bound
        EXPECT_EQ(queue.Waiting(), 20);
        EXPECT_EQ(queue.Refused(), 5);
    }
    ReceptionQueue again(path, 20);
    EXPECT_EQ(again.Waiting(), 20);
    std::vector<Reception> read;
    std::uint64_t offset = 0;
    for (;;) {
        ReceptionQueue::Slice slice = again.Read(offset, 7);
        if (slice.receptions.empty())
            break;
        read.insert(read.end(), slice.receptions.begin(), slice.receptions.end());
        offset = slice.nextOffset;
    }
    ASSERT_EQ(read.size(), 20u);
    for (std::size_t i = 0; i < read.size(); ++i)
        EXPECT_TRUE(Same(read[i], sent[i])) << i;

    again.Clear();
    EXPECT_EQ(again.Waiting(), 0);
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(again.Append(std::span(sent).first(1)), 1u);
    EXPECT_EQ(again.Read(0, 5).receptions.size(), 1u);
}

TEST(ReceptionQueue,
     ARecordCutShortEndsTheQueueDamagedRecordsAreRefusedAndAnUnwritableQueueSaysSo) {
    testing::TempFolder folder;
    const std::string path = folder.Path() + "/archive-queue.bin";
    const std::string whole = EncodeQueuedReception(Numbered(1));
    ASSERT_TRUE(DecodeQueuedReception(whole));
    for (std::size_t cut = 0; cut < whole.size(); ++cut)
        EXPECT_FALSE(DecodeQueuedReception(std::string_view(whole).substr(0, cut))) << cut;
    std::string badSource = whole;
    badSource[12] = 7;
    EXPECT_FALSE(DecodeQueuedReception(badSource));

    std::ofstream(path, std::ios::binary) << whole << whole.substr(0, whole.size() - 3);
    ReceptionQueue queue(path, 100);
    EXPECT_EQ(queue.Waiting(), 1);
    const std::vector<Reception> next{Numbered(2)};
    EXPECT_EQ(queue.Append(next), 1u);  // after the first, where the cut record stood
    const ReceptionQueue::Slice slice = queue.Read(0, 10);
    ASSERT_EQ(slice.receptions.size(), 2u);
    EXPECT_TRUE(Same(slice.receptions[1], Numbered(2)));

    // A queue whose folder is missing cannot be written and says so.
    ReceptionQueue nowhere(folder.Path() + "/missing-folder/archive-queue.bin", 100);
    EXPECT_THROW(nowhere.Append(next), ArchiveError);
    EXPECT_EQ(nowhere.Waiting(), 0);
}

}  // namespace
}  // namespace quorbel
