// The two stores: the 5000-record cap, the navigation maximum and the field catalogue.
#include "store/record_store.hpp"

#include <gtest/gtest.h>

#include "intake/dispatch.hpp"
#include "shell/app_state.hpp"
#include "shell/commands/commands.hpp"
#include "support/app_on_fake_platform.hpp"

namespace quorbel {
namespace {

std::vector<std::uint8_t> FrameOfKind(int apid) {
    std::vector<std::uint8_t> frame(223, 0);
    frame[6] = static_cast<std::uint8_t>(apid >> 8);
    frame[7] = static_cast<std::uint8_t>(apid);
    return frame;
}

using RecordStoreTest = testing::AppOnFakePlatform;

TEST_F(RecordStoreTest, NavigationMaximumFollowsTheStoreThatGrewUpTo5000Records) {
    for (int i = 0; i < 3; ++i)
        ReceiveFrame(app, FrameOfKind(300));
    app.ui.recordScrollBar.value = 3;
    ReceiveFrame(app, FrameOfKind(400));
    EXPECT_EQ(app.telemetry.Count(), 3);
    EXPECT_EQ(app.sensor.Count(), 1);
    EXPECT_EQ(app.ui.recordScrollBar.max, 1);
    EXPECT_EQ(app.ui.recordScrollBar.value, 1);  // a scroll bar never stands past its maximum
    // The store stops at 5000 records; the one past them is dropped.
    for (int i = 4; i <= 5000; ++i)
        ReceiveFrame(app, FrameOfKind(300));
    EXPECT_EQ(app.ui.recordScrollBar.max, 5000);
    app.frame.rxTimeText = "the dropped one";
    ReceiveFrame(app, FrameOfKind(300));
    EXPECT_EQ(app.telemetry.Count(), 5000);
    EXPECT_EQ(app.ui.recordScrollBar.max, 5000);
    EXPECT_NE(app.telemetry.Record(5000).rxTime, "the dropped one");

    // Clearing restarts the numbering; the entries keep their contents until overwritten.
    app.frame.rxTimeText = "old";
    ClearStores(app);
    EXPECT_EQ(app.telemetry.Count(), 0);
    EXPECT_EQ(app.sensor.Count(), 0);
    app.frame.rxTimeText = "new";
    ReceiveFrame(app, FrameOfKind(300));
    EXPECT_EQ(app.telemetry.Record(1).rxTime, "new");
}

// A store keeps its own fields only: the others read 0, as do entries never taken. Filling the
// newest record changes only the fields given, and entries keep what they held across a clearing.
TEST_F(RecordStoreTest, StoresKeepTheirOwnFieldsAndEntriesKeepWhatTheyHeld) {
    TelemetryRecord record;
    record.values.fill(7);
    record.rxTime = "first";
    for (RecordStore* store : {&app.telemetry, &app.sensor}) {
        SCOPED_TRACE(store->Fields().first);
        store->SetRecord(*store->Take(), record);
        store->SetRecord(*store->Take(), record);
        const std::uint64_t generation = store->Generation();
        for (int field = 0; field < kFieldCount; ++field) {
            const double own = store->Fields().Contains(field) ? 7 : 0;
            ASSERT_EQ(store->Value(2, field), own) << field;
            ASSERT_EQ(store->Record(2).values[static_cast<std::size_t>(field)], own) << field;
            ASSERT_EQ(store->Value(3, field), 0) << field;
        }
        EXPECT_EQ(store->RxTime(3), "");
        EXPECT_EQ(store->Record(5000).rxTime, "");
        store->Clear();
        store->Take();
        const int last = store->Fields().last;
        store->FillNewest(last - 1, std::vector<double>{1.5, 2.5, 3.5});  // one past the last
        EXPECT_EQ(store->Value(1, last - 2), 7);
        EXPECT_EQ(store->Value(1, last - 1), 1.5);
        EXPECT_EQ(store->Value(1, last), 2.5);
        EXPECT_EQ(store->Value(2, last), 7);
        EXPECT_EQ(store->RxTime(1), "first");
        EXPECT_EQ(store->Generation(), generation + 1);  // the clearing only
        // New receive times replace old ones, entry by entry, across further clearings.
        store->FillNewestRxTime("2023-01-15 12:34:56.789 UTC");
        store->Clear();
        store->Take();
        store->FillNewestRxTime("t");
        EXPECT_EQ(store->RxTime(1), "t");
        EXPECT_EQ(store->RxTime(2), "first");
        store->Clear();
        EXPECT_EQ(store->Record(1).rxTime, "t");
        EXPECT_EQ(store->Record(2).rxTime, "first");
    }
}

// Every caption and unit is checked through the exports' golden files.
TEST_F(RecordStoreTest, CatalogueLeavesTheUnusedFieldsAndHidesTheProgressBar) {
    app.ui.progress.visible = true;
    ApplyFieldCatalogue(app);
    EXPECT_EQ(app.ui.fieldCaptions[68], kDesignCaption);
    EXPECT_FALSE(app.ui.progress.visible);
}

}  // namespace
}  // namespace quorbel
