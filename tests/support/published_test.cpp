#include "support/published.h"

#include <gtest/gtest.h>

#include <vector>

namespace vigilo {
namespace {

TEST(Published, SetPublishesOnlyChangesAndPublishAlways) {
    Published<int> value(1);
    std::vector<int> seen;
    Handle sub = value.subscribe([&](const int& v) { seen.push_back(v); });

    EXPECT_FALSE(value.set(1));
    EXPECT_TRUE(value.set(2));
    value.publish(2);
    EXPECT_EQ(seen, (std::vector<int>{2, 2}));
    EXPECT_EQ(value.get(), 2);
}

TEST(Published, DroppingTheHandleUnsubscribesEvenFromInsideACallback) {
    Published<int> value;
    int first = 0, second = 0;
    Handle a;
    a = value.subscribe([&](const int&) {
        ++first;
        a.cancel();
    });
    Handle b = value.subscribe([&](const int&) { ++second; });
    value.publish(1);
    value.publish(2);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 2);
}

TEST(Published, HandleMayOutliveThePublishedValue) {
    Handle sub;
    {
        Published<int> value;
        sub = value.subscribe([](const int&) {});
    }
    sub.cancel();
    SUCCEED();
}

}  // namespace
}  // namespace vigilo
