// One Smart Rules tick over this machine's processes, against the part of
// it that cannot be avoided: listing the user's processes once.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "platform/linux/proc/process_detector.h"
#include "rules/rule_engine.h"
#include "rules/rules_store.h"
#include "support/fake_loop.h"
#include "support/serial_writer.h"

namespace vigilo {
namespace {

struct TickFixture {
    TickFixture() {
        // The nine built-in rules, and twenty custom ones of the kind the
        // rules window adds.
        for (int i = 0; i < 20; ++i) store.addCustomRule("custom-tool-" + std::to_string(i));
    }

    FakeLoop loop;
    SerialWriter writer;
    RulesStore store{std::nullopt, loop.clock(), writer};
    std::shared_ptr<ProcessDetector> processes = std::make_shared<ProcessDetector>();
    RuleEngine engine{loop, store, processes, ::getuid(), [] { return RuleInputs{}; }, [](const RuleAction&) {}};
};

void BM_BareUserScan(benchmark::State& state) {
    ProcessDetector processes;
    const uid_t uid = ::getuid();
    for (auto _ : state) benchmark::DoNotOptimize(processes.runningAs(uid));
}
BENCHMARK(BM_BareUserScan);

void BM_RuleTick(benchmark::State& state) {
    TickFixture fixture;
    const uid_t uid = ::getuid();
    for (auto _ : state) {
        const auto names = RuleEngine::runningProcessNames(*fixture.processes, uid);
        fixture.engine.evaluate(RuleInputs{}, names);
    }
}
BENCHMARK(BM_RuleTick);

}  // namespace
}  // namespace vigilo

BENCHMARK_MAIN();
