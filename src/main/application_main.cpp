#include <signal.h>
#include <stdlib.h>

#include "cli/program_entry.h"
#include "main/entry_points.h"
#include "platform/linux/journal_log_sink.h"
#include "platform/linux/sd_event_loop.h"
#include "support/log.h"
#include "support/tr.h"

namespace vigilo {

int runApplication(const std::vector<std::string>& arguments) {
    setLogSink(journalOr(std::make_shared<StderrLogSink>()));
    initLocalisation(VIGILO_LOCALE_DIR);
    const Logger log("AppState");

    const bool hasDisplay = ::getenv("DISPLAY") || ::getenv("WAYLAND_DISPLAY");
    const bool headless = wantsHeadless(arguments, hasDisplay);

    SdEventLoop loop;
    auto onInterrupt = loop.onSignal(SIGINT, [&] { loop.quit(0); });
    auto onTerminate = loop.onSignal(SIGTERM, [&] { loop.quit(0); });

    log.info("Vigilo started ({})", headless ? "headless" : "tray");
    const int code = loop.run();
    log.info("Vigilo stopped");
    return code < 0 ? 1 : code;
}

}  // namespace vigilo
