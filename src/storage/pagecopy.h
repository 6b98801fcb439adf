#pragma once

#include "base/expected.h"
#include "storage/storagefailure.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

class ArchiveBudget;

// A file taken into an archive, to be deleted at its old place once a copy
// of it is safe inside a zip that was written back.
struct TakenFile {
    QString source;
    QString copy;
    QByteArray sourceHash; // of the source's bytes as they were read
    QByteArray copyHash;   // of the bytes written (a page whose references were rewritten differs)
};

// Copies a page file with its companion folder into a target folder: the
// routine every command that brings pages in shares. The companion folder
// (name + ".files" when there is one, else name + "_files") comes whole,
// sub-folders included; links are never followed. A page never takes a name,
// or a companion folder, that is already there: it gets a free name by the
// renaming rule (news.htm → news_1.htm with news_1_files), and its HTML's
// references to the folder are rewritten to match. A page whose references
// cannot be rewritten with certainty is refused. Nothing is ever replaced
// or merged, and sources are never deleted here.
class PageCopier {
public:
    enum class Result {
        Copied,
        NotAFile, // skipped: the path is missing or a folder
        Refused,  // not taken, for the reason in failure(); the next page may go on
        Failed,   // a file could not be read or written: nothing of this page stays
    };

    explicit PageCopier(const QString &targetFolder);

    // Sources inside these folders are refused (the program's own folders).
    void setProtectedFolders(const QStringList &folders) { m_protected = folders; }
    // Refuses what the archive could not hold; counted in as pages are copied.
    void setBudget(ArchiveBudget *budget) { m_budget = budget; }

    Result copyPage(const QString &sourcePath);

    // Of the last copyPage: the page's file name in the target folder, why it
    // was refused or failed, and what was taken (page file first).
    QString fileName() const { return m_fileName; }
    const StorageFailure &failure() const { return m_failure; }
    // Of the last copyPage that copied: the page's own name when a zip could
    // not keep it, so that it came in as fileName() (the user is told); empty
    // when it kept its name.
    QString unstorableName() const { return m_unstorableName; }
    const QList<TakenFile> &taken() const { return m_taken; }
    // The source companion folder and the folders below it, deepest first.
    const QStringList &takenFolders() const { return m_takenFolders; }

    // The companion folder of the page file fileName in folder (empty when
    // it has none): base + ".files" when that exists, else base + "_files".
    static QString companionFolderOf(const QString &folder, const QString &fileName);

    // Rewrites the references to folder oldName in a page's HTML to newName:
    // raw in the page's own encoding, and percent-encoded. False, html
    // untouched, when that cannot be done with certainty: an unknown or
    // two-byte encoding, a web archive, no reference found, or newName
    // already in use.
    static bool rewriteFolderReferences(QByteArray &html, const QString &pageFileName,
                                        const QString &oldName, const QString &newName);

    // Copies one file through a temporary file: the SHA-256 of what passed,
    // or why it could not be read or written.
    static Expected<QByteArray, StorageFailure> copyFile(const QString &source,
                                                         const QString &destination);

private:
    struct Incoming;
    Result fail(const StorageFailure &failure);
    Result refuse(StorageFailure::Kind kind, const QString &path);
    std::optional<StorageFailure> refusalOf(Incoming &page);
    Result copyPageFile(const Incoming &page, const QString &pageCopy, const QString &folderName);
    bool copyTree(const QString &from, const QString &to);
    void undo();

    QString m_target;
    QStringList m_protected;
    ArchiveBudget *m_budget = nullptr;
    QString m_fileName;
    StorageFailure m_failure;
    QString m_unstorableName;
    QList<TakenFile> m_taken;
    QStringList m_takenFolders;
    QStringList m_created; // made by this copy, removed again when it fails
};
