// The Linux pasteboard against a real X server (run inside a private Xvfb by e2e_tst.sh).
// Foreign owners: xclip, the clipboard-owner helper (a Qt program offering several formats at
// once) and a bare xcb client that takes selections and never answers unless told to.
//
// "Exactly once" is proven with a barrier: after the expected count is reached, the bare client
// takes PRIMARY and the test waits until Qt reports that change. The X server sends XFixes
// notifications in order, so by then every notification the action caused has been handled.

#include "common/TestMain.h"
#include "platform/linux/LinuxPasteboard.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <future>
#include <memory>
#include <numeric>
#include <poll.h>
#include <xcb/xcb.h>
#include <xcb/xfixes.h>

using ByteArrays = QList<QByteArray>;
using Items = QList<QPair<QString, QByteArray>>;
using namespace std::chrono_literals;

namespace {

class RawXClient final
{
public:
    RawXClient()
        : m_connection(xcb_connect(nullptr, nullptr))
    {
        if (xcb_connection_has_error(m_connection) != 0) {
            return;
        }
        m_window = xcb_generate_id(m_connection);
        const std::uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, m_window,
            xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root, 0, 0, 1, 1, 0,
            XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &events);
        auto* version = xcb_xfixes_query_version_reply(
            m_connection, xcb_xfixes_query_version(m_connection, 1, 0), nullptr);
        std::free(version);
        m_xfixesFirstEvent = xcb_get_extension_data(m_connection, &xcb_xfixes_id)->first_event;
        xcb_xfixes_select_selection_input(m_connection, m_window, atom("CLIPBOARD"),
            XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER);
        // A round trip: the subscription is in force before the constructor returns.
        std::free(
            xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
    }
    ~RawXClient() { xcb_disconnect(m_connection); }
    RawXClient(const RawXClient&) = delete;
    RawXClient& operator=(const RawXClient&) = delete;

    xcb_atom_t atom(const char* name)
    {
        auto* reply = xcb_intern_atom_reply(m_connection,
            xcb_intern_atom(m_connection, 0, std::uint16_t(std::strlen(name)), name), nullptr);
        const xcb_atom_t result = reply != nullptr ? reply->atom : XCB_NONE;
        std::free(reply);
        return result;
    }

    // The server's time now, the ICCCM way: a zero-length append to a property of our window
    // and the time of the PropertyNotify it causes.
    xcb_timestamp_t serverTime()
    {
        xcb_change_property(m_connection, XCB_PROP_MODE_APPEND, m_window, XCB_ATOM_WM_NAME,
            XCB_ATOM_STRING, 8, 0, nullptr);
        xcb_flush(m_connection);
        xcb_timestamp_t time = XCB_CURRENT_TIME;
        awaitEvent([&](const xcb_generic_event_t* event) {
            if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY) {
                return false;
            }
            time = reinterpret_cast<const xcb_property_notify_event_t*>(event)->time;
            return true;
        });
        return time;
    }

    // The time of the next CLIPBOARD owner change made by another client (the time the
    // server stored for that owner).
    xcb_timestamp_t nextForeignClipboardTime()
    {
        xcb_timestamp_t time = XCB_CURRENT_TIME;
        awaitEvent([&](const xcb_generic_event_t* event) {
            if (event->response_type != m_xfixesFirstEvent + XCB_XFIXES_SELECTION_NOTIFY) {
                return false;
            }
            const auto* notify =
                reinterpret_cast<const xcb_xfixes_selection_notify_event_t*>(event);
            time = notify->selection_timestamp;
            return notify->owner != m_window;
        });
        return time;
    }

    // Takes the selection at the given time (XCB_CURRENT_TIME: the server's) and checks with
    // the server that it did.
    bool own(const char* selection, xcb_timestamp_t time)
    {
        const xcb_atom_t name = atom(selection);
        xcb_set_selection_owner(m_connection, m_window, name, time);
        auto* reply = xcb_get_selection_owner_reply(
            m_connection, xcb_get_selection_owner(m_connection, name), nullptr);
        const bool owns = m_window != XCB_NONE && reply != nullptr && reply->owner == m_window;
        std::free(reply);
        return owns;
    }
    bool own(const char* selection) { return own(selection, serverTime()); }

    // Answers the first selection request with the start of an INCR transfer that never goes
    // on (an owner that stalls in the middle of a large transfer), or with a refusal.
    bool answerFirstRequest(bool stalledIncr, int milliseconds)
    {
        return waitForEvent(
            [&](const xcb_generic_event_t* event) {
                if ((event->response_type & 0x7f) != XCB_SELECTION_REQUEST) {
                    return false;
                }
                const auto* request = reinterpret_cast<const xcb_selection_request_event_t*>(event);
                xcb_atom_t property = XCB_NONE;
                if (stalledIncr) {
                    const std::uint32_t size = 50u * 1024u * 1024u;
                    property = request->property;
                    xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, request->requestor,
                        property, atom("INCR"), 32, 1, &size);
                }
                const xcb_selection_notify_event_t notify {XCB_SELECTION_NOTIFY, 0, 0,
                    request->time, request->requestor, request->selection, request->target,
                    property};
                xcb_send_event(m_connection, 0, request->requestor, XCB_EVENT_MASK_NO_EVENT,
                    reinterpret_cast<const char*>(&notify));
                xcb_flush(m_connection);
                return true;
            },
            milliseconds);
    }

private:
    template<typename Predicate>
    bool waitForEvent(Predicate wanted, int milliseconds = 10000)
    {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < milliseconds) {
            std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> event(
                xcb_poll_for_event(m_connection), &std::free);
            if (event == nullptr) {
                pollfd descriptor {xcb_get_file_descriptor(m_connection), POLLIN, 0};
                ::poll(&descriptor, 1, 20);
            } else if (wanted(event.get())) {
                return true;
            }
        }
        return false;
    }

    template<typename Predicate>
    void awaitEvent(Predicate wanted)
    {
        if (!waitForEvent(wanted)) {
            qFatal("the X server never sent the event the test waits for");
        }
    }

    xcb_connection_t* m_connection;
    xcb_window_t m_window = XCB_NONE;
    std::uint8_t m_xfixesFirstEvent = 0;
};

// Runs a read on a worker thread while the main loop keeps turning (Qt answers requests for
// our own selection there); reports the longest gap between two turns of the main loop.
template<typename Function>
auto onWorker(Function function, qint64* longestGapMs = nullptr)
{
    auto future = std::async(std::launch::async, std::move(function));
    QElapsedTimer gap;
    gap.start();
    qint64 longest = 0;
    while (future.wait_for(1ms) != std::future_status::ready) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        longest = std::max(longest, gap.restart());
    }
    if (longestGapMs != nullptr) {
        *longestGapMs = longest;
    }
    return future.get();
}

QByteArray someBytes(int size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& byte : bytes) {
        seed = seed * 1664525u + 1013904223u;
        byte = char(seed >> 24);
    }
    return bytes;
}

// The pasteboard passes image bytes through undecoded, so any bytes serve. 18 MB (a 20 MP
// photo as PNG) are far beyond what one X request carries: every owner sends them with INCR.
const QByteArray& largePng()
{
    static const QByteArray bytes = someBytes(18 << 20, 12345);
    return bytes;
}

} // namespace

class LinuxPasteboardTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        // Not skipped here: a skip in initTestCase would also skip the next class of this
        // executable (QtTest keeps that state across qExec calls).
        if (QGuiApplication::platformName() != QLatin1String("xcb")) {
            return;
        }
        m_pasteboard = std::make_unique<LinuxPasteboard>();
        QVERIFY(m_pasteboard->canReadContents());
        m_barrierClient = std::make_unique<RawXClient>();
        QVERIFY(m_folder.isValid());
        connect(
            QGuiApplication::clipboard(), &QClipboard::changed, this, [this](QClipboard::Mode m) {
                m_selectionChanges += m == QClipboard::Selection ? 1 : 0;
            });
        connect(m_pasteboard.get(), &Pasteboard::changed, this,
            [this] { m_notifiedCounts.append(m_pasteboard->changeCount()); });
    }

    void init()
    {
        if (!m_pasteboard) {
            QSKIP("needs an X display (run by e2e_tst.sh)");
        }
        barrier();
        m_notifiedCounts = {m_pasteboard->changeCount()};
    }

    void cleanup()
    {
        if (!m_pasteboard) {
            return;
        }
        for (QProcess* helper : std::as_const(m_helpers)) {
            helper->kill();
            helper->waitForFinished(5000);
        }
        qDeleteAll(m_helpers);
        m_helpers.clear();
        // Taking the selection ourselves means a helper's late exit cannot move the next count.
        m_pasteboard->clear();
        barrier();
        // Every change counted in the test was notified once, after the count moved.
        QList<qint64> expected(m_pasteboard->changeCount() - m_notifiedCounts.first() + 1);
        std::iota(expected.begin(), expected.end(), m_notifiedCounts.first());
        QCOMPARE(m_notifiedCounts, expected);
    }

    void changeCountMovesOncePerForeignChange_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("expectedChanges");
        QTest::newRow("an owner offers several formats") << "owner" << 1;
        QTest::newRow("the same window takes the selection twice") << "same-window-twice" << 2;
        QTest::newRow("PRIMARY is not counted") << "primary" << 0;
    }

    void changeCountMovesOncePerForeignChange()
    {
        QFETCH(QString, action);
        QFETCH(int, expectedChanges);
        RawXClient sameWindow;
        const qint64 before = m_pasteboard->changeCount();
        if (action == QLatin1String("owner")) {
            startOwner(QStringLiteral("qt"),
                {{PasteboardType::string, "a"}, {PasteboardType::png, someBytes(70, 1)}});
        } else if (action == QLatin1String("same-window-twice")) {
            QVERIFY(sameWindow.own("CLIPBOARD"));
            QVERIFY(waitForCount(before + 1));
            QVERIFY(sameWindow.own("CLIPBOARD"));
        } else {
            const int selectionBefore = m_selectionChanges;
            m_helpers.append(new QProcess);
            m_helpers.last()->start(QStringLiteral("xclip"),
                {QStringLiteral("-quiet"), QStringLiteral("-selection"), QStringLiteral("primary"),
                    QStringLiteral("-i"), writeFile("primary")});
            QTRY_VERIFY(m_selectionChanges > selectionBefore);
        }
        QVERIFY(waitForCount(before + expectedChanges));
        barrier();
        QCOMPARE(m_pasteboard->changeCount(), before + expectedChanges);
    }

    void ownWriteTakesTheSelectionAndCountsOnce_data()
    {
        QTest::addColumn<Items>("items");
        QTest::newRow("text, a large PNG, TIFF and a custom type")
            << Items {{PasteboardType::string, QStringLiteral("貼り付け ✓ text").toUtf8()},
                   {PasteboardType::png, largePng()}, {PasteboardType::tiff, someBytes(3000, 7)},
                   {QStringLiteral("application/x-norvale-test"), someBytes(100, 9)}};
        // Qt's QClipboard::clear() does nothing while another client owns the selection.
        QTest::newRow("clear") << Items {};
    }

    void ownWriteTakesTheSelectionAndCountsOnce()
    {
        QFETCH(Items, items);
        const qint64 start = m_pasteboard->changeCount();
        startOwner(QStringLiteral("xclip"), {{"UTF8_STRING", "foreign"}});
        QVERIFY(waitForCount(start + 1));
        barrier();

        const qint64 before = m_pasteboard->changeCount();
        if (items.isEmpty()) {
            m_pasteboard->clear();
        } else {
            m_pasteboard->write(items);
        }
        // Counted inside the call: the history model reads the count right after its own write.
        QCOMPARE(m_pasteboard->changeCount(), before + 1);

        // The main thread blocks without serving its event loop, as while it waits for
        // background work at shutdown: reading our own write back must not depend on it.
        auto reads = std::async(std::launch::async, [this, items] {
            QStringList types;
            for (const auto& [type, bytes] : items) {
                types << (m_pasteboard->data(type) == std::optional<QByteArray>(bytes) ? type
                                                                                       : QString());
            }
            return std::make_pair(m_pasteboard->types(), types);
        });
        QCOMPARE(reads.wait_for(1s), std::future_status::ready);
        const auto [types, readBack] = reads.get();
        QCOMPARE(types, readBack);
        QCOMPARE(types.size(), items.size());

        const QList<QByteArray> targets = xclipOutput(QStringLiteral("TARGETS")).split('\n');
        QCOMPARE(targets.contains("UTF8_STRING"), !items.isEmpty());
        QCOMPARE(targets.contains("STRING"), !items.isEmpty());
        for (const auto& [type, bytes] : std::as_const(items)) {
            const bool text = type == PasteboardType::string;
            QVERIFY(xclipOutput(text ? QStringLiteral("UTF8_STRING") : type) == bytes);
        }
        if (items.isEmpty()) {
            QCOMPARE(xclipOutput(QStringLiteral("UTF8_STRING")), QByteArray());
        }
        // Neither our own change nor serving other clients counts again.
        barrier();
        QCOMPARE(m_pasteboard->changeCount(), before + 1);

        // Another pasteboard of the process shares the count; a write over our own counts once.
        LinuxPasteboard other;
        other.write({{PasteboardType::string, "again"}});
        QCOMPARE(m_pasteboard->changeCount(), before + 2);
        barrier();
        QCOMPARE(other.changeCount(), before + 2);
    }

    // What a worker reads of a foreign owner's copy, byte for byte, while the main loop goes on.
    void readsEveryOfferedFormat_data()
    {
        QTest::addColumn<QString>("owner");
        QTest::addColumn<Items>("offered");
        QTest::addColumn<Items>("expected");
        const QString mixed = QStringLiteral("コピー ✓ 😀\n次の行\tタブ ");
        const Items png {{PasteboardType::png, largePng()}};
        QTest::newRow("xclip, UTF8_STRING") << "xclip" << Items {{"UTF8_STRING", mixed.toUtf8()}}
                                            << Items {{PasteboardType::string, mixed.toUtf8()}};
        QTest::newRow("xclip, STRING is Latin-1")
            << "xclip" << Items {{"STRING", "caf\xe9"}} << Items {{PasteboardType::string, "café"}};
        QTest::newRow("xclip, text/plain;charset=utf-8")
            << "xclip" << Items {{"text/plain;charset=utf-8", "ü"}}
            << Items {{PasteboardType::string, "ü"}};
        QTest::newRow("xclip, a large PNG over INCR") << "xclip" << png << png;
        const Items spreadsheet {{PasteboardType::string, "A1\tB1\nA2\tB2"},
            {PasteboardType::tabularText, "A1\tB1\nA2\tB2"},
            {QStringLiteral("application/vnd.oasis.opendocument.spreadsheet"), someBytes(5000, 3)},
            {QStringLiteral("com.microsoft.appbundleid"), "com.microsoft.Excel"}};
        QTest::newRow("a Qt application, a spreadsheet copy") << "qt" << spreadsheet << spreadsheet;
    }

    void readsEveryOfferedFormat()
    {
        QFETCH(QString, owner);
        QFETCH(Items, offered);
        QFETCH(Items, expected);
        const qint64 before = m_pasteboard->changeCount();
        startOwner(owner, offered);
        QVERIFY(waitForCount(before + 1));

        QStringList types;
        for (const auto& [type, bytes] : std::as_const(expected)) {
            types << type;
        }
        QCOMPARE(onWorker([this] { return m_pasteboard->types(); }), types);
        for (const auto& [type, bytes] : std::as_const(expected)) {
            const QString name = type;
            qint64 longestGap = 0;
            const auto read =
                onWorker([this, name] { return m_pasteboard->data(name); }, &longestGap);
            QCOMPARE(read.value_or("<none>").size(), bytes.size());
            QVERIFY(*read == bytes);
            QVERIFY2(longestGap < 250, "the main thread stalled while the worker read");
            if (!type.startsWith(QLatin1String("image/"))) {
                QCOMPARE(onWorker([this, name] { return m_pasteboard->string(name); }),
                    std::optional<QString>(QString::fromUtf8(bytes)));
            }
        }
        // xclip answers any target with its one content: only offered targets may be asked.
        QCOMPARE(onWorker([this] { return m_pasteboard->data(QStringLiteral("image/bmp")); }),
            std::nullopt);
    }

    // A widget of this process copied through QClipboard: Qt's main loop answers the worker.
    void readsWhatThisProcessCopiedOverIncr()
    {
        const qint64 before = m_pasteboard->changeCount();
        auto* mime = new QMimeData;
        mime->setData(PasteboardType::string, "widget copy");
        mime->setData(PasteboardType::png, largePng());
        QGuiApplication::clipboard()->setMimeData(mime);
        QCOMPARE(m_pasteboard->changeCount(), before + 1);
        const QStringList types = onWorker([this] { return m_pasteboard->types(); });
        QCOMPARE(types.count(PasteboardType::string), 1);
        QVERIFY(types.contains(PasteboardType::png));
        QCOMPARE(onWorker([this] { return m_pasteboard->string(PasteboardType::string); }),
            std::optional<QString>(QStringLiteral("widget copy")));
        QVERIFY(onWorker([this] { return m_pasteboard->data(PasteboardType::png); }) == largePng());
    }

    void readsNothingOnceTheOwnerExits()
    {
        const qint64 before = m_pasteboard->changeCount();
        QProcess* xclip = startOwner(QStringLiteral("xclip"), {{"UTF8_STRING", "short-lived"}});
        QVERIFY(waitForCount(before + 1));
        xclip->kill();
        QVERIFY(waitForCount(before + 2));
        barrier();
        QCOMPARE(m_pasteboard->changeCount(), before + 2);

        QElapsedTimer timer;
        timer.start();
        QCOMPARE(onWorker([this] { return m_pasteboard->types(); }), QStringList());
        QCOMPARE(onWorker([this] { return m_pasteboard->string(PasteboardType::string); }),
            std::nullopt);
        QVERIFY2(timer.elapsed() < 1000, "reads without an owner must not wait");
    }

    void ownerThatDoesNotAnswerTimesOutOnce_data()
    {
        QTest::addColumn<bool>("stallInIncr");
        QTest::newRow("never answers") << false;
        QTest::newRow("stalls in an INCR transfer") << true;
    }

    void ownerThatDoesNotAnswerTimesOutOnce()
    {
        QFETCH(bool, stallInIncr);
        RawXClient silent;
        const qint64 before = m_pasteboard->changeCount();
        QVERIFY(silent.own("CLIPBOARD"));
        QVERIFY(waitForCount(before + 1));
        std::future<bool> answer;
        if (stallInIncr) {
            answer = std::async(
                std::launch::async, [&silent] { return silent.answerFirstRequest(true, 10000); });
        }

        QElapsedTimer timer;
        timer.start();
        QCOMPARE(onWorker([this] { return m_pasteboard->types(); }), QStringList());
        const qint64 first = timer.restart();
        QVERIFY(!stallInIncr || answer.get());
        QVERIFY2(first >= 1000 && first < 5000, qPrintable(QString::number(first)));
        // The same owner with the same contents is not asked again.
        QCOMPARE(onWorker([this] { return m_pasteboard->string(PasteboardType::string); }),
            std::nullopt);
        QCOMPARE(
            onWorker([this] { return m_pasteboard->data(PasteboardType::png); }), std::nullopt);
        QVERIFY2(timer.elapsed() < 500, qPrintable(QString::number(timer.elapsed())));

        // A working owner afterwards is read normally.
        const qint64 now = m_pasteboard->changeCount();
        startOwner(QStringLiteral("xclip"), {{"UTF8_STRING", "recovered"}});
        QVERIFY(waitForCount(now + 1));
        QCOMPARE(onWorker([this] { return m_pasteboard->string(PasteboardType::string); }),
            std::optional<QString>(QStringLiteral("recovered")));
    }

    // Another client may take the selection with any time the server accepts, even the very
    // time of our own last write: the change and that owner's exit count once each, and our
    // own copy is no longer what reads answer.
    void foreignOwnerCountsWhateverItsTime_data()
    {
        QTest::addColumn<QString>("time");
        QTest::newRow("CurrentTime") << "current";
        QTest::newRow("a server timestamp") << "server";
        QTest::newRow("the time of our own last write") << "ours";
    }

    void foreignOwnerCountsWhateverItsTime()
    {
        QFETCH(QString, time);
        auto foreign = std::make_unique<RawXClient>();
        const qint64 before = m_pasteboard->changeCount();
        m_pasteboard->write({{PasteboardType::string, "ours"}});
        const xcb_timestamp_t ours = foreign->nextForeignClipboardTime();
        xcb_timestamp_t stamp = ours;
        if (time == QLatin1String("current")) {
            stamp = XCB_CURRENT_TIME;
        } else if (time == QLatin1String("server")) {
            stamp = foreign->serverTime();
        }
        QVERIFY(foreign->own("CLIPBOARD", stamp));
        QVERIFY(waitForCount(before + 2));
        auto refusal = std::async(
            std::launch::async, [&foreign] { return foreign->answerFirstRequest(false, 10000); });
        QCOMPARE(onWorker([this] { return m_pasteboard->types(); }), QStringList());
        QVERIFY(refusal.get());
        foreign.reset();
        QVERIFY(waitForCount(before + 3));
        barrier();
        QCOMPARE(m_pasteboard->changeCount(), before + 3);
    }

    // A trickling owner must neither freeze the main thread (it counts changes and answers
    // the command line) nor keep the worker from the next copy for long.
    void slowOwnerNeverBlocksTheMainThread_data()
    {
        QTest::addColumn<bool>("anotherCopy");
        QTest::newRow("another program copies meanwhile") << true;
        QTest::newRow("nobody copies: the whole read gives up after 10 s") << false;
    }

    void slowOwnerNeverBlocksTheMainThread()
    {
        QFETCH(bool, anotherCopy);
        const qint64 before = m_pasteboard->changeCount();
        QProcess slow;
        slow.start(qEnvironmentVariable("E2E_SLOW_CLIPBOARD_OWNER"),
            {QStringLiteral("30"), QStringLiteral("1900")});
        QVERIFY(waitForCount(before + 1));
        QString said;
        const auto hasSaid = [&](const QString& line) {
            said += QString::fromUtf8(slow.readAllStandardOutput());
            return said.split(QLatin1Char('\n')).contains(line);
        };

        QElapsedTimer timer;
        timer.start();
        auto read = std::async(
            std::launch::async, [this] { return m_pasteboard->string(PasteboardType::string); });
        QVERIFY(QTest::qWaitFor([&] { return hasSaid(QStringLiteral("chunk 1")); }, 5000));
        if (anotherCopy) {
            startOwner(QStringLiteral("xclip"), {{"UTF8_STRING", "the next copy"}});
            timer.restart();
        }
        QElapsedTimer gap;
        gap.start();
        qint64 longestGap = 0;
        while (read.wait_for(10ms) != std::future_status::ready && timer.elapsed() < 20000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            longestGap = std::max(longestGap, gap.restart());
        }
        QVERIFY2(longestGap <= 100, qPrintable(QString::number(longestGap)));
        QCOMPARE(read.get(), std::nullopt);
        const qint64 elapsed = timer.elapsed();
        if (anotherCopy) {
            QVERIFY2(elapsed < 2000, qPrintable(QString::number(elapsed)));
            QVERIFY(waitForCount(before + 2));
            QCOMPARE(onWorker([this] { return m_pasteboard->string(PasteboardType::string); }),
                std::optional<QString>(QStringLiteral("the next copy")));
        } else {
            QVERIFY2(elapsed >= 9500 && elapsed < 12000, qPrintable(QString::number(elapsed)));
            m_pasteboard->clear();
        }
        QVERIFY(slow.waitForFinished(5000));
        QVERIFY(hasSaid(QStringLiteral("lost")));
    }

private:
    // owner: "xclip" (the one item's type is its target) or "qt" (clipboard-owner).
    QProcess* startOwner(const QString& owner, const Items& items)
    {
        QString program = QStringLiteral("xclip");
        QStringList arguments {QStringLiteral("-quiet"), QStringLiteral("-selection"),
            QStringLiteral("clipboard"), QStringLiteral("-t"), items.first().first,
            QStringLiteral("-i"), writeFile(items.first().second)};
        if (owner == QLatin1String("qt")) {
            program = qEnvironmentVariable("E2E_CLIPBOARD_OWNER");
            arguments.clear();
            for (const auto& [type, bytes] : items) {
                arguments << QStringLiteral("--type") << type << QStringLiteral("--file")
                          << writeFile(bytes);
            }
        }
        m_helpers.append(new QProcess);
        m_helpers.last()->start(program, arguments);
        return m_helpers.last();
    }

    QString writeFile(const QByteArray& bytes)
    {
        const QString path = m_folder.filePath(QString::number(++m_fileNumber));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
            qFatal("cannot write %s", qPrintable(path));
        }
        return path;
    }

    bool waitForCount(qint64 expected)
    {
        return QTest::qWaitFor([&] { return m_pasteboard->changeCount() >= expected; }, 10000);
    }

    void barrier()
    {
        const int before = m_selectionChanges;
        if (!m_barrierClient->own("PRIMARY") ||
            !QTest::qWaitFor([&] { return m_selectionChanges != before; }, 10000)) {
            qFatal("Qt never reported the barrier's PRIMARY change");
        }
    }

    // xclip -o, run while the main loop keeps serving our selection.
    QByteArray xclipOutput(const QString& target)
    {
        QProcess process;
        process.start(QStringLiteral("xclip"),
            {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-o"),
                QStringLiteral("-t"), target});
        if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 10000)) {
            return "<xclip hung>";
        }
        return process.exitCode() == 0 ? process.readAllStandardOutput() : QByteArray("<refused>");
    }

    std::unique_ptr<LinuxPasteboard> m_pasteboard;
    std::unique_ptr<RawXClient> m_barrierClient;
    QTemporaryDir m_folder;
    QList<QProcess*> m_helpers;
    int m_selectionChanges = 0;
    QList<qint64> m_notifiedCounts; // the count when init() ran, then at each notification
    int m_fileNumber = 0;
};

// The pure parts (target mapping, text decoding) and, without an X display, a count that follows
// QClipboard while reads give nothing: run by the plain, offscreen tst_e2e.
class LinuxPasteboardOffscreenTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void typesForTargets_data()
    {
        QTest::addColumn<ByteArrays>("targets");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("text reported once, where the first text target stands")
            << ByteArrays {"image/png", "STRING", "text/tab-separated-values", "UTF8_STRING",
                   "text/plain;charset=UTF-8", "COMPOUND_TEXT", "TEXT"}
            << QStringList {QStringLiteral("image/png"), QStringLiteral("text/plain"),
                   QStringLiteral("text/tab-separated-values")};
        QTest::newRow("protocol targets only")
            << ByteArrays {"TARGETS", "MULTIPLE", "TIMESTAMP", "SAVE_TARGETS", "DELETE"}
            << QStringList {};
        QTest::newRow("a repeated target once, names kept as offered")
            << ByteArrays {"Biff8", "XML Spreadsheet", "Biff8", "text/html"}
            << QStringList {QStringLiteral("Biff8"), QStringLiteral("XML Spreadsheet"),
                   QStringLiteral("text/html")};
    }

    void typesForTargets()
    {
        QFETCH(ByteArrays, targets);
        QFETCH(QStringList, expected);
        QCOMPARE(LinuxPasteboard::typesForTargets(targets), expected);
    }

    void decodeCompoundText_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<std::optional<QString>>("expected");
        QTest::newRow("ASCII") << QByteArray("plain ascii")
                               << std::optional<QString>(QStringLiteral("plain ascii"));
        QTest::newRow("an escape sequence")
            << QByteArray("\x1b$)B\xa4\xa2") << std::optional<QString>();
    }

    void decodeCompoundText()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(std::optional<QString>, expected);
        QCOMPARE(LinuxPasteboard::decodeText("COMPOUND_TEXT", bytes), expected);
    }

    void withoutDisplayCountsChangesAndReadsNothing()
    {
        if (QGuiApplication::platformName() == QLatin1String("xcb")) {
            QSKIP("runs without an X display");
        }
        LinuxPasteboard pasteboard;
        QSignalSpy notifications(&pasteboard, &Pasteboard::changed);
        QVERIFY(!pasteboard.canReadContents());
        const qint64 start = pasteboard.changeCount();
        pasteboard.write({{PasteboardType::string, "text"}, {PasteboardType::png, "png"}});
        QCOMPARE(pasteboard.changeCount(), start + 1);
        pasteboard.clear();
        QCOMPARE(pasteboard.changeCount(), start + 2);
        // Another part of the process copying counts as well; PRIMARY does not.
        QGuiApplication::clipboard()->setText(QStringLiteral("widget"));
        QCOMPARE(pasteboard.changeCount(), start + 3);
        QGuiApplication::clipboard()->setText(QStringLiteral("primary"), QClipboard::Selection);
        QCOMPARE(pasteboard.changeCount(), start + 3);
        QCOMPARE(notifications.size(), 3);
        QCOMPARE(pasteboard.types(), QStringList());
        QCOMPARE(pasteboard.string(PasteboardType::string), std::nullopt);
        QCOMPARE(pasteboard.data(PasteboardType::string), std::nullopt);
    }
};

NORVALE_TEST_CLASS(LinuxPasteboardTest)
NORVALE_TEST_CLASS(LinuxPasteboardOffscreenTest)
#include "tst_linuxpasteboard.moc"
