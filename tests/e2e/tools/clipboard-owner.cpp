// Test helper: owns the CLIPBOARD with several formats at once, as desktop applications do
// (xclip offers one), until killed. Prints "ready" once it owns it and "served TYPE" each time a
// client fetches a type's data, so a test knows that a reader has looked at the contents.
//
//   clipboard-owner (--type TYPE (--text STRING | --file PATH))...
//
// text/plain is set with QMimeData::setText, so Qt offers UTF8_STRING, STRING and TEXT too.

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>

#include <cstdio>

namespace {

void say(const QByteArray& line)
{
    std::fprintf(stdout, "%s\n", line.constData());
    std::fflush(stdout);
}

// Qt fetches a type's data through retrieveData when it answers a selection request.
class ServingMimeData final : public QMimeData
{
protected:
    QVariant retrieveData(const QString& type, QMetaType metaType) const override
    {
        say("served " + type.toUtf8());
        return QMimeData::retrieveData(type, metaType);
    }
};

int usage()
{
    std::fprintf(stderr, "usage: clipboard-owner (--type TYPE (--text STRING | --file PATH))...\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication application(argc, argv);
    const QStringList arguments = QGuiApplication::arguments().mid(1);
    if (arguments.isEmpty() || arguments.size() % 4 != 0) {
        return usage();
    }
    auto* mime = new ServingMimeData;
    for (qsizetype i = 0; i < arguments.size(); i += 4) {
        const QString& type = arguments.at(i + 1);
        const QString& source = arguments.at(i + 2);
        QByteArray bytes = arguments.at(i + 3).toUtf8();
        if (source == QLatin1String("--file")) {
            QFile file(arguments.at(i + 3));
            if (!file.open(QIODevice::ReadOnly)) {
                return usage();
            }
            bytes = file.readAll();
        }
        if (arguments.at(i) != QLatin1String("--type") ||
            (source != QLatin1String("--file") && source != QLatin1String("--text"))) {
            return usage();
        }
        if (type == QLatin1String("text/plain")) {
            mime->setText(QString::fromUtf8(bytes));
        } else {
            mime->setData(type, bytes);
        }
    }
    QGuiApplication::clipboard()->setMimeData(mime);
    if (!QGuiApplication::clipboard()->ownsClipboard()) {
        std::fprintf(stderr, "clipboard-owner: could not take the clipboard\n");
        return 1;
    }
    say("ready");
    return QGuiApplication::exec();
}
