#pragma once

// What the fuzz targets share: a check that stops the run the way a crash
// does (so libFuzzer keeps the input, and a replay in the tests fails), a
// limit on the processor time one input may take, and a scratch folder for
// the readers that take a path.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#define FUZZ_CHECK(condition, what)                                                            \
    do {                                                                                       \
        if (!(condition))                                                                      \
            FuzzSupport::failed(#condition, what, __FILE__, __LINE__);                         \
    } while (false)

namespace FuzzSupport {

[[noreturn]] inline void failed(const char *condition, const QString &what, const char *file,
                                int line)
{
    std::fprintf(stderr, "%s:%d: check failed: %s\n  %s\n", file, line, condition,
                 what.toUtf8().constData());
    std::fflush(stderr);
    std::abort();
}

// An input that keeps a reader busy for more than a second is a fault: a
// hang for whoever opens that file. Processor time of this thread is
// counted, not the clock, so that a machine busy with other work finds no
// false hangs (libFuzzer's own timeout, by the clock, is the backstop).
class CpuBudget {
public:
    static constexpr double kSeconds = 1.0;

    CpuBudget() : m_start(threadSeconds()) {}
    ~CpuBudget()
    {
        const double spent = threadSeconds() - m_start;
        if (spent > kSeconds)
            failed("spent <= kSeconds",
                   QStringLiteral("one input took %1 s of processor time").arg(spent), __FILE__,
                   __LINE__);
    }
    CpuBudget(const CpuBudget &) = delete;
    CpuBudget &operator=(const CpuBudget &) = delete;

private:
    static double threadSeconds()
    {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
    }

    double m_start;
};

// One folder for the whole run, removed at its end.
inline const QTemporaryDir &scratch()
{
    static const QTemporaryDir dir;
    if (!dir.isValid())
        failed("scratch folder", dir.errorString(), __FILE__, __LINE__);
    return dir;
}

inline QString writeScratchFile(const QString &name, const void *data, std::size_t size)
{
    const QString path = scratch().filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(static_cast<const char *>(data), qint64(size)) != qint64(size))
        failed("scratch file", file.errorString(), __FILE__, __LINE__);
    return path;
}

// For messages: the first bytes of a text, with the rest left out.
inline QString shown(const QString &text)
{
    return text.size() <= 200 ? text : text.left(200) + QStringLiteral("…");
}

} // namespace FuzzSupport
