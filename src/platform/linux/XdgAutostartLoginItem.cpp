#include "XdgAutostartLoginItem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <utility>

namespace {

// Exec quoting of the desktop entry format: a path with a reserved character is put in double
// quotes with ", `, $ and \ escaped; the value itself then escapes each backslash once more.
QString execValue(const QString& path)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    const bool needsQuotes =
        std::any_of(path.cbegin(), path.cend(), [](QChar c) { return reserved.contains(c); });
    if (!needsQuotes) {
        return path;
    }
    QString quoted;
    for (const QChar c : path) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
            c == QLatin1Char('\\')) {
            quoted += QLatin1Char('\\');
        }
        quoted += c;
    }
    quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

// The program an Exec value starts: its first word, quotes and escapes undone.
QString execProgram(const QString& exec)
{
    const QString value = QString(exec).replace(QStringLiteral("\\\\"), QStringLiteral("\\"));
    if (!value.startsWith(QLatin1Char('"'))) {
        return value.section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty);
    }
    QString program;
    for (qsizetype i = 1; i < value.size(); ++i) {
        if (value.at(i) == QLatin1Char('\\') && i + 1 < value.size()) {
            program += value.at(++i);
        } else if (value.at(i) == QLatin1Char('"')) {
            break;
        } else {
            program += value.at(i);
        }
    }
    return program;
}

} // namespace

XdgAutostartLoginItem::XdgAutostartLoginItem(
    QString applicationId, QString executablePath, QString formerApplicationId)
    : m_applicationId(std::move(applicationId))
    , m_executablePath(std::move(executablePath))
    , m_formerApplicationId(std::move(formerApplicationId))
{ }

QString XdgAutostartLoginItem::entryPath() const
{
    return entryPath(m_applicationId);
}

QString XdgAutostartLoginItem::entryPath(const QString& applicationId) const
{
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!QDir::isAbsolutePath(config)) {
        config = QDir::homePath() + QStringLiteral("/.config");
    }
    return config + QStringLiteral("/autostart/") + applicationId + QStringLiteral(".desktop");
}

void XdgAutostartLoginItem::adoptFormerEntry() const
{
    if (m_formerApplicationId.isEmpty()) {
        return;
    }
    QFile former(entryPath(m_formerApplicationId));
    if (!former.exists()) {
        return;
    }
    if (QFile::exists(entryPath())) {
        former.remove();
    } else {
        former.rename(entryPath());
    }
}

LoginItemStatus XdgAutostartLoginItem::status() const
{
    adoptFormerEntry();
    QFile file(entryPath());
    if (!file.exists()) {
        return LoginItemStatus::NotRegistered;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        return LoginItemStatus::Unknown;
    }
    // Only the keys of the main group count; a later group ([Desktop Action ...]) ends it.
    QString exec;
    bool inMainGroup = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inMainGroup = line == QStringLiteral("[Desktop Entry]");
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (!inMainGroup || equals < 0) {
            continue;
        }
        const QString key = line.left(equals).trimmed();
        const QString value = line.mid(equals + 1).trimmed();
        if ((key == QStringLiteral("Hidden") && value == QStringLiteral("true")) ||
            (key == QStringLiteral("X-GNOME-Autostart-enabled") &&
                value == QStringLiteral("false"))) {
            return LoginItemStatus::NotRegistered;
        }
        if (key == QStringLiteral("Exec")) {
            exec = value;
        }
    }
    // A bare program name is looked up on PATH, as the session does (launcher entries that
    // the desktop's tools copied into autostart say "Exec=norvale").
    QString path = execProgram(exec);
    if (!path.isEmpty() && !path.contains(QLatin1Char('/'))) {
        path = QStandardPaths::findExecutable(path);
    }
    const QFileInfo program(path);
    if (!program.isAbsolute() || !program.isExecutable() || program.isDir()) {
        return LoginItemStatus::NotFound;
    }
    return LoginItemStatus::Enabled;
}

std::optional<QString> XdgAutostartLoginItem::registerItem()
{
    adoptFormerEntry();
    const QString path = entryPath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly)) {
        return file.errorString();
    }
    const QString entry = QStringLiteral("[Desktop Entry]\n"
                                         "Type=Application\n"
                                         "Name=Norvale\n"
                                         "Exec=") +
        execValue(m_executablePath) +
        QStringLiteral("\n"
                       "Icon=norvale\n"
                       "Terminal=false\n"
                       "X-GNOME-Autostart-enabled=true\n");
    const QByteArray bytes = entry.toUtf8();
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return reason;
    }
    if (!file.commit()) {
        return file.errorString();
    }
    return std::nullopt;
}

std::optional<QString> XdgAutostartLoginItem::unregisterItem()
{
    adoptFormerEntry();
    QFile file(entryPath());
    if (!file.exists() || file.remove()) {
        return std::nullopt;
    }
    return file.errorString();
}
