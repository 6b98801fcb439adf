#include "search/snippetmaker.h"

#include "search/wordtokenizer.h"

#include <algorithm>

namespace {

constexpr qsizetype kMaxMatches = 1000;
constexpr qsizetype kLeadChars = 40; // text shown before the first word found
constexpr qsizetype kSnapChars = 20; // how far a cut looks for a blank

std::string firstChar(std::string_view utf8)
{
    if (utf8.empty())
        return {};
    std::size_t n = 1;
    while (n < utf8.size() && (static_cast<unsigned char>(utf8[n]) & 0xC0) == 0x80)
        ++n;
    return std::string(utf8.substr(0, n));
}

bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

// QChars a UTF-8 stretch takes: one per sequence, two for those beyond the BMP.
qsizetype qcharsIn(const char *p, qsizetype bytes)
{
    qsizetype n = 0;
    for (qsizetype i = 0; i < bytes; ++i) {
        const auto c = static_cast<unsigned char>(p[i]);
        if ((c & 0xC0) != 0x80)
            n += (c & 0xF8) == 0xF0 ? 2 : 1;
    }
    return n;
}

} // namespace

SnippetMaker::SnippetMaker(const SearchQuery &query, WordTokenizer &words)
    : m_query(query), m_words(words)
{
    for (const SearchQuery::Item &item : query.items()) {
        for (const SearchQuery::Term &term : item.terms) {
            m_firstChars.push_back(firstChar(term.folded));
            m_firstChars.push_back(firstChar(term.stem));
        }
    }
}

QList<SnippetMaker::Match> SnippetMaker::findMatches(const QByteArray &utf8, qsizetype maxBytes)
{
    struct Token {
        qsizetype start = 0; // in bytes
        qsizetype end = 0;
        bool candidate = false;
        std::string folded;
        std::string stem;
    };
    std::size_t longest = 1;
    for (const SearchQuery::Item &item : m_query.items())
        longest = std::max(longest, item.terms.size());
    const std::size_t itemCount = m_query.items().size();

    QList<Match> matches;
    std::vector<Token> recent(longest); // the last few words, for phrases, in a ring
    std::size_t seen = 0;
    // Byte offsets become QChar offsets only for words that match. A phrase
    // starts before the word that ends it, which another item may have
    // matched already: the count goes back as well as forth.
    qsizetype bytePos = 0;
    qsizetype charPos = 0;
    auto charAt = [&](qsizetype byte) {
        if (byte >= bytePos)
            charPos += qcharsIn(utf8.constData() + bytePos, byte - bytePos);
        else
            charPos -= qcharsIn(utf8.constData() + byte, bytePos - byte);
        bytePos = byte;
        return charPos;
    };
    const qsizetype scanned = std::min(maxBytes, utf8.size());
    m_words.reset(std::string_view(utf8.constData(), std::size_t(scanned)));
    // Once every word was found, the rest of a snippet's length is still read,
    // so that all the words the snippet shows are marked.
    qsizetype scanUntil = -1;
    while (m_words.next() && matches.size() < kMaxMatches) {
        if (scanUntil >= 0 && m_words.start() > scanUntil)
            break;
        const std::string_view folded = m_words.folded();
        bool candidate = false;
        for (const std::string &head : m_firstChars)
            candidate = candidate || startsWith(folded, head);
        Token &token = recent[seen % longest];
        ++seen;
        token.start = m_words.start();
        token.end = m_words.end();
        token.candidate = candidate;
        if (!candidate)
            continue; // most words cannot match and are never stemmed
        token.folded.assign(folded);
        token.stem.assign(m_words.stem());

        for (std::size_t i = 0; i < itemCount; ++i) {
            const SearchQuery::Item &item = m_query.items()[i];
            const std::size_t k = item.terms.size();
            if (k > seen)
                continue;
            bool all = true;
            for (std::size_t j = 0; j < k && all; ++j) {
                const Token &t = recent[(seen - k + j) % longest];
                const SearchQuery::Term &term = item.terms[j];
                const bool last = j + 1 == k;
                all = t.candidate && (t.stem == term.stem || t.folded == term.folded ||
                                      (last && item.prefix && startsWith(t.folded, term.folded)));
            }
            if (!all)
                continue;
            const qsizetype startByte = recent[(seen - k) % longest].start;
            const qsizetype start = charAt(startByte);
            const qsizetype end = charAt(token.end);
            matches.append({start, end, int(i), startByte, token.end});
        }
        // Enough once some stretch of snippet length holds every word.
        if (scanUntil < 0 && !matches.isEmpty() && wholeQueryNear(matches))
            scanUntil = token.end + (kSnippetChars + kSnapChars) * 4;
    }
    return matches;
}

// Whether the matches that end within a snippet's length of the last one
// cover every item of the query.
bool SnippetMaker::wholeQueryNear(const QList<Match> &matches) const
{
    const qsizetype end = matches.last().end;
    std::vector<bool> found(m_query.items().size(), false);
    std::size_t count = 0;
    for (qsizetype i = matches.size(); i-- > 0 && end - matches[i].start <= kSnippetChars;) {
        const auto item = std::size_t(matches[i].item);
        if (!found[item]) {
            found[item] = true;
            ++count;
        }
    }
    return count == found.size();
}

void SnippetMaker::noteHighlight(const QString &word)
{
    if (m_highlight.size() >= kMaxHighlightWords || word.isEmpty())
        return;
    for (const QString &known : std::as_const(m_highlight)) {
        if (known.compare(word, Qt::CaseInsensitive) == 0)
            return;
    }
    m_highlight << word;
}

SnippetMaker::Snippet SnippetMaker::snippet(const QByteArray &utf8Text)
{
    const QList<Match> matches = findMatches(utf8Text, kMaxScanBytes);
    for (const Match &m : matches)
        noteHighlight(
            QString::fromUtf8(utf8Text.constData() + m.startByte, m.endByte - m.startByte));

    // The stretch that holds the most different words of the query, the
    // earliest of those.
    qsizetype best = -1;
    int bestCount = 0;
    for (qsizetype i = 0; i < matches.size(); ++i) {
        std::vector<bool> seen(m_query.items().size(), false);
        int count = 0;
        for (qsizetype j = i; j < matches.size(); ++j) {
            if (matches[j].end > matches[i].start + kSnippetChars)
                break;
            if (!seen[std::size_t(matches[j].item)]) {
                seen[std::size_t(matches[j].item)] = true;
                ++count;
            }
        }
        if (count > bestCount) {
            best = i;
            bestCount = count;
        }
    }

    // Only the part of the text around that stretch is decoded; a character
    // takes at most four bytes.
    const qsizetype size = utf8Text.size();
    const char *bytes = utf8Text.constData();
    const qsizetype anchorByte = best >= 0 ? matches[best].startByte : 0;
    const qsizetype anchorChar = best >= 0 ? matches[best].start : 0;
    auto isContinuation = [&](qsizetype i) {
        return i > 0 && i < size && (static_cast<unsigned char>(bytes[i]) & 0xC0) == 0x80;
    };
    qsizetype regionStart = std::max<qsizetype>(0, anchorByte - (kLeadChars + kSnapChars) * 4);
    while (isContinuation(regionStart))
        ++regionStart;
    qsizetype regionEnd = std::min(size, anchorByte + (kSnippetChars + kSnapChars) * 4);
    while (isContinuation(regionEnd))
        --regionEnd;
    const QString region = QString::fromUtf8(bytes + regionStart, regionEnd - regionStart);
    const qsizetype regionChar =
        anchorChar - qcharsIn(bytes + regionStart, anchorByte - regionStart);

    const qsizetype length = region.size();
    qsizetype begin =
        std::max<qsizetype>(0, anchorChar - regionChar - (best >= 0 ? kLeadChars : 0));
    // Start at a word: after the nearest blank before the cut.
    if (regionChar + begin > 0) {
        const qsizetype blank = region.lastIndexOf(u' ', begin);
        if (blank >= 0 && begin - blank <= kSnapChars)
            begin = blank + 1;
    }
    qsizetype end = std::min(length, begin + kSnippetChars);
    if (end < length) {
        const qsizetype blank = region.indexOf(u' ', end);
        if (blank >= 0 && blank - end <= kSnapChars)
            end = blank;
    }

    Snippet snippet;
    const bool leading = regionChar + begin > 0;
    const bool trailing = end < length || regionEnd < size;
    snippet.text = (leading ? QStringLiteral("…") : QString()) + region.mid(begin, end - begin) +
                   (trailing ? QStringLiteral("…") : QString());
    const qsizetype shift = regionChar + begin - (leading ? 1 : 0);
    QList<Match> shown;
    for (const Match &m : matches) {
        if (m.start >= regionChar + begin && m.end <= regionChar + end)
            shown.append({m.start - shift, m.end - shift, 0});
    }
    snippet.marks = merged(shown);
    return snippet;
}

QList<TextMark> SnippetMaker::marksIn(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    return merged(findMatches(utf8, utf8.size()));
}

// Marks in order, with overlapping ones (a word that is also part of a phrase) made one.
QList<TextMark> SnippetMaker::merged(QList<Match> matches)
{
    std::sort(matches.begin(), matches.end(),
              [](const Match &a, const Match &b) { return a.start < b.start; });
    QList<TextMark> marks;
    qsizetype lastEnd = -1;
    for (const Match &m : std::as_const(matches)) {
        if (!marks.isEmpty() && m.start <= lastEnd) {
            lastEnd = std::max(lastEnd, m.end);
            marks.last().length = lastEnd - marks.last().start;
            continue;
        }
        marks.append({m.start, m.end - m.start});
        lastEnd = m.end;
    }
    return marks;
}
