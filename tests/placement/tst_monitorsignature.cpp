#include "common/TestMain.h"
#include "placement/MonitorDescriptor.h"
#include "platform/sim/SimDisplays.h"

#include <QTest>

#include <limits>

namespace {

// Frames in Qt's top-left space, as the desktop reports them.
DisplayInfo display(const QRect& frame, bool builtIn, std::optional<QSize> pixels,
    double ratio = 1.0, bool primary = false)
{
    DisplayInfo info = SimDisplays::display(QStringLiteral("D"), frame, primary);
    info.isBuiltIn = builtIn;
    info.pixelSize = pixels;
    info.devicePixelRatio = ratio;
    return info;
}

const DisplayInfo Panel = display({0, 0, 1440, 900}, true, QSize(2880, 1800), 2.0, true);
const QString PanelPart = QStringLiteral("type:builtin;origin:0,0;size:1440x900;pixel:2880x1800");

} // namespace

class MonitorSignatureTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void configuration_data()
    {
        QTest::addColumn<QList<DisplayInfo>>("displays");
        QTest::addColumn<QString>("signature");
        QTest::addColumn<QString>("description");

        QTest::newRow("one built-in display")
            << QList<DisplayInfo> {Panel} << PanelPart << QStringLiteral("内蔵* 1440x900 @ (0, 0)");
        // Bottom edges aligned: the external display's top is 180 above the panel's.
        const DisplayInfo left = display({-1920, -180, 1920, 1080}, false, QSize(1920, 1080));
        QTest::newRow("external display to the left")
            << QList<DisplayInfo> {Panel, left}
            << QStringLiteral("type:external;origin:-1920,0;size:1920x1080;pixel:1920x1080|") +
                PanelPart
            << QStringLiteral("外部 1920x1080 @ (-1920, 0) / 内蔵* 1440x900 @ (0, 0)");
        const DisplayInfo above = display({0, -1024, 1280, 1024}, false, QSize(2560, 2048));
        const QString aboveSignature = PanelPart +
            QStringLiteral("|type:external;origin:0,900;size:1280x1024;pixel:2560x2048|"
                           "type:external;origin:1440,0;size:1365x767;pixel:2048x1151");
        const QString aboveDescription = QStringLiteral(
            "内蔵* 1440x900 @ (0, 0) / 外部 1280x1024 @ (0, 900) / 外部 1365x767 @ (1440, 0)");
        // No mode size: frame x ratio, halves away from zero (2047.5, 1150.5).
        const DisplayInfo right = display({1440, 133, 1365, 767}, false, std::nullopt, 1.5);
        // Above the panel and narrower: only the y key puts it after the panel.
        QTest::newRow("y grows upwards, pixels from the ratio")
            << QList<DisplayInfo> {Panel, above, right} << aboveSignature << aboveDescription;
        QTest::newRow("others listed in the opposite order")
            << QList<DisplayInfo> {Panel, right, above} << aboveSignature << aboveDescription;
        QTest::newRow("no displays") << QList<DisplayInfo>() << QString() << QString();
    }

    void configuration()
    {
        QFETCH(QList<DisplayInfo>, displays);
        QFETCH(QString, signature);
        QFETCH(QString, description);

        const MonitorConfiguration configuration =
            monitorConfiguration(monitorDescriptors(displays));
        QCOMPARE(configuration.signature, signature);
        QCOMPARE(configuration.description, description);
        QCOMPARE(stableMonitorSignature(signature), signature);
    }

    void stableSignature_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("normal");

        QTest::newRow("id and main components dropped")
            << QStringLiteral("id:5;type:builtin;main:1;origin:0,0;size:1440x900;pixel:2880x1800")
            << PanelPart;
        QTest::newRow("parts sorted by origin")
            << QStringLiteral("type:a;origin:1440,0|type:b;origin:0,0")
            << QStringLiteral("type:b;origin:0,0|type:a;origin:1440,0");
        QTest::newRow("parts without an origin last, in their order")
            << QStringLiteral("type:a|type:b;origin:5,-5|type:c")
            << QStringLiteral("type:b;origin:5,-5|type:a|type:c");
        QTest::newRow("empty parts and components dropped")
            << QStringLiteral("||;type:a;;origin:0,0;|") << QStringLiteral("type:a;origin:0,0");
        QTest::newRow("part of only id and main components dropped")
            << QStringLiteral("id:7;main:1|type:a;origin:0,0|id:id:7")
            << QStringLiteral("type:a;origin:0,0");
    }

    void stableSignature()
    {
        QFETCH(QString, stored);
        QFETCH(QString, normal);
        QCOMPARE(stableMonitorSignature(stored), normal);
    }

    void sortKey_data()
    {
        QTest::addColumn<QString>("part");
        QTest::addColumn<qint64>("x");
        QTest::addColumn<qint64>("y");

        constexpr qint64 Largest = std::numeric_limits<qint64>::max();
        QTest::newRow("negative origin")
            << QStringLiteral("type:a;origin:-1920,0") << qint64(-1920) << qint64(0);
        QTest::newRow("first origin component")
            << QStringLiteral("origin:3,4;origin:1,1") << qint64(3) << qint64(4);
        QTest::newRow("unparsable pieces skipped")
            << QStringLiteral("origin:1,x,,2") << qint64(1) << qint64(2);
        QTest::newRow("one number") << QStringLiteral("origin:12") << Largest << Largest;
        QTest::newRow("not numbers") << QStringLiteral("origin:a,b") << Largest << Largest;
        QTest::newRow("blanks are not numbers")
            << QStringLiteral("origin: 1,2") << Largest << Largest;
        QTest::newRow("no origin") << QStringLiteral("type:builtin") << Largest << Largest;
    }

    void sortKey()
    {
        QFETCH(QString, part);
        QFETCH(qint64, x);
        QFETCH(qint64, y);
        QCOMPARE(monitorSignatureSortKey(part), std::make_pair(x, y));
    }
};

NORVALE_TEST_CLASS(MonitorSignatureTest)
#include "tst_monitorsignature.moc"
