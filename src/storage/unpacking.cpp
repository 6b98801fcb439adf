#include "storage/unpacking.h"

#include "storage/longwork.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

QString folded(QString name)
{
    return name.replace(u'\\', u'/').toLower();
}

// The worker gives way to the program and to the disk reads of the page
// shown, without being starved by them as an idle one would be.
void lowerThisThread()
{
    constexpr int kNice = 19;
    if (::setpriority(PRIO_PROCESS, pid_t(::syscall(SYS_gettid)), kNice) != 0)
        qWarning("the unpacking could not be given a lower priority");
    constexpr int kWhoProcess = 1;
    constexpr int kClassBestEffort = 2;
    constexpr int kClassShift = 13;
    constexpr int kLowestLevel = 7;
    ::syscall(SYS_ioprio_set, kWhoProcess, 0, (kClassBestEffort << kClassShift) | kLowestLevel);
}

} // namespace

class Unpacking::Foreground {
public:
    explicit Foreground(Unpacking &unpacking) : m_unpacking(unpacking)
    {
        const std::lock_guard wait(m_unpacking.m_waitLock);
        ++m_unpacking.m_waiting;
    }
    ~Foreground()
    {
        {
            const std::lock_guard wait(m_unpacking.m_waitLock);
            --m_unpacking.m_waiting;
        }
        m_unpacking.m_wake.notify_all();
    }
    Foreground(const Foreground &) = delete;
    Foreground &operator=(const Foreground &) = delete;

private:
    Unpacking &m_unpacking;
};

Expected<std::shared_ptr<Unpacking>, ZipFailure> Unpacking::open(const QString &zipPath,
                                                                  const QString &folder)
{
    std::shared_ptr<Unpacking> unpacking(new Unpacking);
    if (auto opened = unpacking->m_reader.open(zipPath, folder); !opened)
        return opened.failure();
    unpacking->m_folder = folder;
    unpacking->m_extraction = std::make_unique<ZipExtraction>(unpacking->m_reader, folder);
    const QList<ZipReader::Entry> &entries = unpacking->m_reader.entries();
    for (qsizetype i = 0; i < entries.size(); ++i)
        unpacking->m_byFoldedName[folded(entries.at(i).name)].append(i);
    return unpacking;
}

Unpacking::~Unpacking()
{
    stop();
    if (m_worker.joinable())
        m_worker.detach(); // only when the worker itself let go of it last
    m_extraction.reset();
    m_reader.close();
}

void Unpacking::startWorker(std::function<void()> whenOver)
{
    if (m_worker.joinable() || m_over)
        return;
    m_whenOver = std::move(whenOver);
    m_worker = std::thread([this] { work(); });
}

void Unpacking::work()
{
    lowerThisThread();
    for (;;) {
        {
            std::unique_lock wait(m_waitLock);
            m_wake.wait(wait, [this] { return m_waiting == 0 || m_stopping; });
        }
        if (m_stopping)
            return;
        const std::unique_lock hold(m_unpacking);
        if (m_waiting > 0)
            continue;
        if (!step())
            break;
    }
    if (!m_stopping && m_whenOver)
        m_whenOver();
}

bool Unpacking::step()
{
    if (m_over)
        return false;
    if (m_extraction->step())
        return true;
    m_over = true;
    return false;
}

QStringList Unpacking::entriesOfPage(const QString &fileName) const
{
    const QList<ZipReader::Entry> &entries = m_reader.entries();
    QStringList names;
    const QString page = folded(fileName);
    for (qsizetype index : m_byFoldedName.value(page))
        names.append(entries.at(index).name);
    const qsizetype slash = page.lastIndexOf(u'/');
    const qsizetype dot = page.lastIndexOf(u'.');
    const QString stem = dot > slash ? page.left(dot) : page;
    const QString underscored = stem + QStringLiteral("_files/");
    const QString dotted = stem + QStringLiteral(".files/");
    for (auto it = m_byFoldedName.cbegin(); it != m_byFoldedName.cend(); ++it) {
        if (!it.key().startsWith(underscored) && !it.key().startsWith(dotted))
            continue;
        for (qsizetype index : it.value())
            names.append(entries.at(index).name);
    }
    return names;
}

QStringList Unpacking::entriesForPath(const QString &relativePath) const
{
    const QList<ZipReader::Entry> &entries = m_reader.entries();
    QStringList names;
    for (qsizetype index : m_byFoldedName.value(folded(relativePath)))
        names.append(entries.at(index).name);
    return names;
}

QStringList Unpacking::unpackedNot(const QStringList &names) const
{
    const QList<ZipReader::Entry> &entries = m_reader.entries();
    QStringList missing;
    for (const QString &name : names) {
        for (qsizetype index : m_byFoldedName.value(folded(name))) {
            if (entries.at(index).name == name && !m_extraction->isUnpacked(index)) {
                // A folder entry is made with the first file in it.
                if (!name.endsWith(u'/'))
                    missing.append(name);
                break;
            }
        }
    }
    return missing;
}

bool Unpacking::areUnpacked(const QStringList &names) const
{
    return unpackedNot(names).isEmpty();
}

bool Unpacking::unpackNow(const QStringList &names, std::chrono::milliseconds patience)
{
    QStringList missing = unpackedNot(names);
    if (missing.isEmpty())
        return true;
    if (m_over)
        return false;
    {
        const Foreground foreground(*this);
        std::unique_lock hold(m_unpacking, std::defer_lock);
        const bool held = patience == std::chrono::milliseconds::max()
                              ? (hold.lock(), true)
                              : hold.try_lock_for(patience);
        if (held) {
            // Brought to the front, they are the next steps.
            missing = unpackedNot(names);
            m_extraction->prioritise(missing);
            for (qsizetype i = 0; i < missing.size() && step(); ++i) {
            }
        }
    }
    return unpackedNot(names).isEmpty();
}

Expected<UnpackRecord, ZipFailure> Unpacking::unpackRest(WorkProgress *progress)
{
    {
        const Foreground foreground(*this);
        if (progress)
            progress->setTotal(int(m_extraction->pendingCount()));
        // Held a step at a time: the page view may want a file of its own meanwhile.
        for (;;) {
            const std::lock_guard hold(m_unpacking);
            if (!step())
                break;
            if (progress)
                progress->advance();
        }
    }
    return result();
}

Expected<UnpackRecord, ZipFailure> Unpacking::result() const
{
    const std::lock_guard hold(m_unpacking);
    if (!m_over)
        return ZipFailure{ZipFailure::Kind::Cancelled, m_reader.zipPath(), 0,
                          QStringLiteral("the unpacking is not over")};
    return m_extraction->result();
}

void Unpacking::stop()
{
    {
        const std::lock_guard wait(m_waitLock);
        m_stopping = true;
    }
    if (m_extraction)
        m_extraction->cancel();
    m_wake.notify_all();
    if (m_worker.joinable() && m_worker.get_id() != std::this_thread::get_id())
        m_worker.join();
    // Whoever unpacks an entry now ends it soon, the unpacking being stopped.
    const std::lock_guard hold(m_unpacking);
    m_over = true;
}
