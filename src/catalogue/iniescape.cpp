#include "catalogue/iniescape.h"

#include <QStringDecoder>
#include <optional>

namespace {

constexpr QStringView kMarker = u"%%";
// A key starts its line, and a line's UTF-8 that starts with this character
// reads as if it were the file's byte-order mark: it is dropped.
constexpr QChar kByteOrderMark = u'\uFEFF';

bool isControl(QChar c)
{
    return c.unicode() < 0x20 || c.unicode() == 0x7F;
}

// True when text could not be read back from the file as it is.
bool needsEscape(const QString &text, IniEscape::Field field, QStringView reserved)
{
    if (text.startsWith(kMarker))
        return true;
    if (field == IniEscape::Field::Key) {
        if (text.isEmpty() || text.contains(u'=') || text.front() == u';' || text.front() == u'[' ||
            text.front() == kByteOrderMark || (!reserved.isEmpty() && text == reserved))
            return true;
    }
    if (text.isEmpty())
        return false;
    if (text.front().isSpace() || text.back().isSpace())
        return true;
    for (QChar c : text) {
        if (isControl(c))
            return true;
    }
    return false;
}

QString escaped(const QString &text)
{
    static const char hex[] = "0123456789ABCDEF";
    QString out = kMarker.toString();
    const qsizetype last = text.size() - 1;
    for (qsizetype i = 0; i <= last; ++i) {
        const QChar c = text.at(i);
        const bool atEnd = i == 0 || i == last;
        if (c != u'%' && c != u'=' && !isControl(c) && !(atEnd && c.isSpace()) &&
            !(i == 0 && c == kByteOrderMark)) {
            out += c;
            continue;
        }
        for (const char byte : QString(c).toUtf8()) {
            out += u'%';
            out += QLatin1Char(hex[(uchar(byte) >> 4) & 0xF]);
            out += QLatin1Char(hex[uchar(byte) & 0xF]);
        }
    }
    return out;
}

int hexDigit(QChar c)
{
    if (c >= u'0' && c <= u'9')
        return c.unicode() - u'0';
    if (c >= u'A' && c <= u'F')
        return c.unicode() - u'A' + 10;
    return -1;
}

// UTF-8 with a U+FEFF at its start kept, where QString::fromUtf8 drops it.
QString fromUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    return decoder.decode(bytes);
}

// The text behind an escaped form; nothing when the %XX sequences are broken.
std::optional<QString> unescaped(const QString &stored)
{
    QString out;
    QByteArray pending; // the UTF-8 bytes of one escaped character
    const qsizetype n = stored.size();
    for (qsizetype i = kMarker.size(); i < n; ++i) {
        const QChar c = stored.at(i);
        if (c != u'%') {
            if (!pending.isEmpty()) {
                out += fromUtf8(pending);
                pending.clear();
            }
            out += c;
            continue;
        }
        if (i + 2 >= n)
            return std::nullopt;
        const int high = hexDigit(stored.at(i + 1));
        const int low = hexDigit(stored.at(i + 2));
        if (high < 0 || low < 0)
            return std::nullopt;
        pending += char(high * 16 + low);
        i += 2;
    }
    out += fromUtf8(pending);
    return out;
}

} // namespace

namespace IniEscape {

QString encode(const QString &text, Field field, QStringView reserved)
{
    return needsEscape(text, field, reserved) ? escaped(text) : text;
}

QString decode(const QString &stored, Field field, QStringView reserved)
{
    if (!stored.startsWith(kMarker))
        return stored;
    const std::optional<QString> text = unescaped(stored);
    // Only the form writing makes counts: the round trip must give the same text.
    if (text && encode(*text, field, reserved) == stored)
        return *text;
    return stored;
}

} // namespace IniEscape
