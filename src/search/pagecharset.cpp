#include "search/pagecharset.h"

#include "lang/cp1251.h"
#include "search/markuptrimmer.h"

#include <QList>
#include <QMutex>
#include <QPair>
#include <QStringDecoder>
#include <cmath>
#include <map>
#include <memory>
#include <string_view>
#include <uchardet/uchardet.h>

namespace {

constexpr qsizetype kMetaScanBytes = 4096; // browsers look at the first 1024; old pages go further
constexpr qsizetype kDetectTextBytes = 16384; // enough text for a guess; the detector is slow
const QByteArray kUtf8Bom("\xEF\xBB\xBF");

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c + 32) : c;
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// The charset named in a Content-Type value: "text/html; charset=koi8-r".
QByteArray charsetInContent(const QByteArray &content)
{
    const QByteArray lowered = content.toLower();
    const qsizetype at = lowered.indexOf("charset");
    if (at < 0)
        return {};
    qsizetype pos = at + 7;
    while (pos < content.size() && isSpace(content[pos]))
        ++pos;
    if (pos >= content.size() || content[pos] != '=')
        return {};
    ++pos;
    while (pos < content.size() && isSpace(content[pos]))
        ++pos;
    if (pos < content.size() && (content[pos] == '"' || content[pos] == '\'')) {
        const char quote = content[pos];
        const qsizetype end = content.indexOf(quote, pos + 1);
        return content.mid(pos + 1, end < 0 ? -1 : end - pos - 1).trimmed();
    }
    qsizetype end = pos;
    while (end < content.size() && !isSpace(content[end]) && content[end] != ';')
        ++end;
    return content.mid(pos, end - pos);
}

// The attributes of the tag starting at lt, as (lower-case name, value); pos
// is set past the tag.
QList<QPair<QByteArray, QByteArray>> attributesOf(const QByteArray &html, qsizetype &pos)
{
    QList<QPair<QByteArray, QByteArray>> attributes;
    const qsizetype n = html.size();
    while (pos < n && !isSpace(html[pos]) && html[pos] != '>' && html[pos] != '/')
        ++pos; // the tag name
    for (;;) {
        while (pos < n && (isSpace(html[pos]) || html[pos] == '/'))
            ++pos;
        if (pos >= n || html[pos] == '>')
            break;
        QByteArray name;
        while (pos < n && !isSpace(html[pos]) && html[pos] != '=' && html[pos] != '>' &&
               html[pos] != '/')
            name += lower(html[pos++]);
        while (pos < n && isSpace(html[pos]))
            ++pos;
        QByteArray value;
        if (pos < n && html[pos] == '=') {
            ++pos;
            while (pos < n && isSpace(html[pos]))
                ++pos;
            if (pos < n && (html[pos] == '"' || html[pos] == '\'')) {
                const char quote = html[pos];
                const qsizetype end = html.indexOf(quote, pos + 1);
                if (end < 0)
                    break;
                value = html.mid(pos + 1, end - pos - 1);
                pos = end + 1;
            } else {
                while (pos < n && !isSpace(html[pos]) && html[pos] != '>')
                    value += html[pos++];
            }
        }
        if (!name.isEmpty())
            attributes.append({name, value});
    }
    return attributes;
}

// The text between tags, where the letters that tell one code page from
// another are.
QByteArray textForDetection(const QByteArray &bytes)
{
    QByteArray text;
    text.reserve(kDetectTextBytes);
    qsizetype pos = 0;
    while (pos < bytes.size() && text.size() < kDetectTextBytes) {
        const qsizetype lt = bytes.indexOf('<', pos);
        const qsizetype end = lt < 0 ? bytes.size() : lt;
        text.append(bytes.constData() + pos, std::min(end - pos, kDetectTextBytes - text.size()));
        if (lt < 0)
            break;
        const qsizetype gt = bytes.indexOf('>', lt);
        pos = gt < 0 ? bytes.size() : gt + 1;
    }
    return text;
}

// Code pages of one byte a character are decoded through a table made once
// from the converter: they are what old pages use, and a table is many times
// faster than a converter call a character.
bool isSingleByte(const QByteArray &charset)
{
    return charset.startsWith("windows-125") || charset.startsWith("koi8-") ||
           charset.startsWith("iso-8859-") || charset == "ibm866" || charset == "x-mac-cyrillic";
}

struct ByteTable {
    QByteArray utf8[256];
};

// Every spelling of a code page the converter accepts ("koi8-r", "KOI8_R",
// "koi8--r") shares the table of its one name: a table for each spelling
// pages declare would let an archive grow the cache without end.
const ByteTable *tableFor(const QByteArray &charset)
{
    const QStringDecoder probe(charset.constData());
    if (!probe.isValid())
        return nullptr;
    const QByteArray name(probe.name());
    static QMutex mutex;
    static std::map<QByteArray, std::unique_ptr<ByteTable>> tables;
    QMutexLocker lock(&mutex);
    auto it = tables.find(name);
    if (it != tables.end())
        return it->second.get();
    auto table = std::make_unique<ByteTable>();
    for (int b = 0; b < 256; ++b) {
        QStringDecoder decoder(charset.constData());
        const QString one = decoder.decode(QByteArray(1, char(b)));
        table->utf8[b] = one.isEmpty() ? QByteArray("\xEF\xBF\xBD") : one.toUtf8();
    }
    return tables.emplace(name, std::move(table)).first->second.get();
}

QByteArray throughTable(const QByteArray &bytes, const ByteTable &table)
{
    QByteArray out;
    out.reserve(bytes.size() + bytes.size() / 2);
    const char *p = bytes.constData();
    const qsizetype n = bytes.size();
    qsizetype run = 0; // ASCII is copied in runs
    for (qsizetype i = 0; i < n; ++i) {
        const auto c = static_cast<unsigned char>(p[i]);
        if (c < 0x80)
            continue;
        out.append(p + run, i - run);
        out.append(table.utf8[c]);
        run = i + 1;
    }
    out.append(p + run, n - run);
    return out;
}

// How likely a text is Russian written in the code page it was decoded
// with, from what the bytes above 0x7F became: Russian letters by how often
// they occur in Russian text, capitals (most letters are small) and anything
// else (box drawing, symbols: what a wrong code page makes of letters) by
// how rarely they stand in running text.
double russianLikelihood(const QString &decodedHighBytes)
{
    // Letter frequencies of Russian text, in per cent, а to я.
    static const double kFrequency[32] = {8.01, 1.59, 4.54, 1.70, 2.98, 8.45, 0.94,  1.65,
                                          7.35, 1.21, 3.49, 4.40, 3.21, 6.70, 10.97, 2.81,
                                          4.73, 5.47, 6.26, 2.62, 0.26, 0.97, 0.48,  1.44,
                                          0.73, 0.36, 0.04, 1.90, 1.74, 0.32, 0.64,  2.01};
    double sum = 0;
    for (const QChar c : decodedHighBytes) {
        const QChar lower = c.toLower();
        const char16_t u = lower.unicode();
        double p = 0.0005;
        if (u >= 0x0430 && u <= 0x044F)
            p = kFrequency[u - 0x0430] / 100;
        else if (u == 0x0451)
            p = 0.0004;
        if (lower != c)
            p *= 0.1;
        sum += std::log(p);
    }
    return sum;
}

// Whether the bytes above 0x7F stand together in words, as letters of a
// Cyrillic code page do, rather than one at a time among ASCII letters, as
// accented letters of Western text do.
bool highBytesStandTogether(const QByteArray &text)
{
    qsizetype together = 0;
    qsizetype alone = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (static_cast<unsigned char>(text[i]) < 0x80)
            continue;
        const bool before = i > 0 && static_cast<unsigned char>(text[i - 1]) >= 0x80;
        const bool after = i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80;
        if (before || after)
            ++together;
        else
            ++alone;
    }
    return together > alone;
}

bool isAscii(const QByteArray &bytes)
{
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

} // namespace

namespace PageCharset {

QByteArray fromBom(const QByteArray &bytes)
{
    if (bytes.startsWith(kUtf8Bom))
        return "utf-8";
    if (bytes.startsWith("\xFF\xFE"))
        return "utf-16le";
    if (bytes.startsWith("\xFE\xFF"))
        return "utf-16be";
    return {};
}

QByteArray fromMeta(const QByteArray &bytes)
{
    const QByteArray head = bytes.left(kMetaScanBytes);
    qsizetype pos = 0;
    while (pos < head.size()) {
        const qsizetype lt = head.indexOf('<', pos);
        if (lt < 0 || lt + 1 >= head.size())
            break;
        if (head.mid(lt, 4) == "<!--") {
            const qsizetype end = head.indexOf("-->", lt + 4);
            if (end < 0)
                break;
            pos = end + 3;
            continue;
        }
        pos = lt + 1;
        if (head.mid(lt + 1, 4).toLower() != "meta" || lt + 5 >= head.size() ||
            !(isSpace(head[lt + 5]) || head[lt + 5] == '/'))
            continue;
        const auto attributes = attributesOf(head, pos);
        QByteArray charset;
        QByteArray content;
        bool contentType = false;
        for (const auto &[name, value] : attributes) {
            if (name == "charset" && charset.isEmpty())
                charset = value.trimmed();
            else if (name == "content")
                content = value;
            else if (name == "http-equiv")
                contentType = value.trimmed().toLower() == "content-type";
        }
        if (charset.isEmpty() && contentType)
            charset = charsetInContent(content);
        if (!charset.isEmpty())
            return charset;
    }
    return {};
}

QByteArray normalise(const QByteArray &label)
{
    const QByteArray name = label.trimmed().toLower();
    if (name.isEmpty())
        return {};
    static const QList<QPair<QByteArray, QList<QByteArray>>> aliases = {
        {"utf-8", {"utf8", "utf-8", "unicode-1-1-utf-8", "x-unicode20utf8"}},
        {"windows-1252",
         {"iso-8859-1", "iso8859-1", "iso_8859-1", "latin1", "l1", "ascii", "us-ascii", "cp1252",
          "x-cp1252", "windows-1252", "cp819", "ibm819", "iso-ir-100", "csisolatin1",
          "x-user-defined"}},
        {"windows-1251",
         {"cp1251", "x-cp1251", "win-1251", "win1251", "windows1251", "windows-1251"}},
        {"koi8-r", {"koi8-r", "koi8r", "koi8_r", "koi8", "koi", "cskoi8r"}},
        {"ibm866", {"ibm866", "cp866", "866", "csibm866", "dos-866"}},
        {"x-mac-cyrillic", {"x-mac-cyrillic", "mac-cyrillic", "maccyrillic", "x-mac-ukrainian"}},
        {"utf-16le", {"utf-16", "utf-16le", "unicode", "ucs-2"}},
        {"utf-16be", {"utf-16be", "unicodefffe"}},
    };
    for (const auto &[canonical, names] : aliases) {
        if (names.contains(name))
            return canonical;
    }
    if (QStringDecoder(name.constData()).isValid())
        return name;
    return {};
}

QByteArray detect(const QByteArray &bytes)
{
    // Scripts and styles are ASCII that would crowd the text out.
    const QByteArray text = textForDetection(MarkupTrimmer::forParser(bytes));
    if (isAscii(text) || isValidUtf8(text))
        return "utf-8";
    // Russian in one of its code pages is told apart by its letters; the
    // statistical detector is asked about everything else.
    if (highBytesStandTogether(text)) {
        QByteArray high;
        for (const char c : text) {
            if (static_cast<unsigned char>(c) >= 0x80)
                high += c;
        }
        QByteArray best;
        double bestLikelihood = 0;
        for (const char *candidate : {"windows-1251", "koi8-r", "ibm866", "x-mac-cyrillic"}) {
            const ByteTable *table = tableFor(candidate);
            if (!table)
                continue;
            const double likelihood =
                russianLikelihood(QString::fromUtf8(throughTable(high, *table)));
            if (best.isEmpty() || likelihood > bestLikelihood) {
                best = candidate;
                bestLikelihood = likelihood;
            }
        }
        // At least as likely, letter for letter, as Russian text where every
        // letter were the rarest: otherwise some other script.
        if (!best.isEmpty() && bestLikelihood / double(high.size()) > std::log(0.02))
            return best;
    }
    uchardet_t detector = uchardet_new();
    uchardet_handle_data(detector, text.constData(), std::size_t(text.size()));
    uchardet_data_end(detector);
    const QByteArray guess = normalise(QByteArray(uchardet_get_charset(detector)));
    uchardet_delete(detector);
    return guess.isEmpty() ? QByteArray("windows-1252") : guess;
}

Decoded toUtf8(const QByteArray &bytes, const QByteArray &declared)
{
    QByteArray charset = fromBom(bytes);
    if (charset.isEmpty())
        charset = normalise(declared);
    if (charset.isEmpty()) {
        charset = normalise(fromMeta(bytes));
        // A page that says UTF-16 in its own bytes cannot be UTF-16.
        if (charset.startsWith("utf-16"))
            charset = "utf-8";
    }
    if (charset.isEmpty())
        charset = isValidUtf8(bytes) ? QByteArray("utf-8") : detect(bytes);

    if (charset == "utf-8")
        return {bytes.startsWith(kUtf8Bom) ? bytes.mid(kUtf8Bom.size()) : bytes, charset};
    if (isSingleByte(charset)) {
        if (const ByteTable *table = tableFor(charset))
            return {throughTable(bytes, *table), charset};
    }
    QStringDecoder decoder(charset.constData());
    if (!decoder.isValid())
        return {Cp1251::decode(bytes).toUtf8(), "windows-1251"};
    const QString text = decoder.decode(bytes);
    return {text.toUtf8(), charset};
}

} // namespace PageCharset
