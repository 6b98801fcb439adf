#pragma once

// The working set of the archive benchmarks: pages of HTML text generated
// from a seed, each with a companion folder of style sheets, scripts and
// incompressible "pictures", about 250 KB a page whatever its shape. Pages
// follow one another from the one generator, so a smaller set of the same
// seed and shape is the first pages of a bigger one, byte for byte.

#include "storage/listfile.h"
#include "storage/pagelistmodel.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QPair>
#include <QRandomGenerator>
#include <QString>
#include <algorithm>
#include <iterator>

namespace PageSet {

// How many files a page has: the page itself, then in its companion folder
// up to three text files (style sheet, script, frame) and pictures for the
// rest. The pictures of a page hold about 224 KB together, however many
// there are. 11 (3 text files, 7 pictures) is the shape the rows of
// bench/README.md were measured with; a zip holds at most 20,000 entries
// (files: the program writes no entries for folders).
struct Shape {
    int filesPerPage = 11;
    int textFiles() const { return std::clamp((filesPerPage - 1) / 2, 1, 3); }
    int pictures() const { return filesPerPage - 1 - textFiles(); }
    bool valid() const { return filesPerPage >= 3; }
    // Zip entries of a set of pages: their files and the list file.
    int entries(int pages) const { return pages * filesPerPage + 1; }
};

inline QString words(QRandomGenerator &rng, int count)
{
    static const char *const vocabulary[] = {
        "the",     "archive", "page",   "news",    "report", "of",      "and",   "weather",
        "city",    "market",  "today",  "reading", "saved",  "history", "with",  "science",
        "council", "river",   "winter", "results", "from",   "a",       "table", "season",
        "price",   "summer",  "road",   "library", "train",  "school",  "new",   "old"};
    QString text;
    for (int i = 0; i < count; ++i) {
        text += QLatin1String(vocabulary[rng.bounded(int(std::size(vocabulary)))]);
        text += rng.bounded(12) == 0 ? QStringLiteral(". ") : QStringLiteral(" ");
    }
    return text;
}

inline QByteArray html(QRandomGenerator &rng, int paragraphs, const QString &companion,
                       int pictures)
{
    QString text = QStringLiteral("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">"
                                  "<link rel=\"stylesheet\" href=\"%1/style.css\"></head><body>\n")
                       .arg(companion);
    for (int p = 0; p < paragraphs; ++p) {
        if (p % 6 == 0)
            text += QStringLiteral("<h2>%1</h2>\n").arg(words(rng, 5));
        text += QStringLiteral("<p class=\"text\">%1</p>\n").arg(words(rng, 40 + rng.bounded(80)));
        // Every fourth paragraph shows the next picture: p % pictures takes
        // them all in turn while their number is odd, as it was for 7.
        if (p % 4 == 0)
            text += QStringLiteral("<img src=\"%1/pic%2.jpg\" width=\"%3\">\n")
                        .arg(companion)
                        .arg(pictures % 2 ? p % pictures : p / 4 % pictures)
                        .arg(200 + rng.bounded(400));
    }
    text += QStringLiteral("</body></html>\n");
    return text.toUtf8();
}

inline QByteArray noise(QRandomGenerator &rng, qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    rng.fillRange(reinterpret_cast<quint32 *>(bytes.data()), size / 4);
    for (qsizetype i = size / 4 * 4; i < size; ++i)
        bytes[i] = char(rng.generate());
    return bytes;
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// The file name of page index, as writePage names it.
inline QString pageFileName(int index)
{
    return QStringLiteral("page%1.htm").arg(index, 3, 10, QLatin1Char('0'));
}

// Writes page index with its companion folder into folder and lists it;
// returns the bytes written, -1 when a file could not be written.
inline qint64 writePage(const QString &folder, int index, QRandomGenerator &rng, PageListModel &list,
                        int *fileCount, const Shape &shape = {})
{
    const QString file = pageFileName(index);
    const QString companion = file.chopped(4) + QStringLiteral("_files");
    QDir().mkpath(folder + u'/' + companion);
    const int pictures = shape.pictures();
    const int textFiles = shape.textFiles();
    QList<QPair<QString, QByteArray>> content;
    content.append({file, html(rng, 20 + rng.bounded(40), companion, pictures)});
    content.append({companion + QStringLiteral("/style.css"),
                    QStringLiteral(".text { %1 }\n").arg(words(rng, 600)).toUtf8()});
    if (textFiles > 1)
        content.append({companion + QStringLiteral("/menu.js"),
                        QStringLiteral("// %1\nvar menu = 1;\n").arg(words(rng, 900)).toUtf8()});
    if (textFiles > 2)
        content.append({companion + QStringLiteral("/frame.htm"), html(rng, 4, companion, pictures)});
    for (int p = 0; p < pictures; ++p)
        content.append({companion + QStringLiteral("/pic%1.jpg").arg(p),
                        noise(rng, (4000 + rng.bounded(56000)) * qsizetype(7) / pictures)});
    qint64 total = 0;
    for (const auto &[name, bytes] : content) {
        if (!writeFile(folder + u'/' + name, bytes))
            return -1;
        total += bytes.size();
        ++*fileCount;
    }
    list.append(QStringLiteral("Page %1: %2").arg(index).arg(words(rng, 4).trimmed()), file);
    return total;
}

// Writes pages pages and their list file into folder; returns the bytes
// written (-1 when something could not be) and their number in fileCount.
inline qint64 generate(const QString &folder, int pages, quint32 seed, int *fileCount,
                       const Shape &shape = {})
{
    QRandomGenerator rng(seed);
    PageListModel list;
    qint64 total = 0;
    *fileCount = 0;
    QDir().mkpath(folder);
    for (int i = 0; i < pages; ++i) {
        const qint64 bytes = writePage(folder, i, rng, list, fileCount, shape);
        if (bytes < 0)
            return -1;
        total += bytes;
    }
    if (!writeListFile(folder, list))
        return -1;
    *fileCount += 1;
    return total + QFileInfo(ListFile::path(folder)).size();
}

} // namespace PageSet
