// The tray icon on a StatusNotifierItem host. e2e_x11_desktop.sh runs this class in its own
// process (Qt chooses between StatusNotifierItem and XEmbed once per process) on a session bus
// where a fake org.kde.StatusNotifierWatcher appears only after the icon was requested, and
// registers a host later still. The watcher runs on its own thread and bus connection, since
// Qt asks it synchronously from the main thread.

#include "app/StatusItem.h"
#include "common/TestMain.h"

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
        return m_hostRegistered;
    }
    QStringList items() const
    {
        QMutexLocker lock(&m_mutex);
        return m_items;
    }
    int protocolVersion() const { return 0; }

    // Called on the watcher's thread.
    bool start()
    {
        m_connection = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(
            QDBusConnection::SessionBus, QStringLiteral("fake-watcher")));
        return m_connection->isConnected() &&
            m_connection->registerObject(QStringLiteral("/StatusNotifierWatcher"), this,
                QDBusConnection::ExportAllContents) &&
            m_connection->registerService(watcherService);
    }
    void stop()
    {
        m_connection->unregisterService(watcherService);
        m_connection->unregisterObject(QStringLiteral("/StatusNotifierWatcher"));
        QDBusConnection::disconnectFromBus(QStringLiteral("fake-watcher"));
        m_connection.reset();
    }
    void registerHost()
    {
        {
            QMutexLocker lock(&m_mutex);
            m_hostRegistered = true;
        }
        Q_EMIT StatusNotifierHostRegistered();
    }
    // Sends a method call to the registered item (no reply awaited).
    void callItem(const QString& method, int x, int y)
    {
        const QString service = items().value(0);
        QDBusMessage call =
            QDBusMessage::createMethodCall(service, QStringLiteral("/StatusNotifierItem"),
                QStringLiteral("org.kde.StatusNotifierItem"), method);
        call << x << y;
        call.setAutoStartService(false);
        m_connection->send(call);
    }

public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString& service)
    {
        QMutexLocker lock(&m_mutex);
        // Qt passes its bus service name (or an object path on the caller's name).
        m_items.append(service.startsWith(QLatin1Char('/')) ? QString() : service);
    }
    void RegisterStatusNotifierHost(const QString&) { }

Q_SIGNALS:
    void StatusNotifierItemRegistered(const QString& service);
    void StatusNotifierItemUnregistered(const QString& service);
    void StatusNotifierHostRegistered();

private:
    mutable QMutex m_mutex;
    bool m_hostRegistered = false;
    QStringList m_items;
    std::unique_ptr<QDBusConnection> m_connection;
};

template<typename Fn>
auto onThread(QObject* object, Fn fn)
{
    decltype(fn()) result {};
    QMetaObject::invokeMethod(
        object, [&] { result = fn(); }, Qt::BlockingQueuedConnection);
    return result;
}

template<typename Fn>
void runOnThread(QObject* object, Fn fn)
{
    QMetaObject::invokeMethod(object, fn, Qt::BlockingQueuedConnection);
}

} // namespace

class StatusNotifierTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (!QDBusConnection::sessionBus().isConnected()) {
            QSKIP("needs the e2e desktop's session bus");
        }
    }

    void iconWaitsForARegisteredHost()
    {
        QThread thread;
        thread.start();
        auto* watcher = new FakeWatcher;
        watcher->moveToThread(&thread);

        StatusItem item;
        QSignalSpy shown(&item, &StatusItem::shown);
        item.install();
        QTest::qWait(300);
        QVERIFY(!item.isShown()); // no watcher on the bus at all

        QVERIFY(onThread(watcher, [watcher] { return watcher->start(); }));
        QTRY_VERIFY_WITH_TIMEOUT(
            QDBusConnection::sessionBus().interface()->isServiceRegistered(watcherService), 5000);
        QTest::qWait(500);
        QVERIFY(!item.isShown()); // a watcher, but no host registered with it

        runOnThread(watcher, [watcher] { watcher->registerHost(); });
        QTRY_COMPARE_WITH_TIMEOUT(shown.size(), 1, 5000);
        QVERIFY(item.isShown());
        // Qt chose StatusNotifierItem: the item registered itself with the watcher.
        QTRY_VERIFY_WITH_TIMEOUT(!watcher->items().isEmpty(), 5000);
        QVERIFY(!watcher->items().first().isEmpty());
        QCOMPARE(item.iconGeometry(), QRect()); // hosts do not say where the icon is

        QSignalSpy leftClicks(&item, &StatusItem::leftClicked);
        QSignalSpy contextRequests(&item, &StatusItem::contextMenuRequested);
        runOnThread(watcher, [watcher] { watcher->callItem(QStringLiteral("Activate"), 10, 10); });
        QTRY_COMPARE_WITH_TIMEOUT(leftClicks.size(), 1, 5000);
        QCOMPARE(leftClicks.at(0).at(0).toRect(), QRect());
        runOnThread(
            watcher, [watcher] { watcher->callItem(QStringLiteral("ContextMenu"), 10, 10); });
        QTRY_COMPARE_WITH_TIMEOUT(contextRequests.size(), 1, 5000);

        item.remove();
        QThread* mainThread = QThread::currentThread();
        runOnThread(watcher, [watcher, mainThread] {
            watcher->stop();
            watcher->moveToThread(mainThread);
        });
        thread.quit();
        thread.wait();
        delete watcher;
    }
};

NORVALE_TEST_CLASS(StatusNotifierTest)
#include "tst_statusnotifier.moc"
