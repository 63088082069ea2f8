#include "detection/process_scan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <limits>
#include <locale>
#include <map>
#include <optional>

#include "detection/default_patterns.h"
#include "detection/display_name_collator.h"
#include "detection/test_process_table.h"

namespace vigilo {
namespace {

using namespace std::chrono_literals;
using testing::TestGpuUsage;
using testing::TestProcessTable;

constexpr std::uint64_t kSecond = 1'000'000'000;

class ProcessScanTest : public ::testing::Test {
protected:
    ScanResult scan(std::vector<std::string> patterns) {
        input.patterns = normalizePatterns(patterns);
        return scanProcesses(input, table, now, wallNow, collator);
    }
    // Runs the next scan `later` after the previous one, carrying its history.
    ScanResult scanAgain(const ScanResult& previous, Duration later) {
        input.samples = previous.samples;
        input.lastActiveAt = previous.active;
        input.known = previous.known;
        now += later;
        return scanProcesses(input, table, now, wallNow, collator);
    }
    static std::vector<std::string> names(const ScanResult& result) {
        std::vector<std::string> out;
        for (const auto& match : result.matches) out.push_back(match.displayName);
        return out;
    }

    TestProcessTable table;
    ScanInput input;
    MonoTime now = MonoTime{} + 1000h;
    WallTime wallNow = WallTime{} + 500000h;
    DisplayNameCollator collator{std::locale::classic()};
};

TEST_F(ProcessScanTest, PatternsAreTrimmedLowerCasedAndEmptyOnesDropped) {
    EXPECT_EQ(normalizePatterns({"  Claude ", "", " \t ", "\tNPM Run Dev\t", "claude"}),
              (std::vector<std::string>{"claude", "npm run dev", "claude"}));
    // Line breaks are not white space to be trimmed here.
    EXPECT_EQ(normalizePatterns({"ollama\n"}), (std::vector<std::string>{"ollama\n"}));
}

TEST_F(ProcessScanTest, NameRuleAllowsOnlyVersionSuffixes) {
    for (const char* name : {"python", "python3", "python3.12", "python3.1.2"}) {
        EXPECT_TRUE(nameMatchesPattern(name, "python")) << name;
    }
    for (const char* name : {"pythonw", "python-build", "pytho", "ipython"}) {
        EXPECT_FALSE(nameMatchesPattern(name, "python")) << name;
    }
    EXPECT_TRUE(nameMatchesPattern("go", "go"));
    EXPECT_TRUE(nameMatchesPattern("go1.22", "go"));
    EXPECT_FALSE(nameMatchesPattern("gopls", "go"));
    EXPECT_FALSE(nameMatchesPattern("goland", "go"));
    EXPECT_FALSE(nameMatchesPattern("nodemon", "node"));
}

TEST_F(ProcessScanTest, ProcessesMatchByNameInTheirOwnCaseWithoutReadingCommandLines) {
    input.useCpuDetection = false;
    table.add(10, "Python");
    table.add(11, "go1.22");
    table.add(12, "gopls");
    table.commandLines[10] = "python serve.py";
    table.add(13, "node");
    table.commandLines[13] = "node /usr/bin/go";  // plain patterns never look here
    const auto result = scan({"python", "go"});
    ASSERT_EQ(result.matches.size(), 2u);
    EXPECT_EQ(result.matches[0].displayName, "go1.22");
    EXPECT_EQ(result.matches[0].pattern, "go");
    EXPECT_EQ(result.matches[1].displayName, "Python");
    EXPECT_EQ(result.matches[1].pattern, "python");
    EXPECT_EQ(table.commandLineReads, 2);  // the two matches', for telling tasks apart, not node's
    EXPECT_EQ(result.matches[0].commandLine, "");  // unreadable
    EXPECT_EQ(result.matches[1].commandLine, "python serve.py");
}

TEST_F(ProcessScanTest, SpecialPatternsLookOnlyIntoInterpreterCommandLines) {
    input.useCpuDetection = false;
    table.add(1, "python3");
    table.commandLines[1] = "python3 /home/u/Train.py --epochs 3";
    table.add(2, "node");
    table.commandLines[2] = "node /usr/local/bin/npm run dev";
    table.add(3, "train.py");  // a name is never compared with a special pattern
    table.add(4, "sleep");     // not an interpreter: its command line is not read
    table.commandLines[4] = "sleep train.py";
    table.add(5, "perl");  // command line unreadable
    const auto result = scan({"train.py", "npm run dev"});
    ASSERT_EQ(result.matches.size(), 2u);
    EXPECT_EQ(result.matches[0].id, 2);
    EXPECT_EQ(result.matches[0].pattern, "npm run dev");
    EXPECT_EQ(result.matches[1].id, 1);
    EXPECT_EQ(result.matches[1].pattern, "train.py");
    EXPECT_EQ(table.commandLineReads, 3);  // python3, node, perl: the matches' are not read again
    EXPECT_EQ(result.matches[0].commandLine, "node /usr/local/bin/npm run dev");
    EXPECT_EQ(result.matches[1].commandLine, "python3 /home/u/Train.py --epochs 3");
}

// Verdicts kept from scan to scan must follow every change that decides them.
TEST_F(ProcessScanTest, KeptVerdictsFollowNamesCommandLinesAndPatterns) {
    input.useCpuDetection = false;
    table.add(1, "sleep");
    table.add(2, "python3");
    table.commandLines[2] = "python3 serve.py";
    auto result = scan({"ollama", "train.py"});
    EXPECT_TRUE(result.matches.empty());

    struct Step {
        const char* what;
        std::function<void()> change;
        std::vector<std::int32_t> matched;
    };
    const std::vector<Step> steps = {
        {"pid 1 renames itself", [&] { table.processes[0].name = "ollama"; }, {1}},
        {"the interpreter's command line changes", [&] { table.commandLines[2] = "python3 Train.py"; }, {1, 2}},
        {"pid 1 is reused by another program", [&] { table.processes[0].name = "sleep"; }, {2}},
        {"the patterns change", [&] { input.patterns = {"sleep"}; }, {1}},
    };
    for (const Step& step : steps) {
        step.change();
        result = scanAgain(result, 3s);
        std::vector<std::int32_t> matched;
        for (const auto& match : result.matches) matched.push_back(match.id);
        std::sort(matched.begin(), matched.end());
        EXPECT_EQ(matched, step.matched) << step.what;
    }
    table.remove(2);
    EXPECT_EQ(scanAgain(result, 3s).known.size(), 1u);  // the gone pid is forgotten
}

TEST_F(ProcessScanTest, ApplicationsMatchByNameOrBundleAndComeFirst) {
    input.useCpuDetection = false;
    input.applications = {
        {20, "cursor", "com.todesktop.cursor"},
        {21, "cursor helper", ""},
        {22, "", "dev.warp.ollama-app"},
        {23, "cursorx", ""},  // neither equal nor followed by a space
        {20, "cursor", ""},   // same pid again
    };
    table.add(20, "Cursor");  // already listed as an application
    table.add(30, "cursor");
    const auto result = scan({"cursor", "ollama"});
    ASSERT_EQ(result.matches.size(), 4u);
    EXPECT_EQ(names(result), (std::vector<std::string>{"cursor", "cursor", "cursor helper", "ollama"}));
    EXPECT_EQ(result.matches[0].id, 20);  // discovery order breaks the tie
    EXPECT_EQ(result.matches[1].id, 30);
    EXPECT_EQ(result.matches[3].id, 22);
    EXPECT_EQ(result.matches[3].pattern, "ollama");
}

TEST_F(ProcessScanTest, WithoutCpuDetectionEveryMatchIsActiveAndUnmeasured) {
    input.useCpuDetection = false;
    table.add(1, "claude", 10 * kSecond, 4096);
    table.usage.erase(1);  // unreadable figures do not matter here
    const auto result = scan({"claude"});
    ASSERT_EQ(result.matches.size(), 1u);
    const WatchMatch& match = result.matches[0];
    EXPECT_TRUE(match.isActive);
    EXPECT_EQ(match.cpuPercent, 0);
    EXPECT_EQ(match.secondsSinceActive, 0);
    EXPECT_EQ(match.memoryBytes, 0u);
    EXPECT_EQ(match.firstSeenAt, wallNow);
    EXPECT_TRUE(result.samples.empty());
    EXPECT_TRUE(result.active.empty());
}

TEST_F(ProcessScanTest, CpuUseOfOneCoreDecidesActivityAtTheThreshold) {
    table.add(1, "claude", 0);
    table.add(2, "codex", 0);
    table.add(3, "ollama", 0);
    table.add(4, "cargo", 0);
    table.add(5, "make", std::numeric_limits<std::uint64_t>::max() - kSecond / 10 + 1);
    auto first = scan({"claude", "codex", "ollama", "cargo", "make"});
    ASSERT_EQ(first.matches.size(), 5u);  // first sighting: active, 0 %
    for (const auto& match : first.matches) {
        EXPECT_TRUE(match.isActive);
        EXPECT_EQ(match.cpuPercent, 0);
    }
    table.usage.erase(3);  // ollama's figures become unreadable: it drops out
    table.addCpu(1, kSecond / 20);  // exactly 5 % of one second
    table.addCpu(2, kSecond / 20 - 1);
    table.addCpu(4, 5 * kSecond / 2);
    table.usage[5].cpuTimeNanos = kSecond / 10;  // wrapped past zero: 0.2 s used
    const auto second = scanAgain(first, 1s);
    ASSERT_EQ(names(second), (std::vector<std::string>{"cargo", "claude", "make", "codex"}));
    EXPECT_DOUBLE_EQ(second.matches[0].cpuPercent, 250.0);
    EXPECT_DOUBLE_EQ(second.matches[1].cpuPercent, 5.0);
    EXPECT_NEAR(second.matches[2].cpuPercent, 20.0, 1e-9);
    EXPECT_FALSE(second.matches[3].isActive);
    EXPECT_EQ(second.matches[3].secondsSinceActive, 1);
    EXPECT_FALSE(second.samples.contains(3));
    EXPECT_EQ(second.active.at(1), now);
}

TEST_F(ProcessScanTest, GpuUseAtItsThresholdKeepsACpuQuietMatchBusy) {
    struct Case {
        const char* name;
        bool useCpu;
        bool useGpu;
        std::optional<GpuUse> use;  // of the match, at the second scan
        bool active;
        double gpuPercent;
        const char* gpuSource;
    };
    const Case cases[] = {
        {"at the threshold", true, true, GpuUse{10.0, false}, true, 10.0, "process"},
        {"just under it", true, true, GpuUse{9.99, false}, false, 9.99, "process"},
        {"the whole device for another user's process", true, true, GpuUse{80.0, true}, true, 80.0, "device"},
        {"not measured: the CPU alone decides", true, true, std::nullopt, false, -1, ""},
        {"without CPU detection: shown, always active", false, true, GpuUse{3.0, false}, true, 3.0, "process"},
        {"without GPU detection: not asked, let go", true, false, GpuUse{80.0, false}, false, -1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestGpuUsage gpu;
        input = ScanInput{};
        input.gpu = &gpu;
        input.useCpuDetection = c.useCpu;
        input.useGpuDetection = c.useGpu;
        input.gpuThresholdPercent = 10.0;
        table = TestProcessTable{};
        table.add(1, "claude", 0);
        const auto first = scan({"claude"});
        ASSERT_EQ(first.matches.size(), 1u);
        EXPECT_EQ(first.matches[0].gpuPercent, -1) << "first sighting";
        if (c.use) gpu.use[1] = *c.use;
        const auto second = scanAgain(first, 3s);
        ASSERT_EQ(second.matches.size(), 1u);
        EXPECT_EQ(second.matches[0].isActive, c.active);
        EXPECT_DOUBLE_EQ(second.matches[0].gpuPercent, c.gpuPercent);
        EXPECT_EQ(second.matches[0].gpuSource, c.gpuSource);
        EXPECT_EQ(gpu.asked.size(), c.useGpu ? 2u : 0u);
        EXPECT_EQ(gpu.releases, c.useGpu ? 0 : 2);
    }
    // Nothing watched: nothing is asked, and whatever was held is let go.
    TestGpuUsage gpu;
    input.gpu = &gpu;
    input.useGpuDetection = true;
    EXPECT_TRUE(scan({"nothing-runs-by-this-name"}).matches.empty());
    EXPECT_TRUE(gpu.asked.empty());
    EXPECT_EQ(gpu.releases, 1);
}

TEST_F(ProcessScanTest, IdleWithoutAnyActiveTimeIsLeftOut) {
    table.add(1, "claude", 0);
    input.samples[1] = {now - 3s, 0};  // sampled before, never seen busy
    EXPECT_TRUE(scan({"claude"}).matches.empty());
}

TEST_F(ProcessScanTest, SortsActiveFirstThenByNameIgnoringCaseStably) {
    table.add(1, "node", 0);
    table.add(2, "Ollama", 0);
    table.add(3, "claude", 0);
    table.add(4, "bun", 0);
    table.add(5, "node", 0);
    table.add(6, "Cargo", 0);
    const auto first = scan({"node", "ollama", "claude", "bun", "cargo"});
    EXPECT_EQ(names(first), (std::vector<std::string>{"bun", "Cargo", "claude", "node", "node", "Ollama"}));
    EXPECT_EQ(first.matches[3].id, 1);
    EXPECT_EQ(first.matches[4].id, 5);
    table.addCpu(2, kSecond);
    table.addCpu(5, kSecond);
    const auto second = scanAgain(first, 3s);
    EXPECT_EQ(names(second), (std::vector<std::string>{"node", "Ollama", "bun", "Cargo", "claude", "node"}));
    EXPECT_EQ(second.matches[0].id, 5);
    EXPECT_EQ(second.matches[5].id, 1);
}

TEST_F(ProcessScanTest, DefaultPatternsAreTheFortyEightInOrder) {
    const auto& patterns = defaultWatchPatterns();
    ASSERT_EQ(patterns.size(), 48u);
    EXPECT_EQ(patterns.front(), "claude");
    EXPECT_EQ(patterns[18], "python");
    EXPECT_EQ(patterns[34], "go");
    EXPECT_EQ(patterns.back(), "ninja");
    // Tools no Linux system has would only lengthen every scan.
    EXPECT_EQ(std::count(patterns.begin(), patterns.end(), "xcodebuild"), 0);
    EXPECT_EQ(normalizePatterns(patterns), patterns);
    for (const auto& pattern : patterns) EXPECT_FALSE(isSpecialPattern(pattern)) << pattern;
}

}  // namespace
}  // namespace vigilo
