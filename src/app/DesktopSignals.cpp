#include "DesktopSignals.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QFileInfo>
#include <QStringList>
#include <QVariantMap>

namespace {

const QString launcherPath = QStringLiteral("/org/brightfen/Metascribe");
const QString applicationUri = QStringLiteral("application://org.brightfen.Metascribe.desktop");

void sendLauncherUpdate(const QVariantMap& properties) {
    if (!DesktopSignals::busAvailable())
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage update = QDBusMessage::createSignal(
        launcherPath, QStringLiteral("com.canonical.Unity.LauncherEntry"),
        QStringLiteral("Update"));
    update << applicationUri << properties;
    bus.send(update);
}

} // namespace

bool DesktopSignals::busAvailable() {
    // Asked for a session bus without an address, the bus library may start one for the X
    // display (dbus-launch) and wait for it; a run never waits for the desktop.
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return true;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus"));
}

void DesktopSignals::progress(double fraction) {
    sendLauncherUpdate({{QStringLiteral("progress"), qBound(0.0, fraction, 1.0)},
                        {QStringLiteral("progress-visible"), true}});
}

void DesktopSignals::progressEnded() {
    sendLauncherUpdate(
        {{QStringLiteral("progress"), 0.0}, {QStringLiteral("progress-visible"), false}});
}

void DesktopSignals::notify(const QString& summary, const QString& body) {
    if (!busAvailable())
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    call << QStringLiteral("Metascribe") << 0u << QStringLiteral("org.brightfen.Metascribe")
         << summary << body << QStringList() << QVariantMap() << -1;
    // Sent, never waited for: the answer (or the error when no service runs) is of no use.
    call.setAutoStartService(true);
    bus.send(call);
}
