// Qt 6.4 ignores QT_NO_CONTEXTLESS_CONNECT, so this test enforces the rule itself: every
// connect() to a functor names a context object, which disconnects it when the context dies.

#include <QDirIterator>
#include <QFile>
#include <QTest>

namespace {

struct Call
{
    int line = 0;
    QStringList arguments;
};

// Splits the argument list that starts after the '(' at position open; nested brackets,
// strings and character literals are skipped over.
QStringList splitArguments(const QString& text, qsizetype open, qsizetype* end)
{
    QStringList args;
    QString current;
    int depth = 0;
    QChar quote;
    for (qsizetype i = open + 1; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (!quote.isNull()) {
            current.append(c);
            if (c == QLatin1Char('\\') && i + 1 < text.size()) {
                current.append(text.at(++i));
            } else if (c == quote) {
                quote = QChar();
            }
            continue;
        }
        if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            quote = c;
        } else if (c == QLatin1Char('(') || c == QLatin1Char('[') || c == QLatin1Char('{')) {
            ++depth;
        } else if (c == QLatin1Char(')') || c == QLatin1Char(']') || c == QLatin1Char('}')) {
            if (depth == 0) {
                args.append(current.trimmed());
                *end = i;
                return args;
            }
            --depth;
        } else if (c == QLatin1Char(',') && depth == 0) {
            args.append(current.trimmed());
            current.clear();
            continue;
        }
        current.append(c);
    }
    *end = text.size();
    return args;
}

QList<Call> connectCalls(const QString& text)
{
    static const QRegularExpression pattern(
        QStringLiteral(R"((?<![\w.>:])(?:QObject::)?connect\s*\()"));
    QList<Call> calls;
    auto it = pattern.globalMatch(text);
    while (it.hasNext()) {
        const auto match = it.next();
        qsizetype end = 0;
        Call call;
        call.line = static_cast<int>(text.left(match.capturedStart()).count(QLatin1Char('\n'))) + 1;
        call.arguments = splitArguments(text, match.capturedEnd() - 1, &end);
        calls.append(call);
    }
    return calls;
}

bool isContextless(const Call& call)
{
    if (call.arguments.size() != 3) {
        return false;
    }
    const QString& third = call.arguments.at(2);
    return !third.startsWith(QLatin1Char('&')) && !third.startsWith(QStringLiteral("SLOT(")) &&
        !third.startsWith(QStringLiteral("SIGNAL("));
}

} // namespace

class LintTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void detectorFindsContextlessConnect_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<bool>("flagged");
        QTest::newRow("lambda without context")
            << QStringLiteral("connect(a, &A::changed, [this] { f(); });") << true;
        QTest::newRow("qualified, nested commas")
            << QStringLiteral("QObject::connect(a, &A::changed, [=](int x) { g(x, 1); });") << true;
        QTest::newRow("lambda with context")
            << QStringLiteral("connect(a, &A::changed, this, [this] { f(); });") << false;
        QTest::newRow("old syntax")
            << QStringLiteral("connect(a, SIGNAL(x()), SLOT(y()));") << false;
        QTest::newRow("other function")
            << QStringLiteral("disconnect(a, &A::changed, f);") << false;
    }

    void detectorFindsContextlessConnect()
    {
        QFETCH(QString, source);
        QFETCH(bool, flagged);
        const auto calls = connectCalls(source);
        const bool any = std::any_of(calls.begin(), calls.end(), isContextless);
        QCOMPARE(any, flagged);
    }

    void sourcesHaveNoContextlessConnect()
    {
        const QString root = QStringLiteral(NORVALE_SOURCE_DIR);
        QStringList offenders;
        int files = 0;
        for (const QString& folder : {QStringLiteral("/src"), QStringLiteral("/tests"),
                 QStringLiteral("/bench"), QStringLiteral("/fuzz")}) {
            QDirIterator it(root + folder, {QStringLiteral("*.cpp"), QStringLiteral("*.h")},
                QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QString path = it.next();
                if (path.endsWith(QStringLiteral("tst_lint.cpp"))) {
                    continue;
                }
                QFile file(path);
                QVERIFY(file.open(QIODevice::ReadOnly));
                ++files;
                for (const Call& call : connectCalls(QString::fromUtf8(file.readAll()))) {
                    if (isContextless(call)) {
                        offenders.append(QStringLiteral("%1:%2").arg(path).arg(call.line));
                    }
                }
            }
        }
        QVERIFY(files > 0);
        QVERIFY2(offenders.isEmpty(), qPrintable(offenders.join(QLatin1Char('\n'))));
    }
};

QTEST_GUILESS_MAIN(LintTest)
#include "tst_lint.moc"
