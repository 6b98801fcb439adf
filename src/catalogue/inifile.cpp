#include "catalogue/inifile.h"

#include "lang/cp1251.h"

#include <QStringView>
#include <cctype>

namespace {

QStringView trimmed(QStringView s)
{
    return s.trimmed();
}

// Line breaks or a NUL inside a key or value would break the file apart on
// reading. The settings file escapes such text first (IniEscape); this only
// keeps the layout whole whatever comes in.
QString oneLine(const QString &s)
{
    QString out = s;
    for (QChar &c : out) {
        if (c == u'\r' || c == u'\n' || c == QChar(0))
            c = u' ';
    }
    return out;
}

} // namespace

IniFile IniFile::fromBytes(const QByteArray &raw)
{
    QByteArrayView bytes(raw);
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.sliced(3);

    IniFile ini;
    Section *current = nullptr;
    qsizetype pos = 0;
    const qsizetype n = bytes.size();
    while (pos < n) {
        // CR and LF never occur inside a UTF-8 sequence or a code-page letter,
        // so the lines can be cut before they are decoded.
        qsizetype end = pos;
        while (end < n && bytes[end] != '\n' && bytes[end] != '\r')
            ++end;
        const QByteArrayView view = bytes.sliced(pos, end - pos);
        const QByteArray lineBytes = QByteArray::fromRawData(view.data(), view.size());
        pos = end;
        if (pos < n && bytes[pos] == '\r')
            ++pos;
        if (pos < n && bytes[pos] == '\n')
            ++pos;
        const QString text =
            isValidUtf8(lineBytes) ? QString::fromUtf8(lineBytes) : Cp1251::decode(lineBytes);
        const QStringView line = trimmed(text);

        if (line.isEmpty() || line.front() == u';')
            continue;
        if (line.front() == u'[') {
            qsizetype close = line.indexOf(u']');
            const QString name =
                trimmed(line.mid(1, close < 0 ? line.size() - 1 : close - 1)).toString();
            const QString key = fold(name);
            auto it = ini.m_byName.constFind(key);
            if (it == ini.m_byName.constEnd()) {
                ini.m_sections.append({name, {}});
                ini.m_byName.insert(key, static_cast<int>(ini.m_sections.size() - 1));
                current = &ini.m_sections.last();
            } else {
                // A repeated section continues the first one of that name.
                current = &ini.m_sections[it.value()];
            }
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (eq <= 0 || !current)
            continue;
        const QString key = trimmed(line.left(eq)).toString();
        if (key.isEmpty())
            continue;
        current->entries.append({key, trimmed(line.mid(eq + 1)).toString()});
    }
    return ini;
}

const IniFile::Section *IniFile::findSection(const QString &name) const
{
    auto it = m_byName.constFind(fold(name));
    return it == m_byName.constEnd() ? nullptr : &m_sections[it.value()];
}

const IniFile::Entry *IniFile::findEntry(const QString &section, const QString &key) const
{
    const Section *s = findSection(section);
    if (!s)
        return nullptr;
    const qsizetype i = findKey(*s, key);
    return i < 0 ? nullptr : &s->entries[i];
}

qsizetype IniFile::findKey(const Section &section, const QString &key)
{
    for (qsizetype i = 0; i < section.entries.size(); ++i) {
        if (section.entries[i].key.compare(key, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

bool IniFile::sectionExists(const QString &section) const
{
    const Section *s = findSection(section);
    return s && !s->entries.isEmpty();
}

QStringList IniFile::keys(const QString &section) const
{
    QStringList list;
    for (const auto &[key, value] : entries(section))
        list << key;
    return list;
}

QList<std::pair<QString, QString>> IniFile::entries(const QString &section) const
{
    QList<std::pair<QString, QString>> list;
    const Section *s = findSection(section);
    if (!s)
        return list;
    list.reserve(s->entries.size());
    for (const Entry &e : s->entries)
        list.append({e.key, e.value});
    return list;
}

QString IniFile::readString(const QString &section, const QString &key,
                            const QString &defaultValue) const
{
    const Entry *e = findEntry(section, key);
    return e ? e->value : defaultValue;
}

std::optional<int> IniFile::parseInteger(const QString &text)
{
    QString t = text.trimmed();
    bool negative = false;
    if (t.startsWith(u'-') || t.startsWith(u'+')) {
        negative = t.startsWith(u'-');
        t.remove(0, 1);
    }
    if (t.isEmpty())
        return std::nullopt;
    bool ok = false;
    qlonglong value = 0;
    if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        const QString digits = t.mid(2);
        if (digits.isEmpty())
            return std::nullopt;
        for (QChar c : digits) {
            if (!isxdigit(c.toLatin1()) || c.unicode() > 0x7f)
                return std::nullopt;
        }
        value = digits.toLongLong(&ok, 16);
    } else {
        for (QChar c : t) {
            if (c < u'0' || c > u'9')
                return std::nullopt;
        }
        value = t.toLongLong(&ok, 10);
    }
    if (!ok)
        return std::nullopt;
    if (negative)
        value = -value;
    // Hexadecimal values up to 0xFFFFFFFF wrap to negative numbers, as 32-bit
    // readers always took them.
    if (value > 0xFFFFFFFFLL || value < -0x80000000LL)
        return std::nullopt;
    return static_cast<int>(static_cast<qint32>(static_cast<quint32>(value)));
}

int IniFile::readInteger(const QString &section, const QString &key, int defaultValue) const
{
    const Entry *e = findEntry(section, key);
    if (!e)
        return defaultValue;
    return parseInteger(e->value).value_or(defaultValue);
}

bool IniFile::readBool(const QString &section, const QString &key, bool defaultValue) const
{
    return readInteger(section, key, defaultValue ? 1 : 0) != 0;
}

IniFile::Section &IniFile::sectionForWriting(const QString &name)
{
    const QString folded = fold(name);
    auto it = m_byName.constFind(folded);
    if (it != m_byName.constEnd())
        return m_sections[it.value()];
    m_sections.append({oneLine(name), {}});
    m_byName.insert(folded, static_cast<int>(m_sections.size() - 1));
    return m_sections.last();
}

void IniFile::writeString(const QString &section, const QString &key, const QString &value)
{
    Section &s = sectionForWriting(section);
    const qsizetype i = findKey(s, key);
    if (i >= 0) {
        s.entries[i].value = oneLine(value);
        return;
    }
    s.entries.append({oneLine(key), oneLine(value)});
}

void IniFile::appendString(const QString &section, const QString &key, const QString &value)
{
    Section &s = sectionForWriting(section);
    s.entries.append({oneLine(key), oneLine(value)});
}

void IniFile::writeInteger(const QString &section, const QString &key, int value)
{
    writeString(section, key, QString::number(value));
}

void IniFile::writeBool(const QString &section, const QString &key, bool value)
{
    writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

QByteArray IniFile::toBytes() const
{
    QString text;
    for (const Section &s : m_sections) {
        text += u'[' + s.name + QStringLiteral("]\r\n");
        for (const Entry &e : s.entries)
            text += e.key + u'=' + e.value + QStringLiteral("\r\n");
    }
    return text.toUtf8();
}
