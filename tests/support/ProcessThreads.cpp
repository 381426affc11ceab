#include "support/ProcessThreads.h"

#include <QDir>
#include <QFile>

namespace corvid::test {

namespace {

// Calls `each` with the /proc folder of every thread of this process named `name`.
template <typename Each>
void forThreadsNamed(const QString& name, Each each) {
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks.filePath(task + "/comm"));
        if (comm.open(QIODevice::ReadOnly) && QString::fromUtf8(comm.readAll()).trimmed() == name)
            each(QDir(tasks.filePath(task)));
    }
}

}  // namespace

int threadsNamed(const QString& name) {
    int count = 0;
    forThreadsNamed(name, [&](const QDir&) { ++count; });
    return count;
}

long sleepsOfThreadsNamed(const QString& name) {
    long sleeps = 0;
    forThreadsNamed(name, [&](const QDir& task) {
        QFile status(task.filePath(QStringLiteral("status")));
        if (!status.open(QIODevice::ReadOnly)) return;
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("voluntary_ctxt_switches:"))
                sleeps += line.mid(line.indexOf(':') + 1).trimmed().toLong();
        }
    });
    return sleeps;
}

}  // namespace corvid::test
