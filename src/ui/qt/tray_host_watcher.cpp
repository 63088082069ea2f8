#include "ui/qt/tray_host_watcher.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <utility>

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
    xembed_ = XEmbedTrayWatch::make([this] {
        xembedReplaced_ = true;
        QTimer::singleShot(0, &context_, [this] { query(); });
    });
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
    const bool xembed = !sniHost && xembedTrayPresent();
    const bool replaced = std::exchange(replaced_, false);
    const bool xembedReplaced = std::exchange(xembedReplaced_, false);
    report_(sniHost || xembed, (replaced && sniHost) || (xembedReplaced && xembed));
}

}  // namespace vigilo
