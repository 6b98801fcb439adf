#pragma once

#include "base/expected.h"
#include "storage/storagefailure.h"
#include "zip/unpackrecord.h"

#include <QString>
#include <QStringList>
#include <functional>

class ZipWriter;

// Writing a folder back into its zip, so that no archive is ever lost on the
// way: the zip is written to a temporary file beside the old one, synced, and
// renamed over it only when every file went in; otherwise the old zip stays
// as it was. Every file below the folder goes in (the list file too, as it
// is there). A link is never followed nor left out: it fails the write-back,
// named, as does a folder below that cannot be listed, and files the zip
// could not hold (ZipLimits) are refused before anything is written.
namespace FolderZip {

// Called from the writer's threads, one call at a time: bytes 0 just before
// the file at relative is read, then the size of each block of its
// compressed data.
using Progress = std::function<void(const QString &relative, qint64 bytes)>;

// Writes folder into zipPath (or the file a link there names). With the
// record of what folder was unpacked from or last written to, files still as
// it names them are copied from that zip instead of being compressed again.
// The record of the new zip, or why nothing was replaced (NothingToSave for
// a missing or empty folder: an empty zip would replace the old one for
// nothing).
Expected<UnpackRecord, StorageFailure> write(const QString &folder, const QString &zipPath,
                                             ZipWriter &writer,
                                             const UnpackRecord *previous = nullptr,
                                             const Progress &progress = {});

// The path relative to folder ("/" between levels) of every file below it,
// in file-system order; links are not followed. NotRead, with the folder
// below that cannot be listed, when the list is not whole.
Expected<QStringList, StorageFailure> filesBelow(const QString &folder);

} // namespace FolderZip
