#include "storage/listfile.h"

#include "lang/cp1251.h"
#include "storage/pagelistmodel.h"

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

QByteArray compose(const QStringList &titles, const QStringList &fileNames)
{
    QString text = QLatin1String(Header) + kCrLf;
    const qsizetype n = qMin(titles.size(), fileNames.size());
    for (qsizetype i = 0; i < n; ++i)
        text += titles.at(i) + u'=' + fileNames.at(i) + kCrLf;
    text += QLatin1String(End);
    return encode(text);
}

bool parse(const QByteArray &bytes, QStringList &titles, QStringList &fileNames)
{
    if (!bytes.contains(Header))
        return false;
    const bool utf8 = readsAsUtf8(bytes);

    // Everything up to the first "]" followed by CR (the header's) goes, and an LF after it.
    qsizetype pos = bytes.indexOf("]\r");
    if (pos < 0)
        return true; // no line ends in CR: no entry can be complete
    pos += 2;
    if (pos < bytes.size() && bytes.at(pos) == '\n')
        ++pos;

    // The title runs to the first "=", the file name from there to the next
    // CR. What is left at the end ("[end]", with or without CR LF) is shorter
    // than 7 bytes and ends the loop.
    do {
        const qsizetype eq = bytes.indexOf('=', pos);
        if (eq < 0)
            break;
        const QByteArray title = bytes.mid(pos, eq - pos);
        pos = eq + 1;
        const qsizetype cr = bytes.indexOf('\r', pos);
        if (cr < 0)
            break; // the last entry is incomplete
        const QByteArray file = bytes.mid(pos, cr - pos);
        pos = cr + 1;
        if (pos < bytes.size() && bytes.at(pos) == '\n' && bytes.size() - pos > 3)
            ++pos;
        titles << decode(title, utf8);
        fileNames << decode(file, utf8);
    } while (bytes.size() - pos >= 7);
    return true;
}

QByteArray appendEntry(const QByteArray &bytes, const QString &title, const QString &fileName)
{
    QStringList lines = splitLines(decode(bytes, readsAsUtf8(bytes)));
    if (!lines.isEmpty())
        lines.removeLast(); // normally "[end]"
    lines << title + u'=' + fileName << QLatin1String(End);
    QString text;
    for (const QString &line : std::as_const(lines))
        text += line + kCrLf;
    return encode(text);
}

} // namespace ListFile

bool writeListFile(const QString &folder, const PageListModel &pages)
{
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return false;
    return saveWholeFile(ListFile::path(folder),
                         ListFile::compose(pages.titles(), pages.fileNames()));
}

bool readListFile(const QString &listFilePath, PageListModel &pages)
{
    QByteArray bytes;
    if (readWholeFile(listFilePath, bytes)) {
        QStringList titles;
        QStringList files;
        ListFile::parse(bytes, titles, files);
        for (qsizetype i = 0; i < titles.size(); ++i)
            pages.append(titles.at(i), files.at(i));
    }
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
