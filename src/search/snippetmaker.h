#pragma once

#include "search/searchquery.h"
#include "search/searchtypes.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

class WordTokenizer;

// Finds where a query's words stand in a page's text, the way the index
// matched them (folded beginnings, stems, phrases), and cuts a short stretch
// around the place where most of them stand together.
class SnippetMaker {
public:
    // About how long a snippet is, in characters.
    static constexpr qsizetype kSnippetChars = 200;
    // Only this much of a text is looked through: a snippet from the first
    // half megabyte serves as well as one from further down.
    static constexpr qsizetype kMaxScanBytes = qsizetype(512) << 10;
    static constexpr int kMaxHighlightWords = 8;

    SnippetMaker(const SearchQuery &query, WordTokenizer &words);

    struct Snippet {
        QString text;
        QList<TextMark> marks;
    };
    Snippet snippet(const QByteArray &utf8Text);
    // Marks on a short text shown whole (a title).
    QList<TextMark> marksIn(const QString &text);
    // The words of the last texts given, as they are written there, in the
    // order they were first met: what the page view should highlight.
    QStringList highlightWords() const { return m_highlight; }

private:
    struct Match {
        qsizetype start; // in QChars
        qsizetype end;
        int item;
        qsizetype startByte = 0;
        qsizetype endByte = 0;
    };
    QList<Match> findMatches(const QByteArray &utf8, qsizetype maxBytes);
    bool wholeQueryNear(const QList<Match> &matches) const;
    void noteHighlight(const QString &word);
    static QList<TextMark> merged(QList<Match> matches);

    const SearchQuery &m_query;
    WordTokenizer &m_words;
    QStringList m_highlight;
    std::vector<std::string> m_firstChars; // of every term, to skip most words cheaply
};
