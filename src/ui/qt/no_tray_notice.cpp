#include "ui/qt/no_tray_notice.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusObjectPath>
#include <QString>
#include <QVariantMap>
#include <sstream>

#include "support/log.h"
#include "support/tr.h"

namespace vigilo {

namespace {

Logger log_{"Tray"};

}  // namespace

bool firstNoTrayNoticeThisLogin(const char* runtimeDir) {
    if (!runtimeDir || !*runtimeDir) return true;
    const std::string marker = std::string(runtimeDir) + "/vigilo-no-tray-notice";
    const int fd = ::open(marker.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return errno != EEXIST;
    ::close(fd);
    return true;
}

bool onGnome(const char* currentDesktop) {
    std::istringstream names(currentDesktop ? currentDesktop : "");
    for (std::string name; std::getline(names, name, ':');) {
        if (QString::fromStdString(name).compare(QStringLiteral("GNOME"), Qt::CaseInsensitive) == 0) return true;
    }
    return false;
}

void requestBackgroundFromPortal() {
    auto bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    auto message = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.portal.Desktop"), QStringLiteral("/org/freedesktop/portal/desktop"),
        QStringLiteral("org.freedesktop.portal.Background"), QStringLiteral("RequestBackground"));
    QVariantMap options{
        {QStringLiteral("reason"),
         QString::fromUtf8(tr("Vigilo keeps your computer awake while long work runs."))},
        {QStringLiteral("autostart"), false},
        {QStringLiteral("handle_token"), QStringLiteral("vigilo_background")},
    };
    message << QString() << options;
    auto* call = new QDBusPendingCallWatcher(bus.asyncCall(message, 5000));
    QObject::connect(call, &QDBusPendingCallWatcher::finished, [](QDBusPendingCallWatcher* finished) {
        finished->deleteLater();
        QDBusPendingReply<QDBusObjectPath> reply = *finished;
        if (reply.isValid()) {
            log_.info("Asked the desktop portal to list Vigilo as running in the background");
        } else {
            log_.info("The desktop portal offers no background listing ({})", reply.error().name().toStdString());
        }
    });
}

}  // namespace vigilo
