#pragma once

// Archives for the search tests, written as the program writes them (its own
// zip writer, a list file) or as another tool would (Info-ZIP's zip -r).

#include "search/searchindex.h"
#include "seedcorpus.h"
#include "storage/listfile.h"
#include "testfiles.h"
#include "zip/zipwriter.h"

#include <QDir>
#include <QFile>
#include <QList>
#include <QSignalSpy>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

namespace SearchTestKit {

struct Page {
    QString file;
    QString title;
    QString body;         // put in a simple page
    QByteArray html = {}; // the page's bytes when given
};

inline QByteArray pageBytes(const Page &page)
{
    if (!page.html.isEmpty())
        return page.html;
    return QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>%1</title>"
                          "<script>var hidden = 'скрытыйскрипт';</script></head><body><p>%2</p>"
                          "<img src=\"%3_files/picture.png\"></body></html>")
        .arg(page.title, page.body, page.file.section(u'.', 0, 0))
        .toUtf8();
}

enum class Tool { Program, InfoZip };

// Writes the archive anew: each page with a picture in its companion folder,
// and a list file unless withList is false. The new zip replaces the old one
// by a rename, as a write-back does.
inline bool writeArchive(const QString &zipPath, const QList<Page> &pages,
                         Tool tool = Tool::Program, bool withList = true)
{
    QTemporaryDir scratch;
    QStringList entries;
    QStringList titles;
    QStringList files;
    for (const Page &page : pages) {
        if (!TestFiles::write(scratch.filePath(page.file), pageBytes(page)))
            return false;
        const QString picture =
            page.file.section(u'.', 0, 0) + QStringLiteral("_files/picture.png");
        if (!TestFiles::write(scratch.filePath(picture),
                              QByteArray("\x89PNG\r\n\x1A\n", 8) + QByteArray("правление банка")))
            return false;
        entries << page.file << picture;
        titles << page.title;
        files << page.file;
    }
    if (withList) {
        if (!TestFiles::write(ListFile::path(scratch.path()), ListFile::compose(titles, files)))
            return false;
        entries << QLatin1String(ListFile::FileName);
    }
    const QString temporary = zipPath + QStringLiteral(".new");
    QFile::remove(temporary);
    if (tool == Tool::Program) {
        ZipWriter zip;
        if (!zip.write(scratch.path(), entries, temporary, nullptr))
            return false;
    } else {
        if (TestFiles::run(QStringLiteral("zip"),
                           QStringList{QStringLiteral("-r"), QStringLiteral("-q"), temporary,
                                       QStringLiteral(".")},
                           nullptr, scratch.path()) != 0)
            return false;
    }
    QFile::remove(zipPath);
    if (!QFile::rename(temporary, zipPath))
        return false;
    SeedCorpus::keepFile(zipPath);
    return true;
}

// The page files of the hits, as "archive name/page file", best first.
inline QStringList found(SearchIndex &index, const QString &query)
{
    SeedCorpus::keep("search", query.toUtf8());
    QStringList out;
    for (const SearchHit &hit : index.search(query))
        out << hit.archiveName + u'/' + hit.pageFile;
    return out;
}

// Indexing runs at normal priority in the tests: at idle priority a busy
// machine would hold it back for as long as it is busy.
inline bool indexAndWait(SearchIndex &index, const QList<CatalogueArchive> &catalogue)
{
    index.setIndexingPriority(QThread::NormalPriority);
    index.catalogueChanged(catalogue);
    return index.waitUntilIdle(60000);
}

} // namespace SearchTestKit
