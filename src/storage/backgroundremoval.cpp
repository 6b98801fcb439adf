#include "storage/backgroundremoval.h"

#include "storage/folderremoval.h"
#include "storage/workrecord.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

bool taken(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

// A folder whose record says it holds changes is nobody's to remove.
bool holdsChanges(const QString &entry)
{
    const std::optional<WorkRecord> record = WorkRecord::read(entry);
    return record && record->holdsChanges;
}

constexpr int kHeadStartMs = 1000;
constexpr int kPollMs = 20;

} // namespace

BackgroundRemoval::BackgroundRemoval(const QString &folder, Renamer rename)
    : m_folder(folder), m_rename(std::move(rename))
{
    m_pool.setMaxThreadCount(1);
    // Idle, for the processor (SCHED_IDLE) and for the disk: the archive
    // opened next goes first.
    m_pool.setThreadPriority(QThread::IdlePriority);
    m_remove = [](const QString &entry, const std::atomic_bool &stop) {
        if (!FolderRemoval::remove(entry, [&stop] { return stop.load(); }) && !stop)
            qWarning("a folder set aside for removal could not be removed completely");
    };
}

BackgroundRemoval::~BackgroundRemoval()
{
    m_stop = true;
    m_pool.clear();
    m_pool.waitForDone();
}

bool BackgroundRemoval::moveAside(const QString &path)
{
    if (!taken(path) || !QDir().mkpath(m_folder))
        return false;
    const QString stem = m_folder + u'/' + QFileInfo(path).fileName();
    QString target = stem;
    for (int n = 2; taken(target) || taken(WorkRecord::pathFor(target)); ++n)
        target = stem + u'-' + QString::number(n);
    if (!(m_rename ? m_rename(path, target) : QDir().rename(path, target)))
        return false;
    start();
    return true;
}

void BackgroundRemoval::start()
{
    if (!QFileInfo(m_folder).isDir())
        return;
    m_pool.start([this] { removeAll(); });
}

void BackgroundRemoval::waitForDone()
{
    m_pool.waitForDone();
}

void BackgroundRemoval::removeAll()
{
    // The idle I/O class for this thread (0: the calling thread).
    constexpr int kWhoProcess = 1;
    constexpr int kClassIdle = 3;
    constexpr int kClassShift = 13;
    ::syscall(SYS_ioprio_set, kWhoProcess, 0, kClassIdle << kClassShift);
    // The archive opened next goes first: files made while thousands are
    // being deleted take the file system longer to place.
    for (int waited = 0; waited < kHeadStartMs && !m_stop; waited += kPollMs)
        QThread::msleep(kPollMs);
    const QDir folder(m_folder);
    const QStringList entries =
        folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &name : entries) {
        if (m_stop)
            return;
        const QString entry = folder.filePath(name);
        const QFileInfo info(entry);
        if (info.isDir() && !info.isSymLink()) {
            if (!holdsChanges(entry))
                m_remove(entry, m_stop);
            continue;
        }
        // A record goes with its folder, and stays with one that holds changes.
        const QString recordOf = entry.chopped(WorkRecord::pathFor({}).size());
        if (WorkRecord::pathFor(recordOf) == entry && holdsChanges(recordOf) &&
            QFileInfo(recordOf).isDir())
            continue;
        if (!QFile::remove(entry))
            qWarning("a file set aside for removal could not be removed");
    }
}
