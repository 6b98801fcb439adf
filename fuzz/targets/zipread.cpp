// A zip from anywhere, read the way the search index reads it: the whole
// directory checked when it is opened, then every entry read into memory and
// checked against its declared size and CRC.

#include "fuzzsupport.h"
#include "search/archiveindexer.h"
#include "zip/zipreader.h"

#include <zlib.h>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const FuzzSupport::CpuBudget budget;
    const QString path =
        FuzzSupport::writeScratchFile(QStringLiteral("input.zip"), data, size);
    ZipReader reader;
    if (const auto opened = reader.open(path); !opened) {
        FUZZ_CHECK(!opened.failure().detail.isEmpty(), QStringLiteral("refused without a reason"));
        FUZZ_CHECK(reader.entries().isEmpty(), QStringLiteral("a refused zip lists entries"));
        return 0;
    }
    const QList<ZipReader::Entry> entries = reader.entries();
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const ZipReader::Entry &entry = entries.at(i);
        FUZZ_CHECK(!entry.name.isEmpty(), QStringLiteral("an entry without a name was listed"));
        const auto read = reader.read(i, ArchiveIndexer::kMaxEntryBytes);
        if (!read) {
            FUZZ_CHECK(!read.failure().detail.isEmpty(),
                       QStringLiteral("a read failed without a reason"));
            continue;
        }
        const QByteArray &contents = *read;
        FUZZ_CHECK(std::uint64_t(contents.size()) == entry.size,
                   QStringLiteral("%1: %2 bytes read, %3 declared")
                       .arg(FuzzSupport::shown(entry.name))
                       .arg(contents.size())
                       .arg(entry.size));
        const auto crc = std::uint32_t(crc32(0, reinterpret_cast<const Bytef *>(contents.constData()),
                                             uInt(contents.size())));
        FUZZ_CHECK(crc == entry.crc,
                   QStringLiteral("%1: the CRC does not match").arg(FuzzSupport::shown(entry.name)));
    }
    return 0;
}
