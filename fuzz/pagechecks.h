#pragma once

// What the index makes of a page's text, checked the same way for pages and
// web archives: its words as the index stores them, and a snippet with the
// words of a query made from the page's own words marked.

#include "fuzzsupport.h"
#include "lang/cp1251.h"
#include "search/fts5words.h"
#include "search/pageextractor.h"
#include "search/searchquery.h"
#include "search/snippetmaker.h"
#include "search/wordtokenizer.h"

namespace PageChecks {

inline void checkMarks(const QList<TextMark> &marks, const QString &text, const char *where)
{
    qsizetype previousEnd = 0;
    for (const TextMark &mark : marks) {
        FUZZ_CHECK(mark.start >= previousEnd && mark.length > 0 &&
                       mark.start + mark.length <= text.size(),
                   QStringLiteral("%1: a mark at %2+%3 in \"%4\"")
                       .arg(QLatin1String(where))
                       .arg(mark.start)
                       .arg(mark.length)
                       .arg(FuzzSupport::shown(text)));
        previousEnd = mark.start + mark.length;
    }
}

// A query of the first words of text: one word alone, then two as a phrase.
inline QString queryFrom(const QByteArray &text, WordTokenizer &words)
{
    QStringList typed;
    words.reset(std::string_view(text.constData(), std::size_t(text.size())));
    while (typed.size() < 3 && words.next())
        typed << QString::fromUtf8(text.constData() + words.start(), words.end() - words.start());
    if (typed.size() == 3)
        return typed.at(0) + QStringLiteral(" \"") + typed.at(1) + u' ' + typed.at(2) + u'"';
    return typed.join(u' ');
}

inline void check(const PageExtractor::PageText &page)
{
    FUZZ_CHECK(isValidUtf8(page.text), QStringLiteral("the text is not UTF-8"));
    FUZZ_CHECK(isValidUtf8(page.title), QStringLiteral("the title is not UTF-8"));
    FUZZ_CHECK(!page.charset.isEmpty(), QStringLiteral("no charset"));

    static WordTokenizer words;
    const Fts5Words::DocumentTokens tokens = Fts5Words::tokenizeDocument(
        std::string_view(page.text.constData(), std::size_t(page.text.size())), words);
    std::int32_t previousStart = -1;
    for (const Fts5Words::DocumentTokens::Token &token : tokens.tokens) {
        FUZZ_CHECK(token.length > 0 && token.length <= std::uint32_t(WordTokenizer::kMaxWordBytes) &&
                       token.offset + token.length <= tokens.bytes.size(),
                   QStringLiteral("a token of %1 bytes").arg(token.length));
        FUZZ_CHECK(token.start >= previousStart && token.start < token.end &&
                       token.end <= page.text.size(),
                   QStringLiteral("a token at %1-%2").arg(token.start).arg(token.end));
        previousStart = token.start;
    }

    const SearchQuery query = SearchQuery::parse(queryFrom(page.text, words), words);
    SnippetMaker maker(query, words);
    const SnippetMaker::Snippet snippet = maker.snippet(page.text);
    checkMarks(snippet.marks, snippet.text, "snippet");
    const QString title = QString::fromUtf8(page.title);
    checkMarks(maker.marksIn(title), title, "title");
}

} // namespace PageChecks
