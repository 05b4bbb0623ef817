// The block reader: a file's bytes in blocks, a second pass limited to what the first saw, and
// nothing from missing files and folders.
#include "common/block_reader.hpp"

#include <gtest/gtest.h>

#include "support/temp_folder.hpp"

namespace quorbel {
namespace {

std::string ReadAll(BlockReader& reader) {
    std::string bytes;
    for (auto block = reader.Next(); !block.empty(); block = reader.Next())
        bytes.append(reinterpret_cast<const char*>(block.data()), block.size());
    return bytes;
}

TEST(BlockReader, GivesEveryByteOnceAndAtMostTheLimitAfterARewind) {
    std::string contents;
    for (int i = 0; i < 700000; ++i)
        contents += static_cast<char>(i * 7 % 251);
    testing::TempFolder folder;
    for (const std::string& text : {std::string(), std::string("\xC0"), contents}) {
        BlockReader reader(folder.Write("pass.kss", text));
        ASSERT_TRUE(reader.IsOpen());
        EXPECT_EQ(ReadAll(reader), text);
        EXPECT_FALSE(reader.Failed());
        EXPECT_EQ(reader.Position(), text.size());
        reader.Rewind(text.size() / 2);
        EXPECT_EQ(ReadAll(reader), text.substr(0, text.size() / 2));
    }
    for (const std::string& path : {folder.File("missing.kss"), folder.Path()}) {
        BlockReader reader(path);
        EXPECT_FALSE(reader.IsOpen());
        EXPECT_TRUE(reader.Next().empty());
    }
}

}  // namespace
}  // namespace quorbel
