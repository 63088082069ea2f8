#pragma once

#include <chrono>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "detection/process_scan.h"
#include "support/clock.h"
#include "support/handle.h"
#include "support/loop.h"

namespace vigilo {

class AppState;

struct ReadingPoint {
    WallTime at;
    double value = 0;
    bool operator==(const ReadingPoint&) const = default;
};

// Points with no gap between them; a chart draws each as one line.
using ReadingRun = std::vector<ReadingPoint>;

// The recent readings of one quantity, in memory only: points older than
// `kept` are dropped. A gap is where the computer slept (the wall clock went
// on while the monotonic one did not), where nothing was read for longer
// than `gapAfter`, or where the clock was set back (the points after the new
// time are dropped, so the line never runs backwards).
class ReadingSeries {
public:
    ReadingSeries(Duration kept, Duration gapAfter) : kept_(kept), gapAfter_(gapAfter) {}

    void add(double value, WallTime wallNow, MonoTime monoNow);
    // The runs within `kept` of `wallNow`, oldest first.
    std::vector<ReadingRun> runs(WallTime wallNow) const;
    bool empty() const { return points_.empty(); }

private:
    struct Point {
        WallTime at;
        MonoTime mono;
        double value;
        bool startsRun;
    };
    Duration kept_;
    Duration gapAfter_;
    std::deque<Point> points_;
};

// The monitors' readings for the dashboard's charts: battery and temperature
// over the last hour, read every 30 seconds, and each workload's CPU and GPU
// over the last ten minutes, at every process scan. Kept from the tray's
// start, so the charts have a past when the dashboard opens. Main thread only.
class ReadingsHistory {
public:
    static constexpr auto kKept = std::chrono::hours(1);
    static constexpr auto kWorkloadKept = std::chrono::minutes(10);
    static constexpr auto kEvery = std::chrono::seconds(30);

    ReadingsHistory(AppState& state, Loop& loop);
    ReadingsHistory(const ReadingsHistory&) = delete;
    ReadingsHistory& operator=(const ReadingsHistory&) = delete;

    std::vector<ReadingRun> temperature() const { return temperature_.runs(now()); }
    std::vector<ReadingRun> battery() const { return battery_.runs(now()); }
    // Nothing for a name not seen in the last ten minutes.
    std::vector<ReadingRun> workloadCpu(const std::string& name) const;
    std::vector<ReadingRun> workloadGpu(const std::string& name) const;

private:
    struct Workload {
        ReadingSeries cpu{kWorkloadKept, std::chrono::minutes(2)};
        ReadingSeries gpu{kWorkloadKept, std::chrono::minutes(2)};
    };
    void read();
    void readWorkloads(const std::vector<WatchMatch>& matches);
    WallTime now() const { return loop_.clock().wallNow(); }

    AppState& state_;
    Loop& loop_;
    ReadingSeries temperature_{kKept, std::chrono::minutes(2)};
    ReadingSeries battery_{kKept, std::chrono::minutes(2)};
    std::map<std::string, Workload> workloads_;
    Handle timer_;
    Handle matches_;
};

}  // namespace vigilo
