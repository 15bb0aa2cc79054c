// Test helper: owns the CLIPBOARD (or PRIMARY) selection with several formats at once, as
// desktop applications do (xclip offers one). Prints "ready" once it owns the selection,
// "served TYPE" each time a client reads the data of a type (so a test knows that a reader
// has looked at the contents), "lost" when another client takes the selection, and stays
// until killed or until --exit-after-seconds.
//
//   clipboard-owner [--selection clipboard|primary] [--exit-after-seconds N]
//                   (--type TYPE (--text STRING | --file PATH))...
//
// The type text/plain is set with QMimeData::setText, so Qt offers UTF8_STRING, STRING and
// TEXT as well; every other type is offered by its own name with the given bytes.

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <QTimer>

#include <cstdio>

namespace {

int usage(const char* message)
{
    std::fprintf(stderr, "clipboard-owner: %s\n", message);
    std::fprintf(stderr,
        "usage: clipboard-owner [--selection clipboard|primary] [--exit-after-seconds N]\n"
        "                       (--type TYPE (--text STRING | --file PATH))...\n");
    return 2;
}

void say(const char* line)
{
    std::fprintf(stdout, "%s\n", line);
    std::fflush(stdout);
}

// Qt fetches a type's data through retrieveData when it answers a selection request.
class ServingMimeData final : public QMimeData
{
protected:
    QVariant retrieveData(const QString& type, QMetaType metaType) const override
    {
        say(QByteArray("served " + type.toUtf8()).constData());
        return QMimeData::retrieveData(type, metaType);
    }
};

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication application(argc, argv);
    const QStringList arguments = QGuiApplication::arguments().mid(1);

    auto* mime = new ServingMimeData;
    QClipboard::Mode mode = QClipboard::Clipboard;
    int exitAfterSeconds = -1;
    QString pendingType;
    int formats = 0;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& option = arguments.at(i);
        if (i + 1 >= arguments.size()) {
            return usage("an option lacks its value");
        }
        const QString value = arguments.at(++i);
        if (option == QLatin1String("--type")) {
            if (!pendingType.isEmpty()) {
                return usage("--type without --text or --file");
            }
            pendingType = value;
        } else if (option == QLatin1String("--text") || option == QLatin1String("--file")) {
            if (pendingType.isEmpty()) {
                return usage("--text or --file without --type");
            }
            QByteArray bytes;
            if (option == QLatin1String("--text")) {
                bytes = value.toUtf8();
            } else {
                QFile file(value);
                if (!file.open(QIODevice::ReadOnly)) {
                    return usage("cannot read a --file");
                }
                bytes = file.readAll();
            }
            if (pendingType == QLatin1String("text/plain")) {
                mime->setText(QString::fromUtf8(bytes));
            } else {
                mime->setData(pendingType, bytes);
            }
            pendingType.clear();
            ++formats;
        } else if (option == QLatin1String("--selection")) {
            if (value == QLatin1String("primary")) {
                mode = QClipboard::Selection;
            } else if (value != QLatin1String("clipboard")) {
                return usage("--selection is clipboard or primary");
            }
        } else if (option == QLatin1String("--exit-after-seconds")) {
            bool ok = false;
            exitAfterSeconds = value.toInt(&ok);
            if (!ok || exitAfterSeconds < 0) {
                return usage("--exit-after-seconds needs a whole number");
            }
        } else {
            return usage("unknown option");
        }
    }
    if (!pendingType.isEmpty() || formats == 0) {
        return usage("give at least one --type with its --text or --file");
    }

    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setMimeData(mime, mode);
    const bool owns =
        mode == QClipboard::Clipboard ? clipboard->ownsClipboard() : clipboard->ownsSelection();
    if (!owns) {
        std::fprintf(stderr, "clipboard-owner: could not take the selection\n");
        return 1;
    }
    QObject::connect(
        clipboard, &QClipboard::changed, &application, [clipboard, mode](QClipboard::Mode m) {
            const bool stillOwns = mode == QClipboard::Clipboard ? clipboard->ownsClipboard()
                                                                 : clipboard->ownsSelection();
            if (m == mode && !stillOwns) {
                say("lost");
            }
        });
    if (exitAfterSeconds >= 0) {
        QTimer::singleShot(exitAfterSeconds * 1000, &application, &QCoreApplication::quit);
    }
    say("ready");
    return QGuiApplication::exec();
}
