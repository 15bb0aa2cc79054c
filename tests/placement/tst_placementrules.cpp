#include "common/TestMain.h"
#include "placement/WindowPlacementRuleList.h"
#include "placement/WindowPlacementRuleStore.h"
#include "platform/sim/MemoryDefaultsStore.h"
#include "support/Uuid.h"

#include <QTest>
#include <QTimeZone>

namespace {

const QString One = QStringLiteral("type:builtin;origin:0,0;size:1440x900;pixel:2880x1800");
const QString Legacy = QStringLiteral("id:7;") + One + QStringLiteral(";main:1");

QUuid uuid(int n)
{
    return QUuid(QStringLiteral("00000000-0000-0000-0000-%1").arg(n, 12, 10, QLatin1Char('0')));
}

QByteArray storedRule(int id, const QString& signature, const QString& title, double createdAt)
{
    WindowPlacementRule rule {uuid(id), signature, QStringLiteral("d"), QStringLiteral("app.b"),
        QStringLiteral("B"), title, {1, 2, 3, 4}, createdAt};
    const QByteArray json = WindowPlacementRuleStore::encode({rule});
    return json.mid(1, json.size() - 2);
}

QByteArray array(const QList<QByteArray>& rules)
{
    return '[' + rules.join(',') + ']';
}

RunningWindowSnapshot window(const QString& appName, const QString& title)
{
    return {QStringLiteral("1-2"), 1, QStringLiteral("app.t"), appName, title, 2, {}};
}

} // namespace

class PlacementRulesTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void storedForm()
    {
        // 2026-12-07T00:00:00.25Z is 818294400.25 s after 2001-01-01.
        const QDateTime created(QDate(2026, 12, 7), QTime(0, 0, 0, 250), QTimeZone::utc());
        const WindowPlacementRule rule {uuid(1), One, QStringLiteral("内蔵* 1440x900 @ (0, 0)"),
            QStringLiteral("org.example.Edit"), QStringLiteral("Edit/2"), QString(),
            {-0.1, 1e21, 0.30000000000000004, 1e-7},
            PlacementDates::secondsSinceReferenceDate(created)};
        const QByteArray json = WindowPlacementRuleStore::encode({rule});
        QCOMPARE(json,
            QByteArray(
                "[{\"id\":\"00000000-0000-0000-0000-000000000001\",\"monitorSignature\":\"") +
                One.toUtf8() +
                "\",\"monitorDescription\":\"内蔵* 1440x900 @ (0, 0)\",\"appBundleIdentifier\":"
                "\"org.example.Edit\",\"appName\":\"Edit\\/"
                "2\",\"windowTitle\":\"\",\"targetFrame\":"
                "{\"x\":-0.1,\"y\":1e+21,\"width\":0.30000000000000004,\"height\":1e-07},"
                "\"createdAt\":818294400.25}]");
        QCOMPARE(WindowPlacementRuleStore::decode(json), QList<WindowPlacementRule> {rule});
    }

    void load_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QList<int>>("ids"); // oldest first
        QTest::addColumn<bool>("rewrite");
        QTest::addColumn<bool>("unreadable");

        const QString other = QStringLiteral("type:external;origin:-1920,0|") + One;
        QTest::newRow("oldest first, nothing to rewrite")
            << array({storedRule(1, One, QStringLiteral("a"), 30),
                   storedRule(2, other, QStringLiteral("a"), 10),
                   storedRule(3, One, QString(), 20)})
            << QList<int> {2, 3, 1} << false << false;
        QTest::newRow("duplicate: the later createdAt stays")
            << array({storedRule(1, One, QStringLiteral("a"), 10),
                   storedRule(2, One, QStringLiteral("a"), 20)})
            << QList<int> {2} << true << false;
        QTest::newRow("duplicate with an equal date: the first stored stays")
            << array({storedRule(1, One, QStringLiteral("a"), 10),
                   storedRule(2, One, QStringLiteral("a"), 10)})
            << QList<int> {1} << true << false;
        QTest::newRow("legacy signature normalised, then a duplicate")
            << array({storedRule(1, Legacy, QStringLiteral("a"), 20),
                   storedRule(2, One, QStringLiteral("a"), 10)})
            << QList<int> {1} << true << false;
        QTest::newRow("parts out of origin order")
            << array({storedRule(1, One + QStringLiteral("|type:external;origin:-1920,0"),
                   QStringLiteral("a"), 20)})
            << QList<int> {1} << true << false;
        QTest::newRow("not an array")
            << QByteArray("{\"rules\":[]}") << QList<int>() << false << true;
        QByteArray missing = storedRule(1, One, QStringLiteral("a"), 10);
        missing.replace(",\"createdAt\":10", "");
        QTest::newRow("a rule without createdAt")
            << array({storedRule(2, One, QStringLiteral("b"), 10), missing}) << QList<int>()
            << false << true;
        QTest::newRow("a bad identifier")
            << array({storedRule(2, One, QStringLiteral("b"), 10).replace("00000000-", "0000000-")})
            << QList<int>() << false << true;
    }

    void load()
    {
        QFETCH(QByteArray, stored);
        QFETCH(QList<int>, ids);
        QFETCH(bool, rewrite);
        QFETCH(bool, unreadable);

        MemoryDefaultsStore defaults;
        defaults.set(WindowPlacementRuleStore::rulesKey(), stored);
        WindowPlacementRuleStore store(defaults);
        const WindowPlacementRuleStore::Loaded loaded = store.load();
        QList<int> loadedIds;
        for (const WindowPlacementRule& rule : loaded.rules) {
            loadedIds.append(Uuid::toText(rule.id).right(12).toInt());
            QCOMPARE(stableMonitorSignature(rule.monitorSignature), rule.monitorSignature);
        }
        QCOMPARE(loadedIds, ids);
        QCOMPARE(loaded.needsRewrite, rewrite);
        QCOMPARE(loaded.keptUnreadable, unreadable);
        QCOMPARE(defaults.dataValue(WindowPlacementRuleStore::unreadableKey()),
            unreadable ? std::optional(stored) : std::nullopt);
        // The old bytes stay until the first save.
        QCOMPARE(defaults.dataValue(WindowPlacementRuleStore::rulesKey()), stored);
    }

    void registration()
    {
        const MonitorConfiguration first {One, QStringLiteral("one")};
        const MonitorConfiguration second {
            QStringLiteral("type:external;origin:0,0"), QStringLiteral("two")};
        const QDateTime t0 = QDateTime::fromSecsSinceEpoch(1'000'000'000, QTimeZone::utc());
        QList<WindowPlacementRule> rules;

        QCOMPARE(WindowPlacementRuleList::registerWindow(rules,
                     window(QStringLiteral("Edit"), QStringLiteral(" \u3000Draft\n")),
                     {10, 20, 300, 200}, first, t0),
            QStringLiteral("登録しました: Edit / Draft"));
        const WindowPlacementRule created = rules.at(0);
        QCOMPARE(created.windowTitle, QStringLiteral("Draft"));
        QCOMPARE(created.createdAt, 21'692'800.0); // 2001-09-09T01:46:40Z

        QCOMPARE(WindowPlacementRuleList::registerWindow(rules,
                     window(QStringLiteral("Editor"), QStringLiteral("Draft")),
                     {310, 220, -300, -200}, {One, QStringLiteral("one, renamed")}, t0.addDays(1)),
            QStringLiteral("既存登録を更新しました: Editor / Draft"));
        QCOMPARE(rules.size(), 1);
        WindowPlacementRule updated = created;
        updated.appName = QStringLiteral("Editor");
        updated.monitorDescription = QStringLiteral("one, renamed");
        updated.targetFrame = {10, 20, 300, 200};
        QCOMPARE(rules.at(0), updated);

        QCOMPARE(WindowPlacementRuleList::registerWindow(
                     rules, window(QStringLiteral("Edit"), QString()), {}, second, t0),
            QStringLiteral("登録しました: Edit / (無題)"));
        QCOMPARE(WindowPlacementRuleList::registerWindow(rules,
                     window(QStringLiteral("Edit"), QStringLiteral("Draft")), {}, second, t0),
            QStringLiteral("登録しました: Edit / Draft"));
        QCOMPARE(WindowPlacementRuleList::forMonitor(rules, One), QList {updated});

        QCOMPARE(WindowPlacementRuleList::remove(rules, uuid(9)), std::nullopt);
        QCOMPARE(WindowPlacementRuleList::remove(rules, created.id),
            std::optional(QStringLiteral("登録を削除しました")));
        QCOMPARE(rules.size(), 2);
    }

    void currentMonitorOrder()
    {
        QList<WindowPlacementRule> rules;
        const QStringList names {QStringLiteral("item 10/b"), QStringLiteral("Item 2/b"),
            QStringLiteral("other/x"), QStringLiteral("item 2/a"), QStringLiteral("item 10/a")};
        for (const QString& name : names) {
            const QStringList parts = name.split(QLatin1Char('/'));
            RunningWindowSnapshot snapshot = window(parts.at(0), parts.at(1));
            snapshot.appBundleIdentifier = name;
            WindowPlacementRuleList::registerWindow(rules, snapshot, {},
                {parts.at(0) == QStringLiteral("other") ? One + QLatin1Char('x') : One, {}},
                QDateTime::currentDateTimeUtc());
        }
        QStringList order;
        for (const WindowPlacementRule& rule : WindowPlacementRuleList::forMonitor(rules, One)) {
            order.append(rule.appName + QLatin1Char('/') + rule.windowTitle);
        }
        QCOMPARE(order,
            QStringList({QStringLiteral("item 2/a"), QStringLiteral("Item 2/b"),
                QStringLiteral("item 10/a"), QStringLiteral("item 10/b")}));
    }
};

NORVALE_TEST_CLASS(PlacementRulesTest)
#include "tst_placementrules.moc"
