#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>

// The settings file in the classic INI layout: "[section]" lines, then
// "key=value" lines, CR LF line ends. Section names and keys match without
// regard to letter case; the first of two equal keys wins when reading. Keys
// and values are read whole, however many and however long: the old readers'
// limits (2047 characters a value, 16 KB of key names a section) dropped
// archives from large catalogues.
class IniFile {
public:
    // Reads each line as UTF-8 when it is valid UTF-8, else as Windows-1251,
    // so that one line typed on an old system leaves the others alone. Lines
    // that are neither a section nor a key (garbage, comments) are skipped,
    // and so are keys before the first section.
    static IniFile fromBytes(const QByteArray &bytes);

    // A section exists when it holds at least one key.
    bool sectionExists(const QString &section) const;
    // Key names of a section in file order.
    QStringList keys(const QString &section) const;
    // The same keys with the value of each line itself, so that keys equal
    // but for letter case each keep their own value.
    QList<std::pair<QString, QString>> entries(const QString &section) const;
    QString readString(const QString &section, const QString &key,
                       const QString &defaultValue) const;
    // A whole number, decimal or hexadecimal with "0x"; anything else gives
    // the default.
    int readInteger(const QString &section, const QString &key, int defaultValue) const;
    bool readBool(const QString &section, const QString &key, bool defaultValue) const;

    // Sets a key, replacing the value of an existing key of any letter case,
    // else appending it; a missing section is appended at the end.
    void writeString(const QString &section, const QString &key, const QString &value);
    void writeInteger(const QString &section, const QString &key, int value);
    void writeBool(const QString &section, const QString &key, bool value);
    // Adds a line even when a key of that name exists (catalogue sections,
    // where every archive keeps its own line).
    void appendString(const QString &section, const QString &key, const QString &value);

    // UTF-8 text with CR LF line ends, sections in the order they were written.
    QByteArray toBytes() const;

    static std::optional<int> parseInteger(const QString &text);

private:
    struct Entry {
        QString key;
        QString value;
    };
    struct Section {
        QString name;
        QList<Entry> entries;
    };

    const Section *findSection(const QString &name) const;
    // The first entry of that key in any letter case. Keys are looked up only
    // in "Parameters" and when a section is started: a search through the
    // entries costs less than a hash table in each of thousands of sections.
    static qsizetype findKey(const Section &section, const QString &key);
    const Entry *findEntry(const QString &section, const QString &key) const;
    Section &sectionForWriting(const QString &name);
    static QString fold(const QString &s) { return s.toCaseFolded(); }

    QList<Section> m_sections;
    QHash<QString, int> m_byName; // folded section name -> first section
};
