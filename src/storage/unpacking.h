#pragma once

#include "base/expected.h"
#include "zip/unpackrecord.h"
#include "zip/zipextraction.h"
#include "zip/zipfailure.h"
#include "zip/zipreader.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class WorkProgress;

// The working copy of an archive while it is being made: the zip, checked as
// a whole when it is opened, is unpacked into the working folder entry by
// entry by a worker thread at low priority, while whoever needs some of its
// files (the page about to be shown, a file that page asks for) or all of them
// unpacks them at once on its own thread. One thread unpacks at a time; the
// worker waits while another does.
//
// Every function is safe from any thread.
class Unpacking {
public:
    // Opens zipPath for unpacking into folder; the failure when the zip cannot
    // be read or is refused by its check.
    static Expected<std::shared_ptr<Unpacking>, ZipFailure> open(const QString &zipPath,
                                                                  const QString &folder);
    ~Unpacking();
    Unpacking(const Unpacking &) = delete;
    Unpacking &operator=(const Unpacking &) = delete;

    // Starts the worker on the entries left; whenOver runs on it once the
    // unpacking is over, done or failed (not when it was stopped).
    void startWorker(std::function<void()> whenOver);

    // The entries a page needs: its file and what its companion folder holds
    // ("NAME_files", "NAME.files", letter case ignored).
    QStringList entriesOfPage(const QString &fileName) const;
    // The entries a file path below the folder, as a page asks for it, may
    // stand for: letter case ignored, "\" taken for "/".
    QStringList entriesForPath(const QString &relativePath) const;
    // Whether each of these entries is unpacked.
    bool areUnpacked(const QStringList &names) const;

    // Unpacks these entries now, on the calling thread, unless they are
    // unpacked already. True when they all are; false when the unpacking is
    // over without them (failed, stopped) or when another thread kept the
    // unpacking longer than patience.
    bool unpackNow(const QStringList &names,
                   std::chrono::milliseconds patience = std::chrono::milliseconds::max());
    // Unpacks every entry left on the calling thread, then the result.
    Expected<UnpackRecord, ZipFailure> unpackRest(WorkProgress *progress = nullptr);

    // Whether the unpacking is over: done, failed or stopped.
    bool isOver() const { return m_over; }
    // Once it is over: the record of what was unpacked, or why it failed.
    Expected<UnpackRecord, ZipFailure> result() const;

    // Stops the unpacking and waits until no thread unpacks any more; what
    // is unpacked stays in the folder.
    void stop();

private:
    Unpacking() = default;
    void work();
    // A step while holding the unpacking; false once it is over.
    bool step();
    QStringList unpackedNot(const QStringList &names) const;
    // Counts the thread as waiting to unpack: the worker gives way meanwhile.
    class Foreground;

    ZipReader m_reader;
    std::unique_ptr<ZipExtraction> m_extraction;
    QString m_folder;
    QHash<QString, QList<qsizetype>> m_byFoldedName; // lower case, "/" only

    mutable std::timed_mutex m_unpacking; // held by the thread unpacking an entry
    std::mutex m_waitLock;
    std::condition_variable m_wake;
    std::atomic<int> m_waiting{0}; // threads that want to unpack now
    std::atomic<bool> m_stopping{false};
    std::atomic<bool> m_over{false};
    std::function<void()> m_whenOver;
    std::thread m_worker;
};
