#pragma once

#include <QString>
#include <QThreadPool>
#include <atomic>
#include <functional>

// Folders the program is done with are moved aside into one folder kept for
// the purpose (a rename, at once, whatever they hold) and removed there by a
// worker thread at low priority, so that leaving an archive costs nothing the
// user waits for. Whatever a removal cut short leaves in that folder is
// finished the next time removal starts there (at the next start).
//
// Only what is in that folder is ever removed, and of it never a folder whose
// record beside it says it holds changes: only the program moves anything in.
class BackgroundRemoval {
public:
    // Removes one entry of the folder; stop says when to give up (the
    // program is closing). FolderRemoval by default; tests put a slow one in.
    using Remover = std::function<void(const QString &entry, const std::atomic_bool &stop)>;
    // Moves a folder to a new name; a rename by default.
    using Renamer = std::function<bool(const QString &from, const QString &to)>;

    explicit BackgroundRemoval(const QString &folder, Renamer rename = {});
    // Stops the removal between two files and waits for that: closing does
    // not wait for a removal, whose rest is finished at the next start.
    ~BackgroundRemoval();
    BackgroundRemoval(const BackgroundRemoval &) = delete;
    BackgroundRemoval &operator=(const BackgroundRemoval &) = delete;

    QString folder() const { return m_folder; }

    // Moves path into the folder under a name of its own and has it removed
    // there. False, with nothing moved, when there is nothing at path or the
    // rename fails (the caller then removes it where it is).
    bool moveAside(const QString &path);
    // Removes, on the worker thread, whatever is in the folder now.
    void start();
    // Waits until the removals started so far are done.
    void waitForDone();

    void setRemover(Remover remover) { m_remove = std::move(remover); }

private:
    void removeAll();

    const QString m_folder;
    const Renamer m_rename;
    Remover m_remove;
    std::atomic_bool m_stop = false;
    QThreadPool m_pool;
};
