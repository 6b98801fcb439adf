// A zip from anywhere, unpacked into a folder the way the open command
// unpacks an archive. Whatever it holds, nothing may land outside the folder;
// and what it unpacks must be exactly what the in-memory reader reads, entry
// for entry.

#include "fuzzsupport.h"
#include "search/archiveindexer.h"
#include "zip/zipreader.h"

#include <QDir>
#include <QDirIterator>
#include <QMap>

namespace {

// Every file below folder with its bytes, by path relative to it.
QMap<QString, QByteArray> filesBelow(const QString &folder)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        FUZZ_CHECK(file.open(QIODevice::ReadOnly), path);
        files.insert(QDir(folder).relativeFilePath(path), file.readAll());
    }
    return files;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const FuzzSupport::CpuBudget budget;
    const QDir scratch(FuzzSupport::scratch().path());
    const QString zip = FuzzSupport::writeScratchFile(QStringLiteral("input.zip"), data, size);
    const QString destination = scratch.filePath(QStringLiteral("unpacked"));
    QDir(destination).removeRecursively();

    const auto unpacked = ZipReader::extract(zip, destination);
    const QStringList around = scratch.entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                                 QDir::NoDotAndDotDot);
    FUZZ_CHECK(around.size() <= 2 && around.contains(QStringLiteral("input.zip")),
               QStringLiteral("written beside the folder: %1").arg(around.join(u' ')));
    if (!unpacked) {
        FUZZ_CHECK(!unpacked.failure().detail.isEmpty(),
                   QStringLiteral("refused without a reason"));
        return 0;
    }

    // The reader must take what unpacking took, and read the same bytes.
    ZipReader reader;
    const auto opened = reader.open(zip);
    FUZZ_CHECK(opened, QStringLiteral("unpacked, but the reader refuses it: %1")
                           .arg(opened ? QString() : opened.failure().detail));
    QMap<QString, QByteArray> read;
    for (qsizetype i = 0; i < reader.entries().size(); ++i) {
        const ZipReader::Entry entry = reader.entries().at(i);
        if (entry.isFolder())
            continue;
        const auto contents = reader.read(i, ArchiveIndexer::kMaxEntryBytes);
        FUZZ_CHECK(contents, QStringLiteral("unpacked, but the reader cannot read it: %1")
                                 .arg(contents ? QString() : contents.failure().detail));
        // Unpacking skips empty folder levels, as the guard's landing places do.
        const QString landing = entry.name.split(u'/', Qt::SkipEmptyParts).join(u'/');
        read.insert(landing, *contents);
    }
    const QMap<QString, QByteArray> files = filesBelow(destination);
    FUZZ_CHECK(files.keys() == read.keys(),
               QStringLiteral("unpacked %1, read %2")
                   .arg(FuzzSupport::shown(files.keys().join(u' ')),
                        FuzzSupport::shown(read.keys().join(u' '))));
    FUZZ_CHECK(files == read, QStringLiteral("an unpacked file differs from what was read"));
    return 0;
}
