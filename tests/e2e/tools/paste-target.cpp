// Test helper: a small window with one line edit that reports what it receives, so a test can
// check what a paste delivered. Lines on stdout: "ready" once the window is shown, "active"
// and "inactive" when it gains or loses activation, and "text: <content>" on every change of
// the text.
//
//   paste-target [--title TITLE] [--geometry WxH+X+Y]

#include <QApplication>
#include <QEvent>
#include <QLineEdit>
#include <QRegularExpression>

#include <cstdio>

namespace {

void say(const QString& line)
{
    std::fprintf(stdout, "%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

class Reporter final : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::Paint:
            if (!m_ready) {
                m_ready = true;
                say(QStringLiteral("ready"));
            }
            break;
        case QEvent::WindowActivate:
            say(QStringLiteral("active"));
            break;
        case QEvent::WindowDeactivate:
            say(QStringLiteral("inactive"));
            break;
        default:
            break;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool m_ready = false;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QString title = QStringLiteral("paste-target");
    QString geometry;
    const QStringList arguments = QApplication::arguments().mid(1);
    for (qsizetype i = 0; i + 1 < arguments.size(); i += 2) {
        if (arguments.at(i) == QLatin1String("--title")) {
            title = arguments.at(i + 1);
        } else if (arguments.at(i) == QLatin1String("--geometry")) {
            geometry = arguments.at(i + 1);
        } else {
            std::fprintf(stderr, "usage: paste-target [--title TITLE] [--geometry WxH+X+Y]\n");
            return 2;
        }
    }
    if (arguments.size() % 2 != 0) {
        std::fprintf(stderr, "usage: paste-target [--title TITLE] [--geometry WxH+X+Y]\n");
        return 2;
    }

    QLineEdit edit;
    edit.setWindowTitle(title);
    edit.resize(480, 40);
    if (!geometry.isEmpty()) {
        static const QRegularExpression form(QStringLiteral("^(\\d+)x(\\d+)\\+(\\d+)\\+(\\d+)$"));
        const QRegularExpressionMatch match = form.match(geometry);
        if (!match.hasMatch()) {
            std::fprintf(stderr, "paste-target: --geometry is WxH+X+Y\n");
            return 2;
        }
        edit.setGeometry(match.captured(3).toInt(), match.captured(4).toInt(),
            match.captured(1).toInt(), match.captured(2).toInt());
    }
    Reporter reporter;
    edit.installEventFilter(&reporter);
    QObject::connect(&edit, &QLineEdit::textChanged, &edit,
        [](const QString& text) { say(QStringLiteral("text: ") + text); });
    edit.show();
    return QApplication::exec();
}
