#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class PageListModel;

// What reading a list file found.
struct [[nodiscard]] ListFileRead {
    enum class Status {
        Ok,       // read; its pages were appended (there may be none)
        Missing,  // no file, or it cannot be read
        NoHeader, // not a list file: no pages
        Damaged,  // it cannot belong to an archive: nothing was appended, refuse the archive
    };
    Status status = Status::Ok;
    QString reason; // why it is damaged, for the damaged-archive message
    // Lines left out because their file name would lead outside the archive's
    // folder (absolute, "..", a drive, a control character).
    QStringList refusedFileNames;
    // The same entries as whole lines ("title=file name"), to be kept unused
    // in the list written back.
    QStringList refusedLines;

    bool ok() const { return status == Status::Ok; }
};

// "listfile.txt" at the top of every archive: the page titles in the user's
// order, each with the file name of its page. Windows-1251 as long as every
// title and file name fits it, so that older copies of the program on Windows
// keep reading it; otherwise UTF-8 behind a byte-order mark.
namespace ListFile {

inline constexpr char FileName[] = "listfile.txt";
inline constexpr char Header[] = "[This is list files by Tomekeeper]";
inline constexpr char End[] = "[end]";

QString path(const QString &folder);

// The bytes writeListFile writes for these pages. A title is cut at its first
// "=" when read, so "=" in a title is written as "-": the page keeps its file.
// keptLines (lines read but not used, see ListFileRead::refusedLines) follow
// the pages as they were.
QByteArray compose(const QStringList &titles, const QStringList &fileNames,
                   const QStringList &keptLines = {});
// Appends the entries of a list file's bytes. Entries whose file name is not
// safe are left out and listed; a list of more pages than an archive can hold
// entries is damaged and appends nothing.
ListFileRead parseChecked(const QByteArray &bytes, QStringList &titles, QStringList &fileNames);
// parseChecked; false when the header is missing.
bool parse(const QByteArray &bytes, QStringList &titles, QStringList &fileNames);
// The bytes of an appendToListFile on a file holding bytes. Every line of the
// list stays, whatever its last lines are ("[end]" or not, blank lines after
// it, LF line ends); the new entry and "[end]" follow them.
QByteArray appendEntry(const QByteArray &bytes, const QString &title, const QString &fileName);

// Whether a list file that parseChecked read as read, giving pagesRead pages,
// holds more than a list written from those pages would: it has no header,
// or none of its lines could be read (they end without CR) though it lists
// pages. Such a file must be kept when a new list takes its place.
bool isUnreadable(const QByteArray &bytes, const ListFileRead &read, qsizetype pagesRead);
// Renames the list file in folder to a free name beside it
// ("listfile-unreadable.txt", "listfile-unreadable-1.txt", ...), so that it
// stays in the archive. The new path, or empty when it could not be renamed.
QString keepAside(const QString &folder);

// Why a page file name from a list file must not be used; empty when it names
// a file inside the archive's folder ("sub/page.htm" and "sub\page.htm" do).
QString unsafeFileNameReason(const QString &fileName);

// How the bytes of a list file are read: a BOM or valid UTF-8 means UTF-8,
// anything else is Windows-1251.
bool readsAsUtf8(const QByteArray &bytes);
QString decode(const QByteArray &bytes, bool utf8);
// Windows-1251 when the whole text fits and reads back as such, else UTF-8 with a BOM.
QByteArray encode(const QString &text);

} // namespace ListFile

// Writes folder/listfile.txt from the pages. False when the folder does not
// exist or the file could not be written.
bool writeListFile(const QString &folder, const PageListModel &pages);

// Appends the entries of the list file at listFilePath to pages and says what
// it found. An archive whose list file is Damaged must not be opened: cutting
// the list short would lose the other titles at the next write-back.
ListFileRead readListFileChecked(const QString &listFilePath, PageListModel &pages);

// readListFileChecked; true when pages then holds at least one page.
bool readListFile(const QString &listFilePath, PageListModel &pages);

// Adds the entry title=fileName to folder/listfile.txt, keeping "[end]" last.
// False, with nothing changed, when the folder or its list file is missing or
// the file could not be written.
bool appendToListFile(const QString &folder, const QString &title, const QString &fileName);

// The whole file, byte for byte; false when it does not exist or cannot be read.
bool readWholeFile(const QString &path, QByteArray &text);

// Replaces the file at path with exactly these bytes; the old file stays
// until the new one is complete.
bool saveWholeFile(const QString &path, const QByteArray &text);
