#include "support/worker_pool.h"

#include <gtest/gtest.h>

#include <atomic>

#include "common/temp_dir.h"
#include "support/atomic_file.h"

namespace vigilo {
namespace {

// Queued saves are not dropped when the pool goes: the file ends up holding
// the newest one.
TEST(WorkerPool, DestructionRunsEveryQueuedTask) {
    testing::TempDir dir;
    const auto file = dir / "config.json";
    std::atomic<int> ran = 0;
    {
        WorkerPool pool(1);
        for (int i = 1; i <= 50; ++i) {
            pool.submit([&, i] {
                writeFileAtomically(file, std::to_string(i));
                ++ran;
            });
        }
    }
    EXPECT_EQ(ran, 50);
    EXPECT_EQ(testing::readFile(file), "50");
}

}  // namespace
}  // namespace vigilo
