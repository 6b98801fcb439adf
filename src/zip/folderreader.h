#pragma once

#include <QByteArray>

struct stat;

// Opens files below one folder for reading, one level at a time and never
// through a symbolic link, not even a link that replaces a folder half-way
// through. The folder of the last file stays open, so that a run of files in
// one folder costs one system call each.
class FolderReader {
public:
    // root: an open descriptor of the folder; it stays the caller's.
    explicit FolderReader(int root);
    ~FolderReader();
    FolderReader(const FolderReader &) = delete;
    FolderReader &operator=(const FolderReader &) = delete;

    // Opens relative ("/" between levels) read-only; -1 with errno set when it
    // cannot be opened, ELOOP when it or a folder on the way is a link.
    int open(const QByteArray &relative);
    // The status of relative itself (a link is not followed); false with
    // errno set when it cannot be had.
    bool status(const QByteArray &relative, struct stat *st);

private:
    int openFolder(const QByteArray &relative);

    int m_root;
    QByteArray m_folder;
    int m_folderFd = -1;
};
