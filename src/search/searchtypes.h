#pragma once

#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>

// One archive of the catalogue, as the search index knows it.
struct CatalogueArchive {
    QString zipPath;
    QString name;    // as the catalogue shows it
    QString section; // the section it is in
};

// A stretch of a text to show marked (bold): start and length in QChars.
struct TextMark {
    qsizetype start = 0;
    qsizetype length = 0;
    bool operator==(const TextMark &) const = default;
};

// One page found by a search.
struct SearchHit {
    QString pageTitle; // the title in the archive's page list (else the page's own)
    QString archiveName;
    QString section;
    QString zipPath;
    QString pageFile; // the page's file name inside the archive
    QString snippet;  // a short stretch of the page's text around the words found
    QList<TextMark> snippetMarks;
    QList<TextMark> titleMarks;
    // The words as the page writes them, for the page view's find to highlight.
    QStringList highlightWords;
    double score = 0; // lower is better
};

// What indexing has done since the index was opened, for the status bar and
// for tests.
struct IndexingStats {
    qint64 archivesChecked = 0; // stamps compared
    qint64 archivesRead = 0;    // zips opened and listed
    qint64 pagesRead = 0;       // pages read from a zip and parsed
    qint64 pagesChanged = 0;    // pages whose words were written, taken out or retitled
    qint64 htmlBytes = 0;       // bytes of the pages read
    qint64 textBytes = 0;       // bytes of text they gave
};

Q_DECLARE_METATYPE(CatalogueArchive)
