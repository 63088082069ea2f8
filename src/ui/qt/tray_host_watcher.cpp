#include "ui/qt/tray_host_watcher.h"

#include <xcb/xcb.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>
#include <cstdlib>
#include <memory>

#include "support/log.h"

namespace vigilo {

namespace {

const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kWatcherPath = QStringLiteral("/StatusNotifierWatcher");

Logger log_{"Tray"};

// Qt gives an icon to the bus only where the watcher says a host is
// registered, so that is what counts.
QDBusMessage hostQuestion() {
    auto message = QDBusMessage::createMethodCall(kWatcherService, kWatcherPath,
                                                  QStringLiteral("org.freedesktop.DBus.Properties"),
                                                  QStringLiteral("Get"));
    message << kWatcherService << QStringLiteral("IsStatusNotifierHostRegistered");
    return message;
}

}  // namespace

TrayHostWatcher::TrayHostWatcher(Report report)
    : report_(std::move(report)),
      services_(kWatcherService, QDBusConnection::sessionBus(), QDBusServiceWatcher::WatchForOwnerChange) {
    QObject::connect(&services_, &QDBusServiceWatcher::serviceOwnerChanged, &context_,
                     [this](const QString&, const QString& oldOwner, const QString& newOwner) {
                         log_.info("The tray host's watcher {}", newOwner.isEmpty()   ? "went away"
                                                                 : oldOwner.isEmpty() ? "appeared"
                                                                                      : "changed owner");
                         if (!newOwner.isEmpty()) replaced_ = true;
                         query();
                     });
    hostRegistered_.setSingleShot(true);
    hostRegistered_.setInterval(0);
    QObject::connect(&hostRegistered_, &QTimer::timeout, &context_, [this] { query(); });
    QDBusConnection::sessionBus().connect(kWatcherService, kWatcherPath, kWatcherService,
                                          QStringLiteral("StatusNotifierHostRegistered"), &hostRegistered_,
                                          SLOT(start()));
}

bool TrayHostWatcher::presentNow() {
    auto bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        QDBusPendingReply<QDBusVariant> reply = bus.asyncCall(hostQuestion(), 1000);
        reply.waitForFinished();
        if (reply.isValid() && reply.value().variant().toBool()) return true;
    }
    return xembedTrayPresent();
}

void TrayHostWatcher::query() {
    const unsigned generation = ++generation_;
    auto bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return answer(false, generation);
    auto* call = new QDBusPendingCallWatcher(bus.asyncCall(hostQuestion(), 2000), &context_);
    QObject::connect(call, &QDBusPendingCallWatcher::finished, &context_,
                     [this, generation](QDBusPendingCallWatcher* finished) {
                         finished->deleteLater();
                         QDBusPendingReply<QDBusVariant> reply = *finished;
                         answer(reply.isValid() && reply.value().variant().toBool(), generation);
                     });
}

// A reply overtaken by a later question says nothing any more.
void TrayHostWatcher::answer(bool sniHost, unsigned generation) {
    if (generation != generation_) return;
    const bool present = sniHost || xembedTrayPresent();
    report_(present, std::exchange(replaced_, false) && sniHost);
}

bool xembedTrayPresent() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection) return false;
    static constexpr char kSelection[] = "_NET_SYSTEM_TRAY_S0";
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> atom(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 1, sizeof kSelection - 1, kSelection), nullptr),
        &std::free);
    if (!atom || atom->atom == XCB_ATOM_NONE) return false;
    std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> owner(
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, atom->atom), nullptr),
        &std::free);
    return owner && owner->owner != XCB_WINDOW_NONE;
}

}  // namespace vigilo
