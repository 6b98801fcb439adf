#include "search/searchquery.h"

#include "search/wordtokenizer.h"

#include <QStringList>

namespace {

int charCount(const std::string &utf8)
{
    int n = 0;
    for (const char c : utf8) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80)
            ++n;
    }
    return n;
}

QString quoted(const std::vector<SearchQuery::Term> &terms)
{
    // Folded words hold only letters, digits and marks: nothing to escape.
    QString text = QStringLiteral("\"");
    for (std::size_t i = 0; i < terms.size(); ++i) {
        if (i > 0)
            text += u' ';
        text += QString::fromUtf8(terms[i].folded.data(), qsizetype(terms[i].folded.size()));
    }
    return text + u'"';
}

} // namespace

SearchQuery SearchQuery::parse(const QString &text, WordTokenizer &words)
{
    SearchQuery query;
    auto add = [&](const QString &part, bool phrase) {
        const QByteArray utf8 = part.toUtf8();
        Item item;
        item.phrase = phrase;
        words.reset(std::string_view(utf8.constData(), std::size_t(utf8.size())));
        while (words.next())
            item.terms.push_back({std::string(words.folded()), std::string(words.stem())});
        if (item.terms.empty())
            return;
        item.prefix = !phrase && charCount(item.terms.back().folded) >= kMinPrefixChars;
        query.m_items.push_back(std::move(item));
    };
    qsizetype pos = 0;
    const qsizetype n = text.size();
    while (pos < n) {
        const QChar c = text.at(pos);
        if (c == u'"' || c == u'\u201C' || c == u'\u201E' || c == u'\u00AB') {
            // Straight, curly and Russian quotes open a phrase; an unclosed one
            // runs to the end.
            qsizetype end = pos + 1;
            while (end < n && text.at(end) != u'"' && text.at(end) != u'\u201D' &&
                   text.at(end) != u'\u201C' && text.at(end) != u'\u00BB')
                ++end;
            add(text.mid(pos + 1, end - pos - 1), true);
            pos = end + 1;
            continue;
        }
        if (c.isSpace()) {
            ++pos;
            continue;
        }
        qsizetype end = pos;
        while (end < n && !text.at(end).isSpace() && text.at(end) != u'"')
            ++end;
        add(text.mid(pos, end - pos), false);
        pos = end;
    }
    return query;
}

QString SearchQuery::stemExpression(std::size_t item) const
{
    return quoted(m_items[item].terms);
}

QString SearchQuery::expression() const
{
    QStringList parts;
    for (const Item &item : m_items) {
        const QString words = quoted(item.terms);
        // The quoted words without a star are looked up by their stems, with
        // one by their folded beginnings (see Fts5Words).
        parts << (item.prefix ? QStringLiteral("(%1* OR %1)").arg(words) : words);
    }
    return parts.join(QStringLiteral(" AND "));
}
