#pragma once

#include <QByteArray>

struct stat;

// Reaches files and folders below one folder, one level at a time and never
// through a symbolic link, not even a link that replaces a folder half-way
// through: what the writer reads and what unpacking creates stays below the
// folder. The folder of the last file stays open, so that a run of files in
// one folder costs one system call each.
class FolderWalker {
public:
    enum class Missing {
        Fail,   // a missing folder on the way is an error (ENOENT)
        Create, // missing folders on the way are made
    };

    // root: an open descriptor of the folder; it stays the caller's.
    explicit FolderWalker(int root, Missing missing = Missing::Fail);
    ~FolderWalker();
    FolderWalker(const FolderWalker &) = delete;
    FolderWalker &operator=(const FolderWalker &) = delete;

    // The folder at relative ("/" between levels, "" for the root), open;
    // the descriptor stays the walker's. -1 with errno set when it cannot be
    // reached, ELOOP when it or a folder on the way is a link.
    int folder(const QByteArray &relative);
    // Opens the file at relative read-only; -1 with errno set when it cannot
    // be opened, ELOOP when it or a folder on the way is a link.
    int open(const QByteArray &relative);
    // The status of relative itself (a link is not followed); false with
    // errno set when it cannot be had.
    bool status(const QByteArray &relative, struct stat *st);

    // The folder part of relative and its last level: "a/b/c" gives "a/b" and "c".
    static QByteArray parentOf(const QByteArray &relative);
    static QByteArray nameOf(const QByteArray &relative);

private:
    int openLevel(int at, const QByteArray &name);
    void forgetFolder();

    int m_root;
    Missing m_missing;
    QByteArray m_folder;
    int m_folderFd = -1;
};
