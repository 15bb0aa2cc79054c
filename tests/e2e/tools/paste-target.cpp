// Test helper: a window with one line edit that reports on stdout "ready" once shown, "active"
// each time it gains activation and "text: <content>" on every change of its text, so a test
// can check what a paste delivered.
//
//   paste-target --title TITLE --geometry WxH+X+Y

#include <QApplication>
#include <QEvent>
#include <QLineEdit>

#include <cstdio>

namespace {

void say(const QString& line)
{
    std::fprintf(stdout, "%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

class Reporter final : public QObject
{
protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !m_ready) {
            m_ready = true;
            say(QStringLiteral("ready"));
        } else if (event->type() == QEvent::WindowActivate) {
            say(QStringLiteral("active"));
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool m_ready = false;
};

} // namespace

int main(int argc, char** argv)
{
    // Qt's own -title and -geometry options (also spelt --title, --geometry) name and place it.
    QApplication application(argc, argv);
    QLineEdit edit;
    Reporter reporter;
    edit.installEventFilter(&reporter);
    QObject::connect(&edit, &QLineEdit::textChanged, &edit,
        [](const QString& text) { say(QStringLiteral("text: ") + text); });
    edit.show();
    return QApplication::exec();
}
