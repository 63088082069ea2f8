#pragma once

#include <QDBusServiceWatcher>
#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>

#include "ui/qt/xembed_tray_watch.h"

namespace vigilo {

// Watches the session bus for a panel's tray host: the owner of
// org.kde.StatusNotifierWatcher appearing, changing or going, and its
// StatusNotifierHostRegistered signal. Where there is no such host, an X11
// system-tray selection owner counts as one (Qt shows its icon there), and
// on X11 a tray taking that selection is asked about too.
// Main thread only.
class TrayHostWatcher {
public:
    // `present`: whether a host is there now. `replaced`: the watcher's name
    // or the X11 tray's selection changed owner since the last report (a
    // panel restarted), so an icon made for the old one is to be made again.
    using Report = std::function<void(bool present, bool replaced)>;

    explicit TrayHostWatcher(Report report);
    TrayHostWatcher(const TrayHostWatcher&) = delete;
    TrayHostWatcher& operator=(const TrayHostWatcher&) = delete;

    // Asks the bus; the answer comes through the report.
    void query();
    // Asks and waits for the answer (at most a second), for the start.
    static bool presentNow();

private:
    void answer(bool sniHost, unsigned generation);

    Report report_;
    QObject context_;  // the receiver of the replies, gone with the watcher
    QDBusServiceWatcher services_;
    QTimer hostRegistered_;  // started by the bus signal: a slot without moc
    std::unique_ptr<XEmbedTrayWatch> xembed_;
    unsigned generation_ = 0;
    bool replaced_ = false;
    bool xembedReplaced_ = false;
};

}  // namespace vigilo
