#pragma once

// The system clipboard as the history sees it: a change count, a notification when it moves,
// and typed contents.
//
// Threads: changeCount() is an atomic read and may be called anywhere. The read calls
// (types, string, data) are made from the capture worker and must be safe there; the Linux
// backend reads the selection over its own X connection for that reason. The write calls
// and clear() belong to the main thread, and so does the changed() notification.
//
// Types are MIME types. Text offered under any of the X11 text targets is reported as
// typeString; any other offered type keeps its own name, so type-name rules (spreadsheet
// detection) work on what the owner offers.

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QStringList>

#include <optional>

namespace PasteboardType {
inline const QString string = QStringLiteral("text/plain");
inline const QString tabularText = QStringLiteral("text/tab-separated-values");
inline const QString png = QStringLiteral("image/png");
inline const QString tiff = QStringLiteral("image/tiff");
inline const QString microsoftAppBundleId = QStringLiteral("com.microsoft.appbundleid");
// Set by password managers (KeePassXC and others) on content that must not be recorded.
inline const QString passwordManagerHint = QStringLiteral("x-kde-passwordManagerHint");
} // namespace PasteboardType

class Pasteboard : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    ~Pasteboard() override = default;

    virtual QString name() const = 0;
    virtual qint64 changeCount() const = 0;

    virtual QStringList types() const = 0;
    virtual std::optional<QString> string(const QString& type) const = 0;
    virtual std::optional<QByteArray> data(const QString& type) const = 0;

    virtual void clear() = 0;
    // Replaces the contents with all the given (type, bytes) pairs as one change.
    virtual void write(const QList<QPair<QString, QByteArray>>& items) = 0;

    void writeString(const QString& text, const QString& type = PasteboardType::string);
    void writeData(const QString& type, const QByteArray& bytes);

Q_SIGNALS:
    // After the change count moved, once per change it counts (this process's own writes
    // included). A backend that cannot tell may never emit it: the count stays the truth.
    void changed();
};
