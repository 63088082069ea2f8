#pragma once

#include <mutex>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "platform/linux/safety/hwmon_inventory.h"
#include "platform/privileged_runner.h"
#include "support/log.h"

namespace vigilo {

class RestoreRecord;

// Fan writes need root: they go through the privileged helper, one run per
// fan and preset. Before the first manual write to a fan, the chip's own
// automatic pwmN_enable value (2 on some chips, 5 on others) is kept in the
// restore record, and handing the fan back gives exactly that value again.
//
// A fan left at a low manual speed once the application is gone can
// overheat the machine, so automatic control is handed back at quit and,
// from the record, at the next launch after a crash (restoreAll()).
//
// Each write waits for the helper (runAndWait(), bounded by its time-out), so
// it belongs on a background task, where presets run; the launch's restore
// runs on one too, and the quit's after the loop has stopped. Thread-safe:
// one fan step at a time, so a restore and a preset never interleave their
// record and their helper runs. Steps polkit does not allow without asking
// are skipped and logged.
class PrivilegedFanWriter {
public:
    // The key prefix of our entries in the restore record.
    static constexpr const char* kRecordKeyPrefix = "fan ";

    PrivilegedFanWriter(PrivilegedRunner& helper, RestoreRecord& record, Consent consent = Consent::withoutAsking);

    // `value` is a pwm duty (0..255) where the chip has pwmN, else rpm: the
    // helper drives pwmN before fanN_target before fanN_output.
    bool setManual(const HwmonInventory::Fan& fan, long value);
    // Gives a fan we drove back to automatic control; true when there was
    // nothing to give back.
    bool setAutomatic(const HwmonInventory::Fan& fan);
    // Every fan in the record, whoever drove it.
    void restoreAll();

private:
    bool record(const HwmonInventory::Fan& fan, const std::string& chip, bool& recordedNow);
    bool giveBack(const std::string& key, const nlohmann::json& entry);

    Logger log_{"Fan"};
    PrivilegedRunner& helper_;
    RestoreRecord& record_;
    Consent consent_;
    std::mutex mutex_;
};

}  // namespace vigilo
