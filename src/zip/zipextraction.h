#pragma once

#include "base/expected.h"
#include "base/uniquefd.h"
#include "zip/unpackrecord.h"
#include "zip/zipfailure.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <atomic>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class FolderWalker;
class ZipReader;

// Unpacks the entries of an open zip into a folder, one entry a step, in the
// zip's order unless asked otherwise: entries can be brought to the front
// while the unpacking runs, and the unpacking can be stopped. Whatever the
// order, it ends with the same record.
//
// What an archive names below the folder is created without following links
// (the folder itself is the caller's choice and may lie behind one); a file
// already there is replaced by a new one, never written into. A failed entry
// leaves no half-written file; what was unpacked before it stays, for the
// caller to remove. The zip must have been opened for this folder (see
// ZipReader::open), so that it was checked as a whole before the first step.
class ZipExtraction {
public:
    ZipExtraction(ZipReader &reader, const QString &folder);
    ~ZipExtraction();
    ZipExtraction(const ZipExtraction &) = delete;
    ZipExtraction &operator=(const ZipExtraction &) = delete;

    // The entries of these names are unpacked next, in this order, unless
    // they are unpacked already. Safe from any thread.
    void prioritise(const QStringList &names);
    // Stops the unpacking: the next step, or the entry being unpacked, ends
    // it. Safe from any thread.
    void cancel();
    // Whether the entry at index is unpacked. Safe from any thread.
    bool isUnpacked(qsizetype index) const;
    // The number of entries not unpacked yet.
    qsizetype pendingCount() const;

    // Unpacks the next entry. True while entries are left to unpack; false
    // when the unpacking is over: done, failed or stopped (see result()).
    bool step();
    // Every step that is left, then the result.
    Expected<UnpackRecord, ZipFailure> run();
    // Once the steps are over: the record of what was unpacked (empty when
    // the zip changed meanwhile, or a file could not be looked at), or why
    // the unpacking failed.
    Expected<UnpackRecord, ZipFailure> result() const;

private:
    bool fail(const ZipFailure &failure);
    bool openFolder();
    bool unpack(qsizetype index);
    bool unpackFile(qsizetype index, int parent, const QByteArray &name);
    // Streams entry index into fd; why not, when it was not written whole.
    std::optional<ZipFailure> writeContent(qsizetype index, int fd, std::uint64_t &dataOffset);
    ZipFailure cannotWrite(qsizetype index, int error) const;
    void finish();

    ZipReader &m_reader;
    const QString m_folder; // with a trailing "/"
    UniqueFd m_folderFd;
    std::unique_ptr<FolderWalker> m_walker;
    UnpackRecord m_record;
    bool m_recording = true;
    std::optional<ZipFailure> m_failure;
    bool m_over = false;

    mutable std::mutex m_mutex; // guards the queue and what is unpacked
    std::deque<qsizetype> m_pending;
    std::vector<bool> m_unpacked;
    QHash<QString, qsizetype> m_byName;
    std::atomic<bool> m_cancelled{false};
};
