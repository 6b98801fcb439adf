#pragma once

// Helpers for the zip tests: a raw zip writer for archives no well-behaved tool
// would make, and runners for the peers (Info-ZIP, Python) the zips are checked with.

#include "seedcorpus.h"

#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QtEndian>
#include <zlib.h>

namespace ZipTestKit {

inline QByteArray deflateRaw(const QByteArray &data)
{
    z_stream s{};
    deflateInit2(&s, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(int(deflateBound(&s, uLong(data.size()))), Qt::Uninitialized);
    s.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    s.avail_in = uInt(data.size());
    s.next_out = reinterpret_cast<Bytef *>(out.data());
    s.avail_out = uInt(out.size());
    deflate(&s, Z_FINISH);
    out.resize(qsizetype(s.total_out));
    deflateEnd(&s);
    return out;
}

inline quint32 crcOf(const QByteArray &data)
{
    return quint32(crc32(0, reinterpret_cast<const Bytef *>(data.constData()), uInt(data.size())));
}

inline void put16(QByteArray &b, quint32 v)
{
    b.append(char(v & 0xFF));
    b.append(char((v >> 8) & 0xFF));
}

inline void put32(QByteArray &b, quint32 v)
{
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

// One entry of a hand-made zip. Sizes and CRC follow the content unless set.
struct RawEntry {
    RawEntry(const QByteArray &name, const QByteArray &content = {}, bool deflate = true)
        : name(name), content(content), deflate(deflate)
    {
    }
    QByteArray name;
    QByteArray content; // uncompressed
    bool deflate = true;
    quint16 flags = 0;
    quint16 versionMadeBy = 20;
    quint32 externalAttributes = 0;
    qint64 declaredSize = -1;       // uncompressed size in both headers
    qint64 declaredCompressed = -1; // compressed size in both headers
    qint64 directoryOffset = -1;    // no local record; the directory points here instead
    int nameLengthField = -1;       // what the central header claims

    QByteArray data() const { return deflate ? deflateRaw(content) : content; }
    quint32 size() const
    {
        return declaredSize >= 0 ? quint32(declaredSize) : quint32(content.size());
    }
    quint32 packed() const
    {
        return declaredCompressed >= 0 ? quint32(declaredCompressed) : quint32(data().size());
    }

    // Signature, header fields common to both records, from the version needed on.
    void putCommon(QByteArray &b) const
    {
        put16(b, 20);
        put16(b, flags);
        put16(b, deflate ? 8 : 0);
        put32(b, 0x5A210000); // 2025-01-01 00:00
        put32(b, crcOf(content));
        put32(b, packed());
        put32(b, size());
    }

    QByteArray localRecord() const
    {
        QByteArray b;
        put32(b, 0x04034b50);
        putCommon(b);
        put16(b, quint32(name.size()));
        put16(b, 0);
        return b + name + data();
    }
};

inline QByteArray buildZip(const QList<RawEntry> &entries)
{
    QByteArray zip;
    QByteArray directory;
    for (const RawEntry &e : entries) {
        quint32 offset = quint32(e.directoryOffset);
        if (e.directoryOffset < 0) {
            offset = quint32(zip.size());
            zip += e.localRecord();
        }
        put32(directory, 0x02014b50);
        put16(directory, e.versionMadeBy);
        e.putCommon(directory);
        put16(directory,
              e.nameLengthField >= 0 ? quint32(e.nameLengthField) : quint32(e.name.size()));
        put16(directory, 0);
        put16(directory, 0);
        put16(directory, 0);
        put16(directory, 0);
        put32(directory, e.externalAttributes);
        put32(directory, offset);
        directory += e.name;
    }
    const quint32 directoryOffset = quint32(zip.size());
    zip += directory;
    put32(zip, 0x06054b50);
    put16(zip, 0);
    put16(zip, 0);
    put16(zip, quint32(entries.size()));
    put16(zip, quint32(entries.size()));
    put32(zip, quint32(directory.size()));
    put32(zip, directoryOffset);
    put16(zip, 0);
    return zip;
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        return false;
    f.close();
    SeedCorpus::keepFile(path);
    return true;
}

inline QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Runs a program; returns its exit code, or -1 when it could not start or crashed.
inline int run(const QString &program, const QStringList &args, QByteArray *output = nullptr,
               const QString &workingDir = {})
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    if (!workingDir.isEmpty())
        p.setWorkingDirectory(workingDir);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    p.setProcessEnvironment(env);
    p.start(program, args);
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit) {
        if (output)
            *output = p.readAll();
        return -1;
    }
    if (output)
        *output = p.readAll();
    return p.exitCode();
}

inline int python(const QString &script, const QStringList &args, QByteArray *output = nullptr)
{
    return run(QStringLiteral("python3"), QStringList{QStringLiteral("-c"), script} + args, output);
}

// Every file and folder below root, as relative paths with "/" after folders, sorted.
inline QStringList tree(const QString &root)
{
    QStringList out;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    const QDir base(root);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        QString rel = base.relativeFilePath(info.filePath());
        if (info.isDir() && !info.isSymLink())
            rel += QLatin1Char('/');
        out.append(rel);
    }
    out.sort();
    return out;
}

} // namespace ZipTestKit
