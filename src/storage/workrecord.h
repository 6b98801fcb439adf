#pragma once

#include "storage/zipstamp.h"

#include <QString>
#include <optional>

// Which archive a working folder belongs to: its zip and its entry in the
// catalogue. Kept in a small file beside the working folder (never inside it,
// where it would be zipped into the archive), so that a working copy left by a
// killed program can still be written back where it came from.
struct WorkRecord {
    QString zipPath;
    QString section; // the catalogue entry, as it was named when the archive was opened
    QString archive;
    // The zip as the working copy was made from it (or last written back to
    // it); none in records of older copies of the program.
    std::optional<ZipStamp> zipStamp = {};
    // Whether the working copy holds changes its zip does not have. A record
    // without this (from an older copy of the program) counts as holding them.
    bool holdsChanges = true;
    // Whether the working copy is still being unpacked from its zip: it holds
    // nothing the zip lacks, and not all of it.
    bool beingMade = false;

    // The record's file for a working folder: beside it, named after it.
    static QString pathFor(const QString &workFolder);

    // Replaces the record of workFolder; false when it could not be written.
    bool write(const QString &workFolder) const;
    // The record of workFolder; none when there is none or it cannot be read.
    static std::optional<WorkRecord> read(const QString &workFolder);
    // Removes the record of workFolder; true when none is left.
    static bool remove(const QString &workFolder);

    bool operator==(const WorkRecord &) const = default;
};
