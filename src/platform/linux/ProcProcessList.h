#pragma once

// The process lister's "-axo comm" read straight from /proc: a "COMMAND" header line, then the
// command name of every process (its /proc/<pid>/comm, as ps prints it), in the order of
// process IDs. Control characters print as '?', as ps shows them.

#include "platform/SystemCommands.h"

#include <QList>
#include <QString>

class ProcProcessList final
{
public:
    struct Process
    {
        qint64 pid = 0;
        QByteArray name;
    };

    // procRoot: "/proc" on a running system, a prepared folder in tests.
    explicit ProcProcessList(QString procRoot = QStringLiteral("/proc"));

    // Nothing when the folder cannot be listed; a process that ends while it is read is left
    // out.
    std::optional<QList<Process>> processes() const;
    std::optional<ToolOutput> commandNames() const;

    // Answers "/bin/ps -axo comm" in the command runner.
    static InProcessCommand inProcessCommand();

private:
    QString m_procRoot;
};
