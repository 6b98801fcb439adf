#include "zip/zipwriter.h"

#include "zip/entrycompressor.h"
#include "zip/entryname.h"
#include "base/uniquefd.h"
#include "zip/folderwalker.h"
#include "zip/zipformat.h"
#include "zip/zipguard.h"
#include "zip/zipoutput.h"

#include <QFile>
#include <QList>
#include <QSet>
#include <QThread>
#include <QThreadPool>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The entry being written may run ahead of the file by this much; the others
// share the writer's budget.
constexpr std::uint64_t kHeadQueue = 4 * EntryCompressor::kBlockSize;

} // namespace

// One entry on its way into the zip. The fields above the line are set before
// the threads start; the rest is guarded by Run::mutex.
struct Slot {
    QString name;
    QByteArray path;
    ZipFormat::Entry entry;
    const RecordedEntry *old = nullptr;
    QString refusal; // why the name itself cannot go in
    // ---
    enum class State { Waiting, Copy, Compressing, Done, Failed, Skipped };
    State state = State::Waiting;
    QList<QByteArray> blocks;
    std::uint64_t queued = 0;
    QString why;
    EntryCompressor::Result result;
    FileIdentity file;
};

struct ZipWriter::Run {
    explicit Run(ZipWriter &writer) : w(writer) {}

    ZipWriter &w;
    std::vector<Slot> slots;
    int rootFd = -1;
    const UnpackRecord *previous = nullptr;
    UniqueFd oldZip;
    std::uint64_t oldSize = 0;
    // The writer's thread only: what is written, and the directory to come.
    QString zipPath;
    ZipOutput *output = nullptr;
    QByteArray directory;
    std::uint64_t plainTotal = 0;

    std::mutex mutex;
    std::condition_variable produced; // a slot changed state or got a block
    std::condition_variable consumed; // blocks were taken or the head moved on
    std::atomic<std::size_t> next{0};
    std::size_t head = 0;
    bool failing = false;
    std::uint64_t buffered = 0;
    QSet<QString> failedNames; // the writer's thread only

    void work();
    void prepare(std::size_t i, FolderWalker &reader, EntryCompressor &compressor);
    void openPrevious(const UnpackRecord *record, const QString &folder);
    void fillSlots(const QStringList &files);
    void writeSlot(std::size_t i);
    bool writeCopy(std::unique_lock<std::mutex> &lock, Slot &slot);
    // Writes the compressed blocks as they come; false when the entry ends
    // unwritten (already failed, then), with written telling a write error.
    bool writeCompressed(std::unique_lock<std::mutex> &lock, Slot &slot, bool &written);
    bool finishZip(int files);
    bool push(std::size_t i, QByteArray &&block);
    void settle(Slot &slot, Slot::State state, const QString &why = {});
    void advance(std::unique_lock<std::mutex> &lock, Slot &slot);
    void fail(const Slot &slot, const QString &why);
    bool copyable(const Slot &slot, const FileIdentity &file) const;
};

void ZipWriter::Run::work()
{
    FolderWalker reader(rootFd);
    EntryCompressor compressor;
    for (;;) {
        const std::size_t i = next.fetch_add(1);
        if (i >= slots.size())
            return;
        prepare(i, reader, compressor);
    }
}

void ZipWriter::Run::settle(Slot &slot, Slot::State state, const QString &why)
{
    std::lock_guard lock(mutex);
    slot.state = state;
    slot.why = why;
    produced.notify_all();
}

bool ZipWriter::Run::copyable(const Slot &slot, const FileIdentity &file) const
{
    const RecordedEntry *old = slot.old;
    return old && oldZip && file == old->file && file.size == old->uncompressedSize &&
           old->dataOffset + old->compressedSize <= oldSize &&
           (old->method == ZipFormat::kMethodStored || old->method == ZipFormat::kMethodDeflated);
}

void ZipWriter::Run::prepare(std::size_t i, FolderWalker &reader, EntryCompressor &compressor)
{
    Slot &slot = slots[i];
    if (!slot.refusal.isEmpty())
        return settle(slot, Slot::State::Failed, slot.refusal);
    if (w.onProgress)
        w.onProgress(slot.name, 0);
    struct stat st {};
    // An entry to copy needs no more than the file's status, unless that
    // status cannot tell a change made just after it was recorded.
    if (slot.old && reader.status(slot.path, &st) && S_ISREG(st.st_mode) &&
        copyable(slot, FileIdentity::of(st)) &&
        !previous->mayHaveChangedUnseen(FileIdentity::of(st))) {
        std::lock_guard lock(mutex);
        slot.entry.dosDate = ZipFormat::toDosDate(st.st_mtime);
        slot.file = FileIdentity::of(st);
        slot.state = failing ? Slot::State::Skipped : Slot::State::Copy;
        produced.notify_all();
        return;
    }
    UniqueFd file(reader.open(slot.path));
    if (!file) {
        return settle(slot, Slot::State::Failed,
                      errno == ELOOP
                          ? QStringLiteral("it is a symbolic link")
                          : QStringLiteral("it cannot be opened: %1").arg(qt_error_string(errno)));
    }
    if (fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return settle(slot, Slot::State::Failed, QStringLiteral("it is not a regular file"));
    const FileIdentity identity = FileIdentity::of(st);
    bool copy = copyable(slot, identity);
    if (copy && previous->mayHaveChangedUnseen(identity))
        copy = compressor.holds(file.get(), st, slot.old->uncompressedSize, slot.old->crc);
    {
        std::lock_guard lock(mutex);
        slot.entry.dosDate = ZipFormat::toDosDate(st.st_mtime);
        slot.file = identity;
        slot.state = failing ? Slot::State::Skipped
                     : copy  ? Slot::State::Copy
                             : Slot::State::Compressing;
        produced.notify_all();
        if (slot.state != Slot::State::Compressing)
            return;
    }
    bool stopped = false;
    const EntryCompressor::Result result =
        compressor.compress(file.get(), st, ZipLimits::kMaxEntrySize, [&](QByteArray &&block) {
            const qint64 size = block.size();
            stopped = !push(i, std::move(block));
            if (!stopped && w.onProgress)
                w.onProgress(slot.name, size);
            return !stopped;
        });
    std::lock_guard lock(mutex);
    if (result.ok) {
        slot.result = result;
        slot.file = result.file;
        slot.state = Slot::State::Done;
    } else {
        slot.state = stopped ? Slot::State::Skipped : Slot::State::Failed;
        slot.why = result.error;
    }
    produced.notify_all();
}

bool ZipWriter::Run::push(std::size_t i, QByteArray &&block)
{
    Slot &slot = slots[i];
    const auto size = std::uint64_t(block.size());
    std::unique_lock lock(mutex);
    // The entry being written only waits for the writer to take what it has;
    // the others wait for their share of the budget.
    consumed.wait(lock, [&] {
        return failing || (i == head ? slot.queued < kHeadQueue : buffered + size <= w.m_budget);
    });
    if (failing)
        return false;
    slot.blocks.push_back(std::move(block));
    slot.queued += size;
    buffered += size;
    w.m_peakBuffered = std::max(w.m_peakBuffered, buffered);
    produced.notify_all();
    return true;
}

void ZipWriter::Run::advance(std::unique_lock<std::mutex> &, Slot &slot)
{
    buffered -= slot.queued;
    slot.queued = 0;
    slot.blocks.clear();
    ++head;
    consumed.notify_all();
}

void ZipWriter::Run::fail(const Slot &slot, const QString &why)
{
    if (!failedNames.contains(slot.name)) {
        failedNames.insert(slot.name);
        w.m_failed << slot.name;
    }
    if (w.m_error.isEmpty())
        w.m_error = QStringLiteral("\"%1\": %2").arg(EntryName::forMessage(slot.name), why);
}

ZipWriter::ZipWriter() = default;
ZipWriter::~ZipWriter() = default;

bool ZipWriter::write(const QString &folder, const QStringList &files, const QString &zipPath,
                      const UnpackRecord *previous)
{
    m_failed.clear();
    m_error.clear();
    m_copied = 0;
    m_peakBuffered = 0;
    m_written.clear();

    Run run(*this);
    const UniqueFd root = UniqueFd::open(folder, O_RDONLY | O_DIRECTORY);
    UniqueFd out = UniqueFd::open(zipPath, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW, 0666);
    if (!root || !out) {
        m_failed = files;
        m_error = !root ? QStringLiteral("the folder \"%1\" cannot be read").arg(folder)
                        : QStringLiteral("\"%1\" cannot be created: %2")
                              .arg(zipPath, qt_error_string(errno));
        return false;
    }
    run.rootFd = root.get();
    run.zipPath = zipPath;
    run.openPrevious(previous, folder);
    run.fillSlots(files);

    const int threads = std::max(
        1, std::min(m_threads > 0 ? m_threads : QThread::idealThreadCount(), int(files.size())));
    QThreadPool pool;
    pool.setMaxThreadCount(threads);
    for (int t = 0; t < threads && !files.isEmpty(); ++t)
        pool.start([&run] { run.work(); });
    ZipOutput output(out.get());
    run.output = &output;
    for (std::size_t i = 0; i < run.slots.size(); ++i)
        run.writeSlot(i);
    pool.waitForDone();

    if (m_failed.isEmpty() && !run.finishZip(int(files.size())))
        m_failed = files;
    if (!out.close() && m_failed.isEmpty()) {
        m_failed = files;
        m_error = QStringLiteral("writing \"%1\" failed: %2").arg(zipPath, qt_error_string(errno));
    }
    if (!m_failed.isEmpty()) {
        m_written.clear();
        return false;
    }
    m_written.setFolder(folder);
    m_written.seal();
    return true;
}

// The older zip is used only while it is the very file that was recorded.
void ZipWriter::Run::openPrevious(const UnpackRecord *record, const QString &folder)
{
    previous = record;
    if (!record || !record->isValid() || record->folder() != UnpackRecord::folderKey(folder))
        return;
    oldZip = UniqueFd::open(record->zipPath(), O_RDONLY | O_NONBLOCK);
    struct stat st {};
    if (oldZip && (fstat(oldZip.get(), &st) != 0 || FileIdentity::of(st) != record->zip()))
        oldZip.reset();
    oldSize = record->zip().size;
}

void ZipWriter::Run::fillSlots(const QStringList &files)
{
    slots.resize(std::size_t(files.size()));
    for (qsizetype i = 0; i < files.size(); ++i) {
        Slot &slot = slots[std::size_t(i)];
        slot.name = files.at(i);
        slot.path = QFile::encodeName(slot.name);
        // The one check of names, shared with everything that takes files in:
        // a name that would be changed is refused, not stored as another.
        slot.refusal = EntryName::storingProblem(slot.name);
        const auto encoded = slot.refusal.isEmpty() ? EntryName::encode(slot.name, &slot.refusal)
                                                    : std::optional<EntryName::Encoded>();
        if (encoded) {
            slot.entry.name = encoded->name;
            slot.entry.extra = encoded->extra;
            slot.entry.flags = encoded->flags;
        }
        if (std::uint64_t(i) >= ZipLimits::kMaxEntries)
            slot.refusal =
                QStringLiteral("an archive may hold at most %1 files").arg(ZipLimits::kMaxEntries);
        if (oldZip)
            slot.old = previous->find(slot.name);
    }
}

// Writes entry i once its file is read (and, when it is compressed, as its
// blocks come), then its directory record.
void ZipWriter::Run::writeSlot(std::size_t i)
{
    Slot &slot = slots[i];
    std::unique_lock lock(mutex);
    produced.wait(lock, [&] { return slot.state != Slot::State::Waiting; });
    if (failing) {
        // Nothing more is written; only what cannot go in is still named.
        produced.wait(lock, [&] { return slot.state != Slot::State::Compressing; });
        if (slot.state == Slot::State::Failed)
            fail(slot, slot.why);
        advance(lock, slot);
        return;
    }
    const auto failHere = [&](const QString &why) {
        fail(slot, why);
        failing = true;
        advance(lock, slot);
    };
    const QString tooBig = QStringLiteral("with this file the archive would pass 4 GiB");
    if (slot.state == Slot::State::Failed)
        return failHere(slot.why);
    const std::uint64_t headerAt = output->offset();
    if (headerAt > ZipLimits::kMaxZipSize)
        return failHere(tooBig);
    bool written = true;
    if (slot.state == Slot::State::Copy) {
        written = writeCopy(lock, slot);
    } else {
        if (!writeCompressed(lock, slot, written))
            return failHere(slot.why);
        if (written && slot.result.compressedSize > ZipLimits::kMaxZipSize)
            return failHere(tooBig);
        char fields[12];
        ZipFormat::putCrcAndSizes(fields, slot.entry.crc, slot.entry.compressedSize,
                                  slot.entry.uncompressedSize);
        written = written &&
                  output->patch(headerAt + ZipFormat::kLocalCrcOffset, fields, sizeof fields);
    }
    if (!written) {
        if (w.m_error.isEmpty())
            w.m_error = QStringLiteral("writing \"%1\" failed: %2")
                            .arg(zipPath, qt_error_string(output->error()));
        failing = true;
        advance(lock, slot);
        lock.unlock();
        for (std::size_t j = i; j < slots.size(); ++j)
            fail(slots[j], qt_error_string(output->error()));
        return;
    }
    const ZipFormat::Entry &entry = slot.entry;
    plainTotal += entry.uncompressedSize;
    if (plainTotal > ZipLimits::kMaxTotalSize)
        return failHere(tooBig);
    ZipFormat::appendCentralHeader(directory, entry, std::uint32_t(headerAt));
    w.m_written.add({slot.name,
                     headerAt + ZipFormat::kLocalHeaderSize +
                         std::uint64_t(entry.name.size() + entry.extra.size()),
                     entry.compressedSize, entry.uncompressedSize, entry.crc, entry.method,
                     entry.flags, entry.internalAttributes, slot.file});
    advance(lock, slot);
}

// The old zip's compressed data as it is, under today's header.
bool ZipWriter::Run::writeCopy(std::unique_lock<std::mutex> &lock, Slot &slot)
{
    lock.unlock();
    ZipFormat::Entry &entry = slot.entry;
    const RecordedEntry &old = *slot.old;
    entry.method = old.method;
    if (old.method == ZipFormat::kMethodDeflated)
        entry.flags |= old.flags & ZipFormat::kDeflateOptionBits;
    entry.crc = old.crc;
    entry.compressedSize = old.compressedSize;
    entry.uncompressedSize = old.uncompressedSize;
    entry.internalAttributes = old.internalAttributes;
    const bool written = output->append(ZipFormat::localHeader(entry)) &&
                         output->copyFrom(oldZip.get(), old.dataOffset, old.compressedSize);
    lock.lock();
    w.m_copied += written ? 1 : 0;
    return written;
}

// Blocks are written as they come; sizes and CRC go into the header before it
// is written when the entry is done by then, otherwise afterwards.
bool ZipWriter::Run::writeCompressed(std::unique_lock<std::mutex> &lock, Slot &slot,
                                     bool &written)
{
    ZipFormat::Entry &entry = slot.entry;
    entry.method = ZipFormat::kMethodDeflated;
    entry.flags |= ZipFormat::kMaximumCompression;
    bool headerDone = false;
    bool complete = false;
    for (;;) {
        produced.wait(lock, [&] {
            return !slot.blocks.empty() || slot.state != Slot::State::Compressing;
        });
        if (slot.state == Slot::State::Failed || slot.state == Slot::State::Skipped)
            break;
        QList<QByteArray> blocks;
        blocks.swap(slot.blocks);
        buffered -= slot.queued;
        slot.queued = 0;
        consumed.notify_all();
        complete = slot.state == Slot::State::Done;
        if (complete) {
            entry.crc = slot.result.crc;
            entry.compressedSize = std::uint32_t(slot.result.compressedSize);
            entry.uncompressedSize = std::uint32_t(slot.result.uncompressedSize);
            entry.internalAttributes = slot.result.text ? 1 : 0;
        }
        lock.unlock();
        if (!headerDone)
            written = output->append(ZipFormat::localHeader(entry));
        headerDone = true;
        for (const QByteArray &block : blocks)
            written = written && output->append(block);
        lock.lock();
        if (complete || !written)
            break;
    }
    return !written || complete;
}

bool ZipWriter::Run::finishZip(int files)
{
    const std::uint64_t directoryAt = output->offset();
    const std::uint64_t end =
        directoryAt + std::uint64_t(directory.size()) + ZipFormat::kEndRecordSize;
    if (end > ZipLimits::kMaxZipSize) {
        w.m_error = QStringLiteral("the archive would pass 4 GiB");
        return false;
    }
    if (!output->append(directory) ||
        !output->append(ZipFormat::endRecord(std::uint16_t(files), std::uint32_t(directory.size()),
                                             std::uint32_t(directoryAt))) ||
        !output->flush()) {
        w.m_error = QStringLiteral("writing \"%1\" failed: %2")
                        .arg(zipPath, qt_error_string(output->error()));
        return false;
    }
    return true;
}
