#include "storage/listfile.h"

#include "lang/cp1251.h"
#include "storage/pagelistmodel.h"
#include "zip/entryname.h"
#include "zip/zipguard.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

const QByteArray kBom("\xEF\xBB\xBF");
const QString kCrLf = QStringLiteral("\r\n");

bool isAscii(const QByteArray &bytes)
{
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

// Lines as a text editor loads them: CR LF, CR or LF end a line, and a line
// break at the very end opens no further line.
QStringList splitLines(const QString &text)
{
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c != u'\r' && c != u'\n')
            continue;
        lines << text.mid(start, i - start);
        if (c == u'\r' && i + 1 < n && text.at(i + 1) == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines << text.mid(start);
    return lines;
}

// A title cannot hold the list file's separator; the rest of a title stays.
QString storableTitle(const QString &title)
{
    QString t = title;
    t.replace(u'=', u'-');
    return t;
}

// What reading a list file's bytes found, and where its entries lie: from
// the end of the header line to the end of the last entry, past its line
// break. Both -1 when no line after the header ends in CR, so that no entry
// can be read.
struct Scan {
    ListFileRead read;
    qsizetype start = -1;
    qsizetype end = -1;
};

Scan scanEntries(const QByteArray &bytes, QStringList &titles, QStringList &fileNames)
{
    Scan scan;
    ListFileRead &result = scan.read;
    if (!bytes.contains(ListFile::Header)) {
        result.status = ListFileRead::Status::NoHeader;
        return scan;
    }
    const bool utf8 = ListFile::readsAsUtf8(bytes);

    // Everything up to the first "]" followed by CR (the header's) goes, and an LF after it.
    qsizetype pos = bytes.indexOf("]\r");
    if (pos < 0)
        return scan; // no line ends in CR: no entry can be complete
    pos += 2;
    if (pos < bytes.size() && bytes.at(pos) == '\n')
        ++pos;
    scan.start = scan.end = pos;

    // The title runs to the first "=", the file name from there to the next
    // CR. What is left at the end ("[end]", with or without CR LF) is shorter
    // than 7 bytes and ends the loop.
    QStringList newTitles;
    QStringList newFiles;
    qsizetype entries = 0;
    do {
        const qsizetype eq = bytes.indexOf('=', pos);
        if (eq < 0)
            break;
        const qsizetype cr = bytes.indexOf('\r', eq + 1);
        if (cr < 0)
            break; // the last entry is incomplete
        // Every page is at least one file of its archive.
        if (++entries > qsizetype(ZipLimits::kMaxEntries)) {
            result.status = ListFileRead::Status::Damaged;
            result.reason = QStringLiteral("the list of pages has more than %1 entries")
                                .arg(ZipLimits::kMaxEntries);
            return scan;
        }
        const QString title = ListFile::decode(bytes.mid(pos, eq - pos), utf8);
        const QString file = ListFile::decode(bytes.mid(eq + 1, cr - eq - 1), utf8);
        pos = cr + 1;
        if (pos < bytes.size() && bytes.at(pos) == '\n' && bytes.size() - pos > 3)
            ++pos;
        scan.end = pos;
        if (!ListFile::unsafeFileNameReason(file).isEmpty()) {
            result.refusedFileNames << file;
            result.refusedLines << title + u'=' + file;
            continue;
        }
        newTitles << title;
        newFiles << file;
    } while (bytes.size() - pos >= 7);
    titles << newTitles;
    fileNames << newFiles;
    return scan;
}

} // namespace

namespace ListFile {

QString path(const QString &folder)
{
    return folder + u'/' + QLatin1String(FileName);
}

bool readsAsUtf8(const QByteArray &bytes)
{
    return bytes.startsWith(kBom) || isValidUtf8(bytes);
}

QString decode(const QByteArray &bytes, bool utf8)
{
    if (!utf8)
        return Cp1251::decode(bytes);
    return QString::fromUtf8(bytes.startsWith(kBom) ? bytes.mid(kBom.size()) : bytes);
}

QByteArray encode(const QString &text)
{
    if (const auto bytes = Cp1251::encode(text)) {
        // Code-page bytes that happen to form valid UTF-8 would be read back
        // as UTF-8 and come out as other letters.
        if (isAscii(*bytes) || !isValidUtf8(*bytes))
            return *bytes;
    }
    return kBom + text.toUtf8();
}

QByteArray compose(const QStringList &titles, const QStringList &fileNames,
                   const QStringList &keptLines)
{
    QString text = QLatin1String(Header) + kCrLf;
    const qsizetype n = qMin(titles.size(), fileNames.size());
    for (qsizetype i = 0; i < n; ++i)
        text += storableTitle(titles.at(i)) + u'=' + fileNames.at(i) + kCrLf;
    for (const QString &line : keptLines)
        text += line + kCrLf;
    text += QLatin1String(End);
    return encode(text);
}

ListFileRead parseChecked(const QByteArray &bytes, QStringList &titles, QStringList &fileNames)
{
    return scanEntries(bytes, titles, fileNames).read;
}

bool parse(const QByteArray &bytes, QStringList &titles, QStringList &fileNames)
{
    return parseChecked(bytes, titles, fileNames).status != ListFileRead::Status::NoHeader;
}

QString unsafeFileNameReason(const QString &fileName)
{
    // An empty name names no file and leads nowhere.
    if (fileName.isEmpty())
        return {};
    // The rules for names in the zip itself: only those can be pages.
    QString name = fileName;
    name.replace(u'\\', u'/');
    return EntryName::unsafeReason(name);
}

QByteArray appendEntry(const QByteArray &bytes, const QString &title, const QString &fileName)
{
    QByteArray list = bytes;
    QStringList titles;
    QStringList files;
    Scan scan = scanEntries(list, titles, files);
    if (scan.end < 0) {
        // No line after the header ends in CR: the lines are given CR LF
        // first, as a text editor would save them, below a header line of
        // their own when none ends the way the header does.
        QString text;
        for (const QString &line : splitLines(decode(list, readsAsUtf8(list))))
            text += line + kCrLf;
        if (!text.contains(QLatin1String("]\r")))
            text.prepend(QLatin1String(Header) + kCrLf);
        list = encode(text);
        scan = scanEntries(list, titles, files);
    }
    // The entries are kept as they stand, so that every page keeps its line
    // as it was read, between a header line and the end marker of our own:
    // what lies before the header line or after the last entry is no entry.
    QString text = QLatin1String(Header) + kCrLf;
    if (scan.end >= 0) {
        qsizetype end = scan.end;
        if (end > scan.start && end < list.size() && list.at(end - 1) == '\r' &&
            list.at(end) == '\n')
            ++end;
        text += decode(list.mid(scan.start, end - scan.start), readsAsUtf8(list));
    }
    text += storableTitle(title) + u'=' + fileName + kCrLf + QLatin1String(End) + kCrLf;
    return encode(text);
}

bool isUnreadable(const QByteArray &bytes, const ListFileRead &read, qsizetype pagesRead)
{
    if (read.status == ListFileRead::Status::NoHeader)
        return !bytes.trimmed().isEmpty();
    if (read.status != ListFileRead::Status::Ok || pagesRead > 0 || !read.refusedLines.isEmpty())
        return false;
    const qsizetype header = bytes.indexOf(Header);
    return bytes.indexOf('=', header + qsizetype(sizeof(Header) - 1)) >= 0;
}

QString keepAside(const QString &folder)
{
    const QString stem = folder + QStringLiteral("/listfile-unreadable");
    QString target = stem + QStringLiteral(".txt");
    for (int n = 1; QFileInfo::exists(target) || QFileInfo(target).isSymLink(); ++n)
        target = stem + u'-' + QString::number(n) + QStringLiteral(".txt");
    return QFile::rename(path(folder), target) ? target : QString();
}

} // namespace ListFile

bool writeListFile(const QString &folder, const PageListModel &pages)
{
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return false;
    return saveWholeFile(ListFile::path(folder),
                         ListFile::compose(pages.titles(), pages.fileNames()));
}

ListFileRead readListFileChecked(const QString &listFilePath, PageListModel &pages)
{
    QByteArray bytes;
    if (!readWholeFile(listFilePath, bytes))
        return {ListFileRead::Status::Missing, {}, {}, {}};
    QStringList titles;
    QStringList files;
    const ListFileRead result = ListFile::parseChecked(bytes, titles, files);
    for (qsizetype i = 0; i < titles.size(); ++i)
        pages.append(titles.at(i), files.at(i));
    return result;
}

bool readListFile(const QString &listFilePath, PageListModel &pages)
{
    // The older form: what the file held is told by the pages it added.
    [[maybe_unused]] const ListFileRead result = readListFileChecked(listFilePath, pages);
    return pages.count() > 0;
}

bool appendToListFile(const QString &folder, const QString &title, const QString &fileName)
{
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return false;
    const QString path = ListFile::path(folder);
    if (!QFileInfo(path).isFile())
        return false;
    QByteArray bytes;
    if (!readWholeFile(path, bytes))
        return false;
    return saveWholeFile(path, ListFile::appendEntry(bytes, title, fileName));
}

bool readWholeFile(const QString &path, QByteArray &text)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return false;
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return false;
    text = std::move(bytes);
    return true;
}

bool saveWholeFile(const QString &path, const QByteArray &text)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(text) != text.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
