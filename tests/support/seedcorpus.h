#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

// The inputs the tests build, kept as the fuzz targets' first inputs: when
// TOMEKEEPER_SEED_DIR is set (fuzz/make-seeds.sh sets it), each input is also
// written to <dir>/<kind>/, named by its content. Otherwise nothing happens.
// The kinds are the fuzz targets' seed folders: zip, entryname, listfile,
// settings, pagetext, mht, search.
namespace SeedCorpus {

void keep(const char *kind, const QByteArray &bytes);
// A file the tests wrote, by what its name says it is.
void keepFile(const QString &path);
// An entry name as a zip's central directory record holds it.
void keepEntryName(const QByteArray &raw, std::uint16_t flags, const QByteArray &extra,
                   std::uint16_t versionMadeBy);

} // namespace SeedCorpus
