#include "platform/linux/instance_lock.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "common/temp_dir.h"

namespace vigilo {
namespace {

TEST(InstanceLock, OneHolderAtATimeAndTheFileIsPrivate) {
    testing::TempDir dir;
    const std::string path = (dir / "vigilo-1000.lock").string();
    {
        InstanceLock first(path);
        EXPECT_EQ(first.status(), InstanceLock::Status::held);
        InstanceLock second(path);  // a separate open file, as in another process
        EXPECT_EQ(second.status(), InstanceLock::Status::heldElsewhere);
        struct stat st {};
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
    }
    EXPECT_EQ(InstanceLock(path).status(), InstanceLock::Status::held);  // released with its holder

    InstanceLock nowhere((dir / "missing/vigilo.lock").string());
    EXPECT_EQ(nowhere.status(), InstanceLock::Status::failed);
    EXPECT_NE(nowhere.error().find("missing/vigilo.lock"), std::string::npos);
}

}  // namespace
}  // namespace vigilo
