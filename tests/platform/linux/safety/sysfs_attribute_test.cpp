#include "platform/linux/safety/sysfs_attribute.h"

#include <gtest/gtest.h>

#include "common/temp_dir.h"

namespace vigilo {
namespace {

TEST(SysfsAttribute, ParsesWholeIntegersOnly) {
    EXPECT_EQ(parseInteger("42"), 42);
    EXPECT_EQ(parseInteger(" -7\n"), -7);
    EXPECT_EQ(parseInteger("+3"), 3);
    EXPECT_EQ(parseInteger(""), std::nullopt);
    EXPECT_EQ(parseInteger("12abc"), std::nullopt);
    EXPECT_EQ(parseInteger("1.5"), std::nullopt);
    EXPECT_EQ(parseInteger("99999999999999999999"), std::nullopt);
    EXPECT_EQ(parseInteger("+-1"), std::nullopt);
}

TEST(SysfsAttribute, ReadsTheFirstLineTrimmed) {
    testing::TempDir root;
    EXPECT_EQ(readAttribute(root.write("a", "  Charging \nsecond\n")), "Charging");
    EXPECT_EQ(readAttribute(root.write("empty", "")), "");
    EXPECT_EQ(readAttribute(root.write("binary", std::string("1\0", 2))), std::nullopt);
    EXPECT_EQ(readAttribute(root.write("huge", std::string(5000, 'x'))), std::nullopt);
    EXPECT_EQ(readAttribute(root / "missing"), std::nullopt);
    EXPECT_EQ(readAttribute(root.path()), std::nullopt) << "a folder is no attribute";
    EXPECT_EQ(readIntegerAttribute(root.write("n", "1200\n")), 1200);
}

TEST(SysfsAttribute, ListsAFolderSorted) {
    testing::TempDir root;
    root.write("b/x", "");
    root.write("a/x", "");
    auto entries = listFolder(root.path());
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].filename(), "a");
    EXPECT_TRUE(listFolder(root / "missing").empty());
}

}  // namespace
}  // namespace vigilo
