#include "app/QtTranslations.h"
#include "common/TestMain.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QTest>
#include <QTranslator>

// Qt's own texts read in Japanese once the catalogue is installed, whatever the locale.
class QtTranslationsTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (!QFileInfo::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) +
                QStringLiteral("/qtbase_ja.qm"))) {
            QSKIP("Qt's Japanese catalogue (qt6-translations-l10n) is not installed");
        }
        m_translator = QtTranslations::install(*QCoreApplication::instance());
        QVERIFY(m_translator);
    }

    // The other suites of this executable read Qt's texts untranslated.
    void cleanupTestCase()
    {
        QCoreApplication::removeTranslator(m_translator);
        delete m_translator;
    }

    void translatesQtTexts_data()
    {
        QTest::addColumn<QString>("context");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("japanese");
        QTest::newRow("file dialog") << "QFileDialog"
                                     << "Open"
                                     << "開く";
        QTest::newRow("standard button") << "QPlatformTheme"
                                         << "Cancel"
                                         << "キャンセル";
    }

    void translatesQtTexts()
    {
        QFETCH(QString, context);
        QFETCH(QString, source);
        QTEST(QCoreApplication::translate(context.toLatin1(), source.toLatin1()), "japanese");
    }

private:
    QTranslator* m_translator = nullptr;
};

NORVALE_TEST_CLASS(QtTranslationsTest)
#include "tst_qttranslations.moc"
