// The Linux pasteboard against a real X server. e2e_linux_pasteboard.sh runs this class inside
// a private Xvfb; foreign owners are xclip, the clipboard-owner helper (a Qt program offering
// several formats at once) and a bare xcb client of the test's own that takes selections
// without ever answering.
//
// "Exactly once" is proven with a barrier: after the expected count is reached, a bare client
// takes PRIMARY and the test waits until Qt reports that change. The X server sends the
// XFixes notifications in order, so once Qt has handled the barrier, every notification the
// action caused has been handled too and a second count would have shown.

#include "common/TestMain.h"
#include "platform/linux/LinuxPasteboard.h"

#include <QBuffer>
#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QMimeData>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <future>
#include <poll.h>
#include <xcb/xcb.h>

using Items = QList<QPair<QString, QByteArray>>;
using namespace std::chrono_literals;

namespace {

// A bare X client: takes selections and never answers requests unless told to.
class RawXClient final
{
public:
    RawXClient()
        : m_connection(xcb_connect(nullptr, nullptr))
    {
        if (xcb_connection_has_error(m_connection) != 0) {
            return;
        }
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
        m_window = xcb_generate_id(m_connection);
        xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, m_window, screen->root, 0, 0, 1, 1, 0,
            XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
        xcb_flush(m_connection);
    }
    ~RawXClient() { xcb_disconnect(m_connection); }
    RawXClient(const RawXClient&) = delete;
    RawXClient& operator=(const RawXClient&) = delete;

    bool isValid() const { return m_window != XCB_NONE; }

    xcb_atom_t atom(const char* name)
    {
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(m_connection,
            xcb_intern_atom(m_connection, 0, std::uint16_t(std::strlen(name)), name), nullptr);
        const xcb_atom_t result = reply != nullptr ? reply->atom : XCB_NONE;
        std::free(reply);
        return result;
    }

    // Takes the selection; returns once the server has done it.
    bool own(const char* selection)
    {
        const xcb_atom_t name = atom(selection);
        xcb_set_selection_owner(m_connection, m_window, name, XCB_CURRENT_TIME);
        xcb_get_selection_owner_reply_t* reply = xcb_get_selection_owner_reply(
            m_connection, xcb_get_selection_owner(m_connection, name), nullptr);
        const bool owns = reply != nullptr && reply->owner == m_window;
        std::free(reply);
        return owns;
    }

    // Waits for one selection request and answers it with the start of an INCR transfer that
    // never continues: an owner that stalls in the middle of a large transfer.
    bool answerWithStalledIncr(int milliseconds)
    {
        const xcb_atom_t incr = atom("INCR");
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < milliseconds) {
            xcb_generic_event_t* event = xcb_poll_for_event(m_connection);
            if (event == nullptr) {
                pollfd descriptor {xcb_get_file_descriptor(m_connection), POLLIN, 0};
                ::poll(&descriptor, 1, 20);
                continue;
            }
            if ((event->response_type & 0x7f) != XCB_SELECTION_REQUEST) {
                std::free(event);
                continue;
            }
            const auto* request = reinterpret_cast<xcb_selection_request_event_t*>(event);
            const std::uint32_t size = 50u * 1024u * 1024u;
            xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, request->requestor,
                request->property, incr, 32, 1, &size);
            xcb_selection_notify_event_t notify {};
            notify.response_type = XCB_SELECTION_NOTIFY;
            notify.time = request->time;
            notify.requestor = request->requestor;
            notify.selection = request->selection;
            notify.target = request->target;
            notify.property = request->property;
            xcb_send_event(m_connection, 0, request->requestor, XCB_EVENT_MASK_NO_EVENT,
                reinterpret_cast<const char*>(&notify));
            xcb_flush(m_connection);
            std::free(event);
            return true;
        }
        return false;
    }

private:
    xcb_connection_t* m_connection;
    xcb_window_t m_window = XCB_NONE;
};

// Runs a read on a worker thread while the main thread keeps serving its event loop (Qt
// answers requests for our own selection there); reports the longest gap between two turns
// of the main loop.
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

// A 20-megapixel image (5472 x 3648) as PNG: a gradient with noise in the low bits, about
// 18 MB, far beyond what one X request carries, so every owner sends it with INCR.
const QByteArray& largePng()
{
    static const QByteArray bytes = [] {
        QImage image(5472, 3648, QImage::Format_RGB32);
        quint32 state = 12345;
        for (int y = 0; y < image.height(); ++y) {
            auto* line = reinterpret_cast<quint32*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                state ^= state << 13;
                state ^= state >> 17;
                state ^= state << 5;
                line[x] = 0xff000000u | (quint32(x & 0xff) << 16) | (quint32(y & 0xff) << 8) |
                    (state & 0x0f);
            }
        }
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "png");
        writer.setQuality(50);
        writer.write(image);
        return buffer.data();
    }();
    return bytes;
}

QByteArray smallPng()
{
    QImage image(3, 2, QImage::Format_ARGB32);
    image.fill(QColor(10, 20, 30, 40));
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return buffer.data();
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

} // namespace

class LinuxPasteboardTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void changeCountMovesOncePerForeignChange_data();
    void changeCountMovesOncePerForeignChange();
    void ownWriteCountsOnceBeforeItReturns_data();
    void ownWriteCountsOnceBeforeItReturns();
    void everyPasteboardSharesTheProcessCount();
    void clearTakesTheSelectionFromAForeignOwner();
    void writeOffersAllTypesInOneChange();

    void readsTextFromXclip_data();
    void readsTextFromXclip();
    void readsEveryFormatOfOneOwner_data();
    void readsEveryFormatOfOneOwner();
    void readsLargeImageOverIncr_data();
    void readsLargeImageOverIncr();
    void readsNothingWhenTheOwnerExits();
    void ownerThatNeverAnswersTimesOut();
    void ownerThatStallsInIncrTimesOut();
    void readsOwnWriteWhileTheMainThreadWaits_data();
    void readsOwnWriteWhileTheMainThreadWaits();
    void readsContentsOtherCodeOfTheProcessPutOnTheClipboard();

private:
    QProcess* startHelper(const QString& program, const QStringList& arguments);
    QProcess* startXclip(const QStringList& arguments, const QByteArray& input);
    QProcess* startOwner(const Items& items);
    QString writeFile(const QString& name, const QByteArray& bytes);
    bool waitForReady(QProcess* helper);
    bool waitForCount(qint64 expected);
    void barrier();
    QByteArray xclipOutput(const QString& target);

    std::unique_ptr<LinuxPasteboard> m_pasteboard;
    std::unique_ptr<RawXClient> m_barrierClient;
    std::unique_ptr<QTemporaryDir> m_folder;
    QList<QProcess*> m_helpers;
    int m_selectionChanges = 0;
    int m_fileNumber = 0;
};

void LinuxPasteboardTest::initTestCase()
{
    // Not skipped here: a skip in initTestCase would also skip the next class of this
    // executable (QtTest keeps that state across qExec calls).
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        return;
    }
    m_pasteboard = std::make_unique<LinuxPasteboard>();
    QVERIFY(m_pasteboard->canReadContents());
    m_barrierClient = std::make_unique<RawXClient>();
    QVERIFY(m_barrierClient->isValid());
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(m_folder->isValid());
    QVERIFY(!qEnvironmentVariableIsEmpty("E2E_CLIPBOARD_OWNER"));
    connect(QGuiApplication::clipboard(), &QClipboard::changed, this, [this](QClipboard::Mode m) {
        if (m == QClipboard::Selection) {
            ++m_selectionChanges;
        }
    });
}

void LinuxPasteboardTest::init()
{
    if (!m_pasteboard) {
        QSKIP("needs an X display (run by e2e_linux_pasteboard.sh)");
    }
    barrier();
}

void LinuxPasteboardTest::cleanup()
{
    if (!m_pasteboard) {
        return;
    }
    for (QProcess* helper : std::as_const(m_helpers)) {
        helper->kill();
        helper->waitForFinished(5000);
        delete helper;
    }
    m_helpers.clear();
    // Taking the selection ourselves means a helper's late exit can no longer move the count
    // during the next test.
    m_pasteboard->clear();
    barrier();
}

QProcess* LinuxPasteboardTest::startHelper(const QString& program, const QStringList& arguments)
{
    auto* process = new QProcess;
    m_helpers.append(process);
    process->start(program, arguments);
    return process;
}

QProcess* LinuxPasteboardTest::startXclip(const QStringList& arguments, const QByteArray& input)
{
    return startHelper(QStringLiteral("xclip"),
        QStringList {QStringLiteral("-quiet"), QStringLiteral("-i"),
            writeFile(QStringLiteral("xclip"), input)} +
            arguments);
}

QProcess* LinuxPasteboardTest::startOwner(const Items& items)
{
    QStringList arguments;
    for (const auto& [type, bytes] : items) {
        arguments << QStringLiteral("--type") << type << QStringLiteral("--file")
                  << writeFile(QStringLiteral("owner"), bytes);
    }
    QProcess* owner = startHelper(qEnvironmentVariable("E2E_CLIPBOARD_OWNER"), arguments);
    return owner;
}

QString LinuxPasteboardTest::writeFile(const QString& name, const QByteArray& bytes)
{
    const QString path = m_folder->filePath(name + QString::number(++m_fileNumber));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        qFatal("cannot write %s", qPrintable(path));
    }
    return path;
}

// The helper printed its "ready" line (it owns the selection now).
bool LinuxPasteboardTest::waitForReady(QProcess* helper)
{
    QElapsedTimer timer;
    timer.start();
    QByteArray output;
    while (!output.contains("ready\n") && helper->state() != QProcess::NotRunning &&
        timer.elapsed() < 20000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        output += helper->readAllStandardOutput();
    }
    output += helper->readAllStandardOutput();
    if (!output.contains("ready\n")) {
        qWarning("helper not ready: %s", helper->readAllStandardError().constData());
    }
    return output.contains("ready\n");
}

bool LinuxPasteboardTest::waitForCount(qint64 expected)
{
    QElapsedTimer timer;
    timer.start();
    while (m_pasteboard->changeCount() < expected && timer.elapsed() < 10000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return m_pasteboard->changeCount() >= expected;
}

void LinuxPasteboardTest::barrier()
{
    const int before = m_selectionChanges;
    if (!m_barrierClient->own("PRIMARY")) {
        qFatal("the barrier client could not take PRIMARY");
    }
    QElapsedTimer timer;
    timer.start();
    while (m_selectionChanges == before && timer.elapsed() < 10000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    if (m_selectionChanges == before) {
        qFatal("Qt never reported the barrier's PRIMARY change");
    }
}

// xclip -o, run while the main loop keeps serving our selection.
QByteArray LinuxPasteboardTest::xclipOutput(const QString& target)
{
    QProcess process;
    process.start(QStringLiteral("xclip"),
        {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-o"),
            QStringLiteral("-t"), target});
    QElapsedTimer timer;
    timer.start();
    while (process.state() != QProcess::NotRunning && timer.elapsed() < 10000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
        return "<xclip hung>";
    }
    return process.exitCode() == 0 ? process.readAllStandardOutput() : QByteArray("<refused>");
}

void LinuxPasteboardTest::changeCountMovesOncePerForeignChange_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("expectedChanges");
    QTest::newRow("xclip copies a text") << "xclip" << 1;
    QTest::newRow("an owner offers several formats") << "owner" << 1;
    QTest::newRow("the same window takes the selection twice") << "same-window-twice" << 2;
    QTest::newRow("the owner exits") << "owner-exits" << 1;
    QTest::newRow("a PRIMARY selection is not counted") << "primary" << 0;
}

void LinuxPasteboardTest::changeCountMovesOncePerForeignChange()
{
    QFETCH(QString, action);
    QFETCH(int, expectedChanges);

    RawXClient sameWindow;
    QProcess* exiting = nullptr;
    if (action == QLatin1String("owner-exits")) {
        const qint64 start = m_pasteboard->changeCount();
        exiting = startXclip({QStringLiteral("-selection"), QStringLiteral("clipboard")}, "x");
        QVERIFY(waitForCount(start + 1));
        barrier();
    }

    const qint64 before = m_pasteboard->changeCount();
    const int selectionBefore = m_selectionChanges;
    if (action == QLatin1String("xclip")) {
        startXclip({QStringLiteral("-selection"), QStringLiteral("clipboard")}, "copied");
    } else if (action == QLatin1String("owner")) {
        QProcess* owner = startOwner({{QStringLiteral("text/plain"), "a"},
            {QStringLiteral("text/tab-separated-values"), "a\tb"},
            {QStringLiteral("image/png"), smallPng()}});
        QVERIFY(waitForReady(owner));
    } else if (action == QLatin1String("same-window-twice")) {
        QVERIFY(sameWindow.own("CLIPBOARD"));
        QVERIFY(waitForCount(before + 1));
        QVERIFY(sameWindow.own("CLIPBOARD"));
    } else if (action == QLatin1String("owner-exits")) {
        exiting->kill();
        QVERIFY(exiting->waitForFinished(5000));
    } else if (action == QLatin1String("primary")) {
        startXclip({QStringLiteral("-selection"), QStringLiteral("primary")}, "primary");
        QTRY_VERIFY(m_selectionChanges > selectionBefore);
    }

    QVERIFY(waitForCount(before + expectedChanges));
    barrier();
    QCOMPARE(m_pasteboard->changeCount(), before + expectedChanges);
}

void LinuxPasteboardTest::ownWriteCountsOnceBeforeItReturns_data()
{
    QTest::addColumn<Items>("items");
    QTest::newRow("text") << Items {{PasteboardType::string, "hello"}};
    QTest::newRow("text, tabular text and an image") << Items {{PasteboardType::string, "a\tb"},
        {PasteboardType::tabularText, "a\tb"}, {PasteboardType::png, smallPng()}};
    QTest::newRow("clear") << Items {};
}

void LinuxPasteboardTest::ownWriteCountsOnceBeforeItReturns()
{
    QFETCH(Items, items);
    // Start from a foreign owner, so that the write also takes the selection over.
    const qint64 start = m_pasteboard->changeCount();
    startXclip({QStringLiteral("-selection"), QStringLiteral("clipboard")}, "foreign");
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
    barrier();
    QCOMPARE(m_pasteboard->changeCount(), before + 1);

    // A second own write in a row (we already own the selection) counts once as well.
    m_pasteboard->write({{PasteboardType::string, "again"}});
    QCOMPARE(m_pasteboard->changeCount(), before + 2);
    barrier();
    QCOMPARE(m_pasteboard->changeCount(), before + 2);
}

void LinuxPasteboardTest::everyPasteboardSharesTheProcessCount()
{
    LinuxPasteboard other;
    QCOMPARE(other.changeCount(), m_pasteboard->changeCount());
    const qint64 before = m_pasteboard->changeCount();
    other.write({{PasteboardType::string, "from the other one"}});
    QCOMPARE(m_pasteboard->changeCount(), before + 1);
    QCOMPARE(other.changeCount(), before + 1);
    const std::optional<QString> text =
        onWorker([this] { return m_pasteboard->string(PasteboardType::string); });
    QCOMPARE(text, std::optional<QString>(QStringLiteral("from the other one")));
}

void LinuxPasteboardTest::clearTakesTheSelectionFromAForeignOwner()
{
    const qint64 before = m_pasteboard->changeCount();
    startXclip({QStringLiteral("-selection"), QStringLiteral("clipboard")}, "foreign text");
    QVERIFY(waitForCount(before + 1));
    QCOMPARE(xclipOutput(QStringLiteral("UTF8_STRING")), QByteArray("foreign text"));

    m_pasteboard->clear();
    QCOMPARE(m_pasteboard->changeCount(), before + 2);
    barrier();
    QCOMPARE(m_pasteboard->changeCount(), before + 2);
    QCOMPARE(onWorker([this] { return m_pasteboard->types(); }), QStringList());
    QCOMPARE(xclipOutput(QStringLiteral("TARGETS")).split('\n').contains("UTF8_STRING"), false);
    QCOMPARE(xclipOutput(QStringLiteral("UTF8_STRING")), QByteArray());
}

void LinuxPasteboardTest::writeOffersAllTypesInOneChange()
{
    const QByteArray text = QStringLiteral("貼り付け ✓ text").toUtf8();
    const QByteArray png = smallPng();
    const QByteArray tiff = someBytes(3000, 7);
    const QByteArray custom = someBytes(100, 9);
    const qint64 before = m_pasteboard->changeCount();
    m_pasteboard->write({{PasteboardType::string, text}, {PasteboardType::png, png},
        {PasteboardType::tiff, tiff}, {QStringLiteral("application/x-norvale-test"), custom}});
    barrier();
    QCOMPARE(m_pasteboard->changeCount(), before + 1);

    const QList<QByteArray> targets = xclipOutput(QStringLiteral("TARGETS")).split('\n');
    for (const char* expected : {"UTF8_STRING", "STRING", "TEXT", "text/plain", "image/png",
             "image/tiff", "application/x-norvale-test"}) {
        QVERIFY2(targets.contains(expected), expected);
    }
    QCOMPARE(xclipOutput(QStringLiteral("UTF8_STRING")), text);
    QCOMPARE(xclipOutput(QStringLiteral("image/png")), png);
    QCOMPARE(xclipOutput(QStringLiteral("image/tiff")), tiff);
    QCOMPARE(xclipOutput(QStringLiteral("application/x-norvale-test")), custom);
    // Serving other clients does not count as a change.
    barrier();
    QCOMPARE(m_pasteboard->changeCount(), before + 1);
}

void LinuxPasteboardTest::readsTextFromXclip_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");
    const QString mixed = QStringLiteral("コピー ✓ 😀\n次の行\tタブ ");
    QTest::newRow("UTF8_STRING") << "UTF8_STRING" << mixed.toUtf8() << mixed;
    QTest::newRow("blanks only") << "UTF8_STRING" << QByteArray("  \t ") << "  \t ";
    QTest::newRow("STRING is Latin-1") << "STRING" << QByteArray("caf\xe9") << "café";
    QTest::newRow("text/plain") << "text/plain" << QByteArray("plain") << "plain";
    QTest::newRow("text/plain;charset=utf-8")
        << "text/plain;charset=utf-8" << QStringLiteral("ü").toUtf8() << "ü";
}

void LinuxPasteboardTest::readsTextFromXclip()
{
    QFETCH(QString, target);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    const qint64 before = m_pasteboard->changeCount();
    startXclip(
        {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-t"), target},
        bytes);
    QVERIFY(waitForCount(before + 1));

    QCOMPARE(
        onWorker([this] { return m_pasteboard->types(); }), QStringList {PasteboardType::string});
    QCOMPARE(onWorker([this] { return m_pasteboard->string(PasteboardType::string); }),
        std::optional<QString>(expected));
    QCOMPARE(onWorker([this] { return m_pasteboard->data(PasteboardType::string); }),
        std::optional<QByteArray>(expected.toUtf8()));
    QCOMPARE(onWorker([this] { return m_pasteboard->data(PasteboardType::png); }), std::nullopt);
}

void LinuxPasteboardTest::readsEveryFormatOfOneOwner_data()
{
    QTest::addColumn<Items>("items");
    QTest::addColumn<QStringList>("expectedTypes");
    const QByteArray spreadsheet = someBytes(5000, 3);
    QTest::newRow("a spreadsheet copy")
        << Items {{QStringLiteral("text/plain"), "A1\tB1\nA2\tB2"},
               {QStringLiteral("text/tab-separated-values"), "A1\tB1\nA2\tB2"},
               {QStringLiteral("application/vnd.oasis.opendocument.spreadsheet"), spreadsheet},
               {QStringLiteral("com.microsoft.appbundleid"), "com.microsoft.Excel"}}
        << QStringList {QStringLiteral("text/plain"), QStringLiteral("text/tab-separated-values"),
               QStringLiteral("application/vnd.oasis.opendocument.spreadsheet"),
               QStringLiteral("com.microsoft.appbundleid")};
    QTest::newRow("a password manager's secret")
        << Items {{QStringLiteral("text/plain"), "hunter2"},
               {QStringLiteral("x-kde-passwordManagerHint"), "secret"}}
        << QStringList {QStringLiteral("text/plain"), QStringLiteral("x-kde-passwordManagerHint")};
    QTest::newRow("an image with a caption")
        << Items {{QStringLiteral("image/png"), smallPng()},
               {QStringLiteral("image/tiff"), someBytes(2000, 5)},
               {QStringLiteral("text/plain"), "caption"}}
        << QStringList {QStringLiteral("image/png"), QStringLiteral("image/tiff"),
               QStringLiteral("text/plain")};
}

void LinuxPasteboardTest::readsEveryFormatOfOneOwner()
{
    QFETCH(Items, items);
    QFETCH(QStringList, expectedTypes);
    const qint64 before = m_pasteboard->changeCount();
    QProcess* owner = startOwner(items);
    QVERIFY(waitForReady(owner));
    QVERIFY(waitForCount(before + 1));

    QCOMPARE(onWorker([this] { return m_pasteboard->types(); }), expectedTypes);
    for (const auto& [type, bytes] : std::as_const(items)) {
        const QString name = type;
        QCOMPARE(onWorker([this, name] { return m_pasteboard->data(name); }),
            std::optional<QByteArray>(bytes));
        if (!type.startsWith(QLatin1String("image/"))) {
            QCOMPARE(onWorker([this, name] { return m_pasteboard->string(name); }),
                std::optional<QString>(QString::fromUtf8(bytes)));
        }
    }
    QCOMPARE(
        onWorker([this] { return m_pasteboard->data(QStringLiteral("image/bmp")); }), std::nullopt);
    QCOMPARE(owner->state(), QProcess::Running);
}

void LinuxPasteboardTest::readsLargeImageOverIncr_data()
{
    QTest::addColumn<bool>("qtOwner");
    QTest::newRow("xclip") << false;
    QTest::newRow("a Qt application") << true;
}

void LinuxPasteboardTest::readsLargeImageOverIncr()
{
    QFETCH(bool, qtOwner);
    const QByteArray& png = largePng();
    QVERIFY(png.size() > 10 * 1024 * 1024);
    const qint64 before = m_pasteboard->changeCount();
    if (qtOwner) {
        QProcess* owner = startOwner({{QStringLiteral("image/png"), png}});
        QVERIFY(waitForReady(owner));
    } else {
        startXclip({QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-t"),
                       QStringLiteral("image/png")},
            png);
    }
    QVERIFY(waitForCount(before + 1));
    QVERIFY(onWorker([this] { return m_pasteboard->types(); }).contains(PasteboardType::png));

    QElapsedTimer timer;
    timer.start();
    qint64 longestGap = 0;
    const std::optional<QByteArray> read =
        onWorker([this] { return m_pasteboard->data(PasteboardType::png); }, &longestGap);
    const qint64 elapsed = timer.elapsed();
    QVERIFY(read.has_value());
    QCOMPARE(read->size(), png.size());
    QVERIFY(*read == png);
    qInfo("read %lld bytes in %lld ms; longest main-loop gap meanwhile %lld ms",
        qint64(read->size()), elapsed, longestGap);
    QVERIFY2(longestGap < 250, "the main thread stalled while the worker read");
}

void LinuxPasteboardTest::readsNothingWhenTheOwnerExits()
{
    const qint64 before = m_pasteboard->changeCount();
    QProcess* xclip =
        startXclip({QStringLiteral("-selection"), QStringLiteral("clipboard")}, "short-lived");
    QVERIFY(waitForCount(before + 1));
    QCOMPARE(onWorker([this] { return m_pasteboard->string(PasteboardType::string); }),
        std::optional<QString>(QStringLiteral("short-lived")));
    xclip->kill();
    QVERIFY(xclip->waitForFinished(5000));
    QVERIFY(waitForCount(before + 2));

    QElapsedTimer timer;
    timer.start();
    QCOMPARE(onWorker([this] { return m_pasteboard->types(); }), QStringList());
    QCOMPARE(
        onWorker([this] { return m_pasteboard->string(PasteboardType::string); }), std::nullopt);
    QCOMPARE(onWorker([this] { return m_pasteboard->data(PasteboardType::png); }), std::nullopt);
    QVERIFY2(timer.elapsed() < 1000, "reads without an owner must not wait");
}

void LinuxPasteboardTest::ownerThatNeverAnswersTimesOut()
{
    RawXClient silent;
    const qint64 before = m_pasteboard->changeCount();
    QVERIFY(silent.own("CLIPBOARD"));
    QVERIFY(waitForCount(before + 1));

    QElapsedTimer timer;
    timer.start();
    QCOMPARE(onWorker([this] { return m_pasteboard->types(); }), QStringList());
    const qint64 first = timer.restart();
    QVERIFY2(first >= 1000 && first < 4000, qPrintable(QString::number(first)));
    // The same owner with the same contents is not asked again.
    QCOMPARE(
        onWorker([this] { return m_pasteboard->string(PasteboardType::string); }), std::nullopt);
    QCOMPARE(onWorker([this] { return m_pasteboard->data(PasteboardType::png); }), std::nullopt);
    QVERIFY2(timer.elapsed() < 500, qPrintable(QString::number(timer.elapsed())));
    qInfo("an owner that never answers: %lld ms for the first read", first);

    // A working owner afterwards is read normally.
    const qint64 now = m_pasteboard->changeCount();
    startXclip({QStringLiteral("-selection"), QStringLiteral("clipboard")}, "recovered");
    QVERIFY(waitForCount(now + 1));
    QCOMPARE(onWorker([this] { return m_pasteboard->string(PasteboardType::string); }),
        std::optional<QString>(QStringLiteral("recovered")));
}

void LinuxPasteboardTest::ownerThatStallsInIncrTimesOut()
{
    RawXClient stalling;
    const qint64 before = m_pasteboard->changeCount();
    QVERIFY(stalling.own("CLIPBOARD"));
    QVERIFY(waitForCount(before + 1));

    auto answer = std::async(
        std::launch::async, [&stalling] { return stalling.answerWithStalledIncr(10000); });
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(onWorker([this] { return m_pasteboard->data(PasteboardType::png); }), std::nullopt);
    const qint64 elapsed = timer.elapsed();
    QVERIFY(answer.get());
    QVERIFY2(elapsed >= 1500 && elapsed < 5000, qPrintable(QString::number(elapsed)));
    qInfo("an INCR transfer that stalls: given up after %lld ms", elapsed);

    const qint64 now = m_pasteboard->changeCount();
    startXclip({QStringLiteral("-selection"), QStringLiteral("clipboard")}, "after the stall");
    QVERIFY(waitForCount(now + 1));
    QCOMPARE(onWorker([this] { return m_pasteboard->string(PasteboardType::string); }),
        std::optional<QString>(QStringLiteral("after the stall")));
}

void LinuxPasteboardTest::readsOwnWriteWhileTheMainThreadWaits_data()
{
    QTest::addColumn<Items>("items");
    QTest::addColumn<bool>("withLargeImage");
    QTest::addColumn<QStringList>("expectedTypes");
    QTest::newRow("text") << Items {{PasteboardType::string, "own"}} << false
                          << QStringList {PasteboardType::string};
    QTest::newRow("text and a large image")
        << Items {{PasteboardType::string, "caption"}} << true
        << QStringList {PasteboardType::string, PasteboardType::png};
    QTest::newRow("cleared") << Items {} << false << QStringList {};
}

void LinuxPasteboardTest::readsOwnWriteWhileTheMainThreadWaits()
{
    QFETCH(Items, items);
    QFETCH(bool, withLargeImage);
    QFETCH(QStringList, expectedTypes);
    if (withLargeImage) {
        items.append({PasteboardType::png, largePng()});
    }
    m_pasteboard->write(items);

    // The main thread blocks here without serving its event loop, as it does while it waits
    // for background work at shutdown; the reads must not depend on it.
    QElapsedTimer timer;
    timer.start();
    auto reads = std::async(std::launch::async, [this, items] {
        bool same = true;
        for (const auto& [type, bytes] : items) {
            same = same && m_pasteboard->data(type) == std::optional<QByteArray>(bytes);
        }
        return std::make_pair(m_pasteboard->types(), same);
    });
    QCOMPARE(reads.wait_for(1s), std::future_status::ready);
    const auto [types, same] = reads.get();
    QCOMPARE(types, expectedTypes);
    QVERIFY(same);
    QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
}

void LinuxPasteboardTest::readsContentsOtherCodeOfTheProcessPutOnTheClipboard()
{
    // A copy made by a widget of this process (through QClipboard, not the pasteboard): the
    // worker reads it over X and Qt's main loop answers, large data included.
    const QByteArray& png = largePng();
    auto* mime = new QMimeData;
    mime->setText(QStringLiteral("widget copy"));
    mime->setData(QStringLiteral("image/png"), png);
    const qint64 before = m_pasteboard->changeCount();
    QGuiApplication::clipboard()->setMimeData(mime);
    QCOMPARE(m_pasteboard->changeCount(), before + 1);

    const QStringList types = onWorker([this] { return m_pasteboard->types(); });
    QVERIFY(types.contains(PasteboardType::string));
    QVERIFY(types.contains(PasteboardType::png));
    QCOMPARE(types.count(PasteboardType::string), 1);
    QCOMPARE(onWorker([this] { return m_pasteboard->string(PasteboardType::string); }),
        std::optional<QString>(QStringLiteral("widget copy")));
    QElapsedTimer timer;
    timer.start();
    const std::optional<QByteArray> read =
        onWorker([this] { return m_pasteboard->data(PasteboardType::png); });
    QVERIFY(read.has_value());
    QVERIFY(*read == png);
    qInfo("read %lld bytes from our own Qt clipboard in %lld ms", qint64(read->size()),
        timer.elapsed());
}

NORVALE_TEST_CLASS(LinuxPasteboardTest)
#include "tst_linuxpasteboard.moc"
