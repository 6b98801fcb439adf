#pragma once

#include "seedcorpus.h"
#include "storage/listfile.h"
#include "testfiles.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QMap>

// Zips on disk as the tests make and read them, through Info-ZIP.
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

// Every file of the zip with its bytes, unpacked by Info-ZIP into scratch;
// empty when the zip does not pass "unzip -t".
inline Files unzipped(const QString &zip, const QString &scratch)
{
    if (TestFiles::run("unzip", {"-tq", zip}) != 0)
        return {};
    QDir(scratch).removeRecursively();
    if (TestFiles::run("unzip", {"-q", zip, "-d", scratch}) != 0)
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
