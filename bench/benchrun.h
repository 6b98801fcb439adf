#pragma once

// What the archive benchmarks share: running a side as a process of its own
// and timing it, and the medians of the runs.

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace BenchRun {

struct RunResult {
    bool ok = false;
    double ms = 0;    // the whole process
    double opMs = 0;  // the operation alone, as one of our children reports it
    long peakKiB = 0; // high-water mark of the resident set
};

inline long highWaterKiB(const QByteArray &statusPath)
{
    QFile f(QString::fromLatin1(statusPath));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return 0;
}

// Runs a program and waits for it; ms is the whole process's wall time, the
// peak is what the child reports ("hwm=" on stdout) when it is one of ours.
// sample: read the child's high-water mark every half millisecond meanwhile.
inline RunResult spawn(const QStringList &args, const QString &workingDir = {}, bool sample = false)
{
    QList<QByteArray> bytes;
    for (const QString &a : args)
        bytes << QFile::encodeName(a);
    std::vector<char *> argv;
    for (QByteArray &b : bytes)
        argv.push_back(b.data());
    argv.push_back(nullptr);

    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    const QByteArray dir = QFile::encodeName(workingDir);
    if (!workingDir.isEmpty())
        posix_spawn_file_actions_addchdir_np(&actions, dir.constData());

    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    RunResult result;
    if (spawned != 0) {
        ::close(pipeFds[0]);
        return result;
    }
    if (sample) {
        const QByteArray status = "/proc/" + QByteArray::number(pid) + "/status";
        for (;;) {
            siginfo_t info{};
            // WNOWAIT: the child stays waitable for the real wait below.
            if (::waitid(P_PID, id_t(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0 ||
                info.si_pid != 0)
                break;
            result.peakKiB = std::max(result.peakKiB, highWaterKiB(status));
            ::usleep(500);
        }
    }
    QByteArray out;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        out.append(buffer, n);
    }
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    result.ms = timer.nsecsElapsed() / 1e6;
    result.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    for (const QByteArray &line : out.split('\n')) {
        // Both sides are timed as whole processes, start-up included.
        if (line.startsWith("hwm="))
            result.peakKiB = line.mid(4).toLong();
        else if (line.startsWith("ms="))
            result.opMs = line.mid(3).toDouble();
    }
    return result;
}

inline double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n == 0 ? 0 : n % 2 ? values.at(n / 2) : (values.at(n / 2 - 1) + values.at(n / 2)) / 2;
}

inline QString mb(qint64 bytes)
{
    return QString::number(bytes / 1e6, 'f', 1) + QStringLiteral(" MB");
}

struct Side {
    QList<double> ms;
    long peakKiB = 0;
    bool failed = false;
    void add(const RunResult &r, bool operationOnly = false)
    {
        failed = failed || !r.ok;
        ms << (operationOnly ? r.opMs : r.ms);
        peakKiB = std::max(peakKiB, r.peakKiB);
    }
};

} // namespace BenchRun
