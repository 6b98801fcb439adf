#include "zip/entryname.h"

#include "lang/cp1251.h"

#include <zlib.h>

namespace EntryName {

namespace {

constexpr char16_t kCyrillicFirst = 0x0410; // А, C0 in Windows-1251
constexpr char16_t kCyrillicLast = 0x044F;  // я, FF in Windows-1251
constexpr int kMaxComponentBytes = 255;     // NAME_MAX of Linux file systems

void appendLe16(QByteArray &out, unsigned value)
{
    out.append(static_cast<char>(value & 0xFF));
    out.append(static_cast<char>((value >> 8) & 0xFF));
}

void appendLe32(QByteArray &out, unsigned long value)
{
    for (int i = 0; i < 4; ++i)
        out.append(static_cast<char>((value >> (8 * i)) & 0xFF));
}

unsigned readLe16(const unsigned char *p)
{
    return p[0] | (p[1] << 8);
}

unsigned long readLe32(const unsigned char *p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<unsigned long>(p[3]) << 24);
}

unsigned long crcOf(QByteArrayView bytes)
{
    return crc32(0L, reinterpret_cast<const Bytef *>(bytes.data()),
                 static_cast<uInt>(bytes.size()));
}

QByteArray unicodePathField(const QByteArray &storedName, const QByteArray &utf8)
{
    QByteArray field;
    field.reserve(9 + utf8.size());
    appendLe16(field, kUnicodePathFieldId);
    appendLe16(field, static_cast<unsigned>(5 + utf8.size()));
    field.append('\x01'); // version
    appendLe32(field, crcOf(storedName));
    field.append(utf8);
    return field;
}

// The UTF-8 name of a valid Unicode Path field: version 1 and a CRC that matches
// the stored name, so a field left over from a renamed entry is ignored.
std::optional<QByteArrayView> unicodePathName(QByteArrayView raw, QByteArrayView extra)
{
    const auto *p = reinterpret_cast<const unsigned char *>(extra.data());
    qsizetype pos = 0;
    while (pos + 4 <= extra.size()) {
        const unsigned id = readLe16(p + pos);
        const qsizetype size = readLe16(p + pos + 2);
        const qsizetype data = pos + 4;
        if (data + size > extra.size())
            return std::nullopt;
        if (id == kUnicodePathFieldId && size >= 5 && p[data] == 1 &&
            readLe32(p + data + 1) == crcOf(raw)) {
            const QByteArrayView name = extra.sliced(data + 5, size - 5);
            if (!name.isEmpty() && isValidUtf8(QByteArray::fromRawData(name.data(), name.size())))
                return name;
        }
        pos = data + size;
    }
    return std::nullopt;
}

// UTF-8 made only of two-byte sequences: Cyrillic and other European letters
// look like this, while the code page 866 letters we store never do.
bool isTwoByteUtf8(QByteArrayView raw)
{
    const auto *p = reinterpret_cast<const unsigned char *>(raw.data());
    const qsizetype n = raw.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (p[i] < 0x80)
            continue;
        if (p[i] < 0xC2 || p[i] > 0xDF || i + 1 >= n || (p[i + 1] & 0xC0) != 0x80)
            return false;
        ++i;
    }
    return true;
}

// Unix and macOS tools store names in the locale's encoding, UTF-8 nowadays;
// code page 866 names come from MS-DOS and Windows hosts.
bool isUnixHost(std::uint16_t versionMadeBy)
{
    const int host = versionMadeBy >> 8;
    return host == 3 || host == 19;
}

bool isControl(char16_t u)
{
    return u < 0x20 || (u >= 0x7F && u <= 0x9F);
}

} // namespace

QByteArray shiftToCp866(QByteArrayView cp1251)
{
    QByteArray out(cp1251.data(), cp1251.size());
    for (char &c : out) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0xC0 && b <= 0xEF)
            c = static_cast<char>(b - 0x40);
        else if (b >= 0xF0)
            c = static_cast<char>(b - 0x10);
    }
    return out;
}

QByteArray shiftFromCp866(QByteArrayView cp866)
{
    QByteArray out(cp866.data(), cp866.size());
    for (char &c : out) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x80 && b <= 0xAF)
            c = static_cast<char>(b + 0x40);
        else if (b >= 0xE0 && b <= 0xEF)
            c = static_cast<char>(b + 0x10);
    }
    return out;
}

QString unsafeReason(const QString &name)
{
    if (name.isEmpty())
        return QStringLiteral("the name is empty");
    for (QChar ch : name) {
        if (isControl(ch.unicode()))
            return QStringLiteral("the name holds a control character");
    }
    if (name.startsWith(QLatin1Char('/')))
        return QStringLiteral("the name is an absolute path");
    if (name.size() >= 2 && name[1] == QLatin1Char(':') && name[0].unicode() < 0x80 &&
        name[0].isLetter())
        return QStringLiteral("the name starts with a drive letter");
    qsizetype start = 0;
    while (start <= name.size()) {
        qsizetype end = name.indexOf(QLatin1Char('/'), start);
        if (end < 0)
            end = name.size();
        const QStringView part = QStringView(name).sliced(start, end - start);
        if (part == u"." || part == u"..")
            return QStringLiteral("the name has a \".\" or \"..\" folder");
        if (part.size() > kMaxComponentBytes / 3 && part.toUtf8().size() > kMaxComponentBytes)
            return QStringLiteral("a part of the name is longer than %1 bytes")
                .arg(kMaxComponentBytes);
        start = end + 1;
    }
    return {};
}

std::optional<Encoded> encode(const QString &relativePath, QString *error)
{
    auto fail = [error](const QString &why) -> std::optional<Encoded> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    QString name = relativePath;
    name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (const QString why = unsafeReason(name); !why.isEmpty())
        return fail(why);
    if (name.endsWith(QLatin1Char('/')))
        return fail(QStringLiteral("the name ends in a folder separator"));

    bool ascii = true;
    bool cyrillic = true;
    for (QChar ch : name) {
        const char16_t u = ch.unicode();
        if (u < 0x80)
            continue;
        ascii = false;
        if (u < kCyrillicFirst || u > kCyrillicLast)
            cyrillic = false;
    }

    Encoded out{{}, {}, 0};
    if (ascii) {
        out.name = name.toLatin1();
    } else {
        const QByteArray utf8 = name.toUtf8();
        if (cyrillic) {
            out.name = shiftToCp866(*Cp1251::encode(name));
        } else {
            out.name = utf8;
            out.flags = kUtf8Flag;
        }
        if (9 + utf8.size() > kMaxStoredBytes)
            return fail(QStringLiteral("the name is longer than a zip file can hold"));
        out.extra = unicodePathField(out.name, utf8);
    }
    if (out.name.size() > kMaxStoredBytes)
        return fail(QStringLiteral("the name is longer than a zip file can hold"));
    return out;
}

QString decode(QByteArrayView raw, std::uint16_t flags, QByteArrayView extra,
               std::uint16_t versionMadeBy)
{
    QString name;
    const QByteArray bytes = QByteArray::fromRawData(raw.data(), raw.size());
    if ((flags & kUtf8Flag) && isValidUtf8(bytes))
        name = QString::fromUtf8(raw);
    else if (const auto unicode = unicodePathName(raw, extra))
        name = QString::fromUtf8(*unicode);
    else if (isUnixHost(versionMadeBy) && isValidUtf8(bytes))
        name = QString::fromUtf8(raw); // zip on Linux stores UTF-8 names without a flag
    else if (isTwoByteUtf8(raw))
        name = QString::fromUtf8(raw);
    else
        name = Cp1251::decode(shiftFromCp866(raw));
    name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return name;
}

QString storingProblem(const QString &relativePath)
{
    // The writer would store it as a folder separator: another name, or none.
    if (relativePath.contains(u'\\'))
        return QStringLiteral("the name holds \"\\\", which zip files read as a folder separator");
    QString why;
    if (!encode(relativePath, &why))
        return why;
    return {};
}

QString storableName(const QString &name, const QString &prefix)
{
    QString n = name;
    for (QChar &c : n) {
        if (c == u'\\' || isControl(c.unicode()))
            c = u'-';
    }
    if (prefix.isEmpty() && n.size() >= 2 && n[1] == u':' && n[0].unicode() < 0x80 &&
        n[0].isLetter())
        n[1] = u'-';
    return storingProblem(prefix + n).isEmpty() ? n : QString();
}

QString forMessage(const QString &name)
{
    constexpr qsizetype kShown = 200;
    if (name.size() <= kShown)
        return name;
    return name.left(kShown) + QStringLiteral("…");
}

} // namespace EntryName
