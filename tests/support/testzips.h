#pragma once

#include "seedcorpus.h"
#include "storage/listfile.h"
#include "testfiles.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QMap>

// Zips on disk as the tests make and check them: through Info-ZIP and
// Python's zipfile, peers that share no code with the program.
namespace TestZips {

using Files = QMap<QString, QByteArray>; // relative path, bytes

inline Files filesBelow(const QString &folder)
{
    Files files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(QDir(folder).relativeFilePath(path), TestFiles::read(path));
    }
    return files;
}

// Whether Info-ZIP finds every entry of the zip sound ("unzip -t").
inline bool passesTest(const QString &zip)
{
    return TestFiles::run("unzip", {"-tqq", zip}) == 0;
}

// The entries of the zip as Info-ZIP lists them, sorted.
inline QStringList names(const QString &zip)
{
    QByteArray out;
    TestFiles::run("unzip", {"-Z1", zip}, &out);
    QStringList names = QString::fromUtf8(out).split(u'\n', Qt::SkipEmptyParts);
    names.sort();
    return names;
}

// One entry's bytes as Info-ZIP unpacks it.
inline QByteArray entry(const QString &zip, const QString &name)
{
    QByteArray out;
    TestFiles::run("unzip", {"-p", zip, name}, &out);
    return out;
}

// Every entry with its bytes as Python's zipfile reads them, after its own CRC
// check (names without the UTF-8 flag read as code page 866); empty when it
// cannot read the zip.
inline Files contents(const QString &zip)
{
    static const char *const script =
        "import sys, zipfile, base64\n"
        "z = zipfile.ZipFile(sys.argv[1], metadata_encoding='cp866')\n"
        "if z.testzip() is not None: sys.exit(3)\n"
        "for i in z.infolist():\n"
        "    sys.stdout.buffer.write(i.filename.encode() + b'\\t' + "
        "base64.b64encode(z.read(i)) + b'\\n')\n";
    QByteArray out;
    Files entries;
    if (TestFiles::run("python3", {"-c", QString::fromLatin1(script), zip}, &out) != 0)
        return entries;
    for (const QByteArray &line : out.split('\n')) {
        const qsizetype tab = line.indexOf('\t');
        if (tab > 0)
            entries.insert(QString::fromUtf8(line.left(tab)), QByteArray::fromBase64(line.mid(tab + 1)));
    }
    return entries;
}

// Unpacks what Info-ZIP can of the zip into folder, emptied first; false
// when it could not unpack all of it.
inline bool unpack(const QString &zip, const QString &folder)
{
    QDir(folder).removeRecursively();
    return TestFiles::run("unzip", {"-q", zip, "-d", folder}) == 0;
}

// Every file of the zip with its bytes, unpacked by Info-ZIP into scratch;
// empty when the zip does not pass "unzip -t".
inline Files unzipped(const QString &zip, const QString &scratch)
{
    if (!passesTest(zip) || !unpack(zip, scratch))
        return {};
    return filesBelow(scratch);
}

// A zip made on Linux by "zip -r" (names in UTF-8) from these files, laid
// out in scratch first.
inline bool zipTree(const QString &zip, const Files &files, const QString &scratch)
{
    QDir(scratch).removeRecursively();
    for (auto it = files.begin(); it != files.end(); ++it) {
        if (!TestFiles::write(scratch + "/" + it.key(), it.value()))
            return false;
    }
    QDir().mkpath(QFileInfo(zip).absolutePath());
    if (TestFiles::run("zip", {"-qrX", zip, "."}, nullptr, scratch) != 0)
        return false;
    SeedCorpus::keepFile(zip);
    return true;
}

// A page list file with these lines ("title=file\r\n" each).
inline QByteArray listFile(const QByteArray &lines)
{
    return QByteArray(ListFile::Header) + "\r\n" + lines + ListFile::End;
}

} // namespace TestZips
