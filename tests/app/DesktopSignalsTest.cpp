#include "DesktopSignals.h"

#include <QDBusConnection>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QVariantMap>

namespace {

// What the task bar's launcher heard.
class Launcher : public QObject {
    Q_OBJECT

public:
    QList<QPair<QString, QVariantMap>> updates;

public slots:
    void update(const QString& uri, const QVariantMap& properties) {
        updates.append({uri, properties});
    }
};

// A notification service of the test's own, which records what it was asked to show.
class Notifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    QStringList shown;

public slots:
    uint Notify(const QString& application, uint, const QString&, const QString& summary,
                const QString& body, const QStringList&, const QVariantMap&, int) {
        shown << application + ": " + summary + " / " + body;
        return uint(shown.size());
    }
};

} // namespace

// Progress on the task bar and the notification at a run's end, watched on a session bus the
// test starts for itself.
class DesktopSignalsTest : public QObject {
    Q_OBJECT

    QProcess daemon_;
    QString address_;

private slots:
    void initTestCase() {
        daemon_.start("dbus-daemon", {"--session", "--nofork", "--print-address"});
        if (!daemon_.waitForStarted())
            QSKIP("dbus-daemon is not installed (package dbus-daemon)");
        QVERIFY(daemon_.waitForReadyRead(30000));
        address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
        QVERIFY(!address_.isEmpty());
    }
    void cleanupTestCase() {
        daemon_.kill();
        daemon_.waitForFinished();
    }

    // Without a session bus nothing is sent and nothing waits: the bus library is never asked
    // to start one. First, before the program's connection to the test's bus exists.
    void withoutABusNothingHappens() {
        QTemporaryDir runtime;
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        QVERIFY(!DesktopSignals::busAvailable());
        DesktopSignals::progress(0.5);
        DesktopSignals::progressEnded();
        DesktopSignals::notify("1 files changed, 0 not changed", "/tmp");
    }

    void launcherAndNotification() {
        if (address_.isEmpty())
            QSKIP("no session bus");
        qputenv("DBUS_SESSION_BUS_ADDRESS", address_.toUtf8());
        QDBusConnection desktop = QDBusConnection::connectToBus(address_, "desktop");
        QVERIFY(desktop.isConnected());
        Launcher launcher;
        QVERIFY(desktop.connect(QString(), "/org/brightfen/Metascribe",
                                "com.canonical.Unity.LauncherEntry", "Update", &launcher,
                                SLOT(update(QString, QVariantMap))));
        Notifications notifications;
        QVERIFY(desktop.registerObject("/org/freedesktop/Notifications", &notifications,
                                       QDBusConnection::ExportAllSlots));
        QVERIFY(desktop.registerService("org.freedesktop.Notifications"));

        DesktopSignals::progress(0.25);
        DesktopSignals::progressEnded();
        DesktopSignals::notify("998 files changed, 2 not changed", "/home/a/contracts");
        QTRY_COMPARE_WITH_TIMEOUT(launcher.updates.size(), 2, 30000);
        for (const auto& [uri, properties] : std::as_const(launcher.updates))
            QCOMPARE(uri, "application://org.brightfen.Metascribe.desktop");
        QCOMPARE(launcher.updates[0].second.value("progress").toDouble(), 0.25);
        QCOMPARE(launcher.updates[0].second.value("progress-visible").toBool(), true);
        QCOMPARE(launcher.updates[1].second.value("progress-visible").toBool(), false);
        QTRY_COMPARE_WITH_TIMEOUT(notifications.shown,
                                  QStringList{"Metascribe: 998 files changed, 2 not changed / "
                                              "/home/a/contracts"},
                                  30000);
        // With no notification service on the bus, the call finds no one and nothing waits.
        QVERIFY(desktop.unregisterService("org.freedesktop.Notifications"));
        DesktopSignals::notify("1 files changed, 0 not changed", "/tmp");
        DesktopSignals::progress(1);
        QTRY_COMPARE_WITH_TIMEOUT(launcher.updates.size(), 3, 30000);
        QCOMPARE(notifications.shown.size(), 1);
    }
};

QTEST_GUILESS_MAIN(DesktopSignalsTest)
#include "DesktopSignalsTest.moc"
