#include "ProcProcessList.h"

#include <QDir>
#include <QFile>

#include <algorithm>

ProcProcessList::ProcProcessList(QString procRoot)
    : m_procRoot(std::move(procRoot))
{ }

std::optional<QList<ProcProcessList::Process>> ProcProcessList::processes() const
{
    const QDir folder(m_procRoot);
    if (!folder.exists()) {
        return std::nullopt;
    }
    QList<Process> found;
    for (const QString& entry : folder.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool numeric = false;
        const qint64 pid = entry.toLongLong(&numeric);
        if (!numeric) {
            continue;
        }
        QFile comm(folder.filePath(entry) + QStringLiteral("/comm"));
        if (!comm.open(QIODevice::ReadOnly)) {
            continue;
        }
        QByteArray name = comm.readAll();
        if (name.endsWith('\n')) {
            name.chop(1);
        }
        for (char& c : name) {
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
                c = '?';
            }
        }
        found.append({pid, name});
    }
    std::sort(found.begin(), found.end(),
        [](const Process& a, const Process& b) { return a.pid < b.pid; });
    return found;
}

std::optional<ToolOutput> ProcProcessList::commandNames() const
{
    const auto list = processes();
    if (!list) {
        return std::nullopt;
    }
    ToolOutput listing {QByteArrayLiteral("COMMAND\n")};
    for (const Process& process : *list) {
        listing.output += process.name + '\n';
    }
    return listing;
}

InProcessCommand ProcProcessList::inProcessCommand()
{
    return {{QStringLiteral("/bin/ps"), QStringLiteral("-axo"), QStringLiteral("comm")}, [] {
                return ProcProcessList().commandNames();
            }};
}
