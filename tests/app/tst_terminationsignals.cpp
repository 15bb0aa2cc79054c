#include "app/TerminationSignals.h"
#include "common/TestMain.h"

#include <QSignalSpy>
#include <QTest>

#include <csignal>

class TerminationSignalsTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void signalBecomesOneRequestThenDefaultsReturn_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGHUP") << SIGHUP;
    }

    void signalBecomesOneRequestThenDefaultsReturn()
    {
        QFETCH(int, signalNumber);
        // Each row re-arms the handlers that the previous request replaced by the defaults.
        QVERIFY(TerminationSignals::install());
        struct sigaction current = {};
        TerminationSignals signals;
        QSignalSpy spy(&signals, &TerminationSignals::terminationRequested);
        QCOMPARE(::raise(signalNumber), 0);
        // The handler only wrote to the pipe: nothing happens before the event loop runs.
        QCOMPARE(spy.size(), 0);
        QVERIFY(spy.wait(5000));
        QCOMPARE(spy.size(), 1);
        QCOMPARE(spy.first().first().toInt(), signalNumber);
        // A second signal would now end the process the default way.
        ::sigaction(signalNumber, nullptr, &current);
        QVERIFY(current.sa_handler == SIG_DFL);
    }
};

NORVALE_TEST_CLASS(TerminationSignalsTest)
#include "tst_terminationsignals.moc"
