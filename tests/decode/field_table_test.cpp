// Invariants of the one field table: indices, frame positions in order and without overlap (the
// groups are checked by the value chart's tests).
#include "decode/field_table.hpp"

#include <gtest/gtest.h>

namespace quorbel {
namespace {

TEST(FieldTableTest, RowsAreIndexedAndPositionedInFrameOrder) {
    for (int i = 0; i < kFieldCount; ++i)
        EXPECT_EQ(kFields[static_cast<std::size_t>(i)].index, i);

    // The beacon fills positions 13 to 132 without gaps.
    int next = 13;
    for (int i = 0; i <= 66; ++i) {
        const FieldDef& field = kFields[static_cast<std::size_t>(i)];
        EXPECT_EQ(field.position, next) << "field " << i;
        next += ReaderWidth(field.reader);
    }
    EXPECT_EQ(next, 133);

    // The sensor frame: 13 to 138, leaving out positions 79 and 80.
    next = 13;
    for (int i = 70; i <= 105; ++i) {
        const FieldDef& field = kFields[static_cast<std::size_t>(i)];
        if (next == 79)
            next = 81;
        EXPECT_EQ(field.position, next) << "field " << i;
        next += ReaderWidth(field.reader);
    }
    EXPECT_EQ(next, 139);
    EXPECT_EQ(kFields[106].reader, FieldReader::Zero);

    for (int i = 67; i <= 69; ++i)
        EXPECT_TRUE(kFields[static_cast<std::size_t>(i)].caption.empty());
}

}  // namespace
}  // namespace quorbel
