#include "platform/linux/gpu/drm_busy_meter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "platform/linux/gpu/drm_fdinfo.h"

namespace vigilo {
namespace {

using namespace std::chrono_literals;
using ::testing::HasSubstr;
using Texts = std::map<std::int32_t, std::vector<std::string>>;  // fdinfo texts per pid
using Clients = std::map<std::int32_t, std::vector<DrmClient>>;

std::string fdinfo(const std::string& keys, const std::string& pdev = "0000:03:00.0", int clientId = 7) {
    return "pos:\t0\nflags:\t02100002\nmnt_id:\t26\nino:\t1055\ndrm-driver:\tamdgpu\ndrm-pdev:\t" + pdev +
           "\ndrm-client-id:\t" + std::to_string(clientId) + "\n" + keys;
}

DrmClient clientOf(const std::string& text) {
    DrmFdinfo parsed = parseDrmFdinfo(text);
    EXPECT_EQ(parsed.status, DrmFdinfo::Status::client) << parsed.problem << " in\n" << text;
    return parsed.client;
}

// Each process's descriptors, as fdinfo texts, read at two moments.
struct MeterCase {
    const char* name;
    Texts before;
    Texts after;
    std::map<std::int32_t, double> expected;  // absent pid: not measured
};

Clients clientsOf(const Texts& texts) {
    Clients clients;
    for (const auto& [pid, ofProcess] : texts) {
        for (const auto& text : ofProcess) clients[pid].push_back(clientOf(text));
    }
    return clients;
}

TEST(DrmBusyMeterTest, TurnsCountersIntoTheBusiestEnginesPercent) {
    // Samples two seconds apart: 1e9 ns of busy time is 50 %.
    const std::vector<MeterCase> cases = {
        {"busy nanoseconds over wall time, the busiest engine counting",
         {{10, {fdinfo("drm-engine-gfx:\t1000 ns\ndrm-engine-compute:\t0 ns\n")}}},
         {{10, {fdinfo("drm-engine-gfx:\t200001000 ns\ndrm-engine-compute:\t1000000000 ns\n")}}},
         {{10, 50.0}}},
        {"xe's busy cycles over total cycles",
         {{10, {fdinfo("drm-cycles-rcs:\t100\ndrm-total-cycles-rcs:\t1000\n")}}},
         {{10, {fdinfo("drm-cycles-rcs:\t850\ndrm-total-cycles-rcs:\t2000\n")}}},
         {{10, 75.0}}},
        {"a capacity of two halves the engine's share",
         {{10, {fdinfo("drm-engine-video:\t0 ns\ndrm-engine-capacity-video:\t2\n")}}},
         {{10, {fdinfo("drm-engine-video:\t2000000000 ns\ndrm-engine-capacity-video:\t2\n")}}},
         {{10, 50.0}}},
        {"a counter stepping back stands still, not wrapping",
         {{10, {fdinfo("drm-engine-gfx:\t5000000000 ns\n")}}},
         {{10, {fdinfo("drm-engine-gfx:\t4999999000 ns\n")}}},
         {{10, 0.0}}},
        {"a shared client counts once, for the lowest pid",
         {{10, {fdinfo("drm-engine-gfx:\t0 ns\n")}}, {11, {fdinfo("drm-engine-gfx:\t0 ns\n")}}},
         {{11, {fdinfo("drm-engine-gfx:\t1000000000 ns\n"), fdinfo("drm-engine-gfx:\t1000000000 ns\n")}},
          {10, {fdinfo("drm-engine-gfx:\t1000000000 ns\n")}}},
         {{10, 50.0}}},
        {"one process's clients add up per device and engine",
         {{10,
           {fdinfo("drm-engine-gfx:\t0 ns\n", "0000:03:00.0", 1), fdinfo("drm-engine-gfx:\t0 ns\n", "0000:03:00.0", 2),
            fdinfo("drm-engine-gfx:\t0 ns\n", "0000:04:00.0", 1)}}},
         {{10, {fdinfo("drm-engine-gfx:\t600000000 ns\n", "0000:03:00.0", 1),
                fdinfo("drm-engine-gfx:\t600000000 ns\n", "0000:03:00.0", 2),
                fdinfo("drm-engine-gfx:\t1000000000 ns\n", "0000:04:00.0", 1)}}},
         {{10, 60.0}}},
        {"busier than possible is 100",
         {{10, {fdinfo("drm-engine-gfx:\t0 ns\n")}}},
         {{10, {fdinfo("drm-engine-gfx:\t9000000000 ns\n")}}},
         {{10, 100.0}}},
        {"a first sighting, and a client new since, are not measured",
         {{10, {fdinfo("drm-engine-gfx:\t0 ns\n", "0000:03:00.0", 1)}}},
         {{10, {fdinfo("drm-engine-gfx:\t0 ns\n", "0000:03:00.0", 2)}},
          {12, {fdinfo("drm-engine-gfx:\t0 ns\n", "x", 3)}}},
         {}},
        {"a process holding no GPU is not measured",
         {{10, {}}},
         {{10, {}}},
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DrmBusyMeter meter;
        const MonoTime start{std::chrono::seconds(100)};
        meter.update(clientsOf(c.before), start);
        EXPECT_EQ(meter.update(clientsOf(c.after), start + 2s), c.expected);
    }
}

TEST(DrmBusyMeterTest, KeepsTheHighestCountSoAStepBackIsNotCountedTwice) {
    DrmBusyMeter meter;
    const MonoTime start{std::chrono::seconds(100)};
    const auto at = [&](const char* busy) { return Clients{{5, {clientOf(fdinfo(busy))}}}; };
    meter.update(at("drm-engine-gfx:\t1000000000 ns\n"), start);
    meter.update(at("drm-engine-gfx:\t900000000 ns\n"), start + 1s);
    // From the highest seen (1e9), not from the step back (9e8).
    EXPECT_EQ(meter.update(at("drm-engine-gfx:\t1500000000 ns\n"), start + 2s),
              (std::map<std::int32_t, double>{{5, 50.0}}));
}

TEST(DrmFdinfoTest, TellsOtherDescriptorsAndMalformedOnesApart) {
    struct Case {
        const char* name;
        std::string text;
        DrmFdinfo::Status status;
        const char* problem;
    };
    const std::vector<Case> cases = {
        {"a plain file", "pos:\t0\nflags:\t0100000\nmnt_id:\t26\n", DrmFdinfo::Status::notDrm, ""},
        {"no client id", "drm-driver:\ti915\ndrm-engine-render:\t5 ns\n", DrmFdinfo::Status::malformed,
         "drm-client-id"},
        {"a negative counter", fdinfo("drm-engine-gfx:\t-5 ns\n"), DrmFdinfo::Status::malformed, "drm-engine-gfx"},
        {"an overflowing counter", fdinfo("drm-engine-gfx:\t18446744073709551616 ns\n"), DrmFdinfo::Status::malformed,
         "drm-engine-gfx"},
        {"busy time without its unit", fdinfo("drm-engine-gfx:\t5\n"), DrmFdinfo::Status::malformed, "nanoseconds"},
        {"cycles without their total", fdinfo("drm-cycles-rcs:\t5\n"), DrmFdinfo::Status::malformed, "total"},
        {"a capacity of 0", fdinfo("drm-engine-gfx:\t5 ns\ndrm-engine-capacity-gfx:\t0\n"),
         DrmFdinfo::Status::malformed, "capacity"},
        {"a client id in words", "drm-driver:\tmsm\ndrm-client-id:\tseven\n", DrmFdinfo::Status::malformed,
         "drm-client-id"},
        {"memory keys, a non-UTF-8 engine name and no newline at the end",
         fdinfo("drm-total-vram:\t1024 KiB\ndrm-resident-vram:\t512 KiB\ndrm-engine-\xff\xfe:\t3 ns"),
         DrmFdinfo::Status::client, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const DrmFdinfo parsed = parseDrmFdinfo(c.text);
        EXPECT_EQ(parsed.status, c.status);
        EXPECT_THAT(parsed.problem, HasSubstr(c.problem));
    }
    const DrmFdinfo xe = parseDrmFdinfo(
        "drm-driver:\txe\ndrm-client-id:\t9\ndrm-cycles-rcs:\t5\ndrm-total-cycles-rcs:\t50\n"
        "drm-total-cycles-bcs:\t8\n");
    EXPECT_EQ(xe.client.key, (DrmClientKey{"xe", "", 9}));
    EXPECT_EQ(xe.client.engines, (std::map<std::string, DrmEngineCounter>{{"rcs", {5, 50, true, 1}}}));
}

}  // namespace
}  // namespace vigilo
