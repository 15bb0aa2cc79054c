// The tray icon on a StatusNotifierItem host: run by e2e_tst.sh in a process of its own (Qt
// chooses between StatusNotifierItem and XEmbed once per process) on a private session bus,
// where a fake org.kde.StatusNotifierWatcher appears only after the icon was requested and a
// host registers with it later still. The watcher has its own thread and bus connection, since
// Qt asks it synchronously from the main thread.

#include "app/StatusItemIcon.h"
#include "common/TestMain.h"
#include "platform/linux/LinuxSystemTray.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QMutex>
#include <QMutexLocker>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

namespace {

const QString watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");

class FakeWatcher final : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isHostRegistered)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)

public:
    bool isHostRegistered() const
    {
        QMutexLocker lock(&m_mutex);
        ++m_hostQueries;
        return m_hostRegistered;
    }
    int hostQueries() const
    {
        QMutexLocker lock(&m_mutex);
        return m_hostQueries;
    }
    QStringList items() const
    {
        QMutexLocker lock(&m_mutex);
        return m_items;
    }
    int protocolVersion() const { return 0; }

    // The rest runs on the watcher's thread.
    void start()
    {
        m_connection = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(
            QDBusConnection::SessionBus, QStringLiteral("fake-watcher")));
        m_connection->registerObject(
            QStringLiteral("/StatusNotifierWatcher"), this, QDBusConnection::ExportAllContents);
        m_connection->registerService(watcherService);
    }
    void stop()
    {
        m_connection.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("fake-watcher"));
    }
    void registerHost()
    {
        {
            QMutexLocker lock(&m_mutex);
            m_hostRegistered = true;
        }
        Q_EMIT StatusNotifierHostRegistered();
    }
    // A click as a host sends it to the registered item (no reply awaited).
    void callItem(const QString& method)
    {
        QDBusMessage call =
            QDBusMessage::createMethodCall(items().value(0), QStringLiteral("/StatusNotifierItem"),
                QStringLiteral("org.kde.StatusNotifierItem"), method);
        call << 10 << 10;
        m_connection->send(call);
    }

public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString& service)
    {
        QMutexLocker lock(&m_mutex);
        // Qt passes its bus service name (or an object path on the caller's name).
        m_items.append(service.startsWith(QLatin1Char('/')) ? QString() : service);
    }

Q_SIGNALS:
    void StatusNotifierItemRegistered(const QString& service);
    void StatusNotifierItemUnregistered(const QString& service);
    void StatusNotifierHostRegistered();

private:
    mutable QMutex m_mutex;
    bool m_hostRegistered = false;
    mutable int m_hostQueries = 0;
    QStringList m_items;
    std::unique_ptr<QDBusConnection> m_connection;
};

} // namespace

class StatusNotifierTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void iconWaitsForARegisteredHost()
    {
        if (!QDBusConnection::sessionBus().isConnected()) {
            QSKIP("needs the e2e desktop's session bus");
        }
        QThread thread;
        thread.start();
        FakeWatcher watcher;
        watcher.moveToThread(&thread);
        const auto onWatcher = [&watcher](auto function) {
            QMetaObject::invokeMethod(&watcher, function, Qt::BlockingQueuedConnection);
        };

        LinuxSystemTray item;
        QSignalSpy shown(&item, &SystemTray::shown);
        bool hostAtShow = false;
        connect(&item, &SystemTray::shown, this, [&] { hostAtShow = watcher.isHostRegistered(); });
        item.install(statusItemIcon());

        // A watcher appears without a host: the item asks it, and waits on.
        onWatcher([&watcher] { watcher.start(); });
        QTRY_VERIFY_WITH_TIMEOUT(watcher.hostQueries() > 0, 5000);
        QVERIFY(!item.isShown());

        onWatcher([&watcher] { watcher.registerHost(); });
        QTRY_COMPARE_WITH_TIMEOUT(shown.size(), 1, 5000);
        QVERIFY(hostAtShow);
        // Qt chose StatusNotifierItem: the item registered itself with the watcher.
        QTRY_VERIFY_WITH_TIMEOUT(!watcher.items().value(0).isEmpty(), 5000);

        QSignalSpy leftClicks(&item, &SystemTray::leftClicked);
        QSignalSpy contextRequests(&item, &SystemTray::contextMenuRequested);
        onWatcher([&watcher] { watcher.callItem(QStringLiteral("Activate")); });
        QTRY_COMPARE_WITH_TIMEOUT(leftClicks.size(), 1, 5000);
        QCOMPARE(leftClicks.at(0).at(0).toRect(), QRect()); // hosts do not say where the icon is
        onWatcher([&watcher] { watcher.callItem(QStringLiteral("ContextMenu")); });
        QTRY_COMPARE_WITH_TIMEOUT(contextRequests.size(), 1, 5000);

        item.remove();
        QThread* mainThread = QThread::currentThread();
        onWatcher([&watcher, mainThread] {
            watcher.stop();
            watcher.moveToThread(mainThread);
        });
        thread.quit();
        thread.wait();
    }
};

NORVALE_TEST_CLASS(StatusNotifierTest)
#include "tst_statusnotifier.moc"
