#include "seedcorpus.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

// Larger inputs would only slow the fuzzing down.
constexpr qsizetype kMaxSeedBytes = qsizetype(1) << 20;

QString seedFolder()
{
    static const QString folder = qEnvironmentVariable("TOMEKEEPER_SEED_DIR");
    return folder;
}

void put16(QByteArray &out, std::uint32_t value)
{
    out.append(char(value & 0xFF));
    out.append(char((value >> 8) & 0xFF));
}

} // namespace

namespace SeedCorpus {

void keep(const char *kind, const QByteArray &bytes)
{
    if (seedFolder().isEmpty() || bytes.size() > kMaxSeedBytes)
        return;
    const QDir folder(seedFolder() + u'/' + QLatin1String(kind));
    folder.mkpath(QStringLiteral("."));
    QFile file(folder.filePath(
        QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex())));
    if (!file.exists() && file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

void keepFile(const QString &path)
{
    if (seedFolder().isEmpty())
        return;
    const QFileInfo info(path);
    const QString suffix = info.suffix().toLower();
    const char *kind = nullptr;
    if (suffix == u"zip")
        kind = "zip";
    else if (info.fileName().compare(u"listfile.txt", Qt::CaseInsensitive) == 0)
        kind = "listfile";
    else if (suffix == u"ini")
        kind = "settings";
    else if (suffix == u"mht" || suffix == u"mhtml")
        kind = "mht";
    else if (suffix.startsWith(u"htm") || suffix.endsWith(u"html"))
        kind = "pagetext";
    if (!kind || info.size() > kMaxSeedBytes)
        return;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly))
        keep(kind, file.readAll());
}

void keepEntryName(const QByteArray &raw, std::uint16_t flags, const QByteArray &extra,
                   std::uint16_t versionMadeBy)
{
    if (seedFolder().isEmpty())
        return;
    QByteArray record("PK\x01\x02", 4);
    put16(record, versionMadeBy);
    put16(record, 20); // version needed
    put16(record, flags);
    record.append(QByteArray(18, '\0')); // method, time, date, CRC, sizes
    put16(record, std::uint32_t(raw.size()));
    put16(record, std::uint32_t(extra.size()));
    record.append(QByteArray(14, '\0')); // comment, disk, attributes, offset
    keep("entryname", record + raw + extra);
}

} // namespace SeedCorpus
