#pragma once

#include "check/knownzip.h"

#include <QList>
#include <QString>
#include <QStringList>

// Looking for an archive's zip that is no longer where the catalogue says:
// moved to another folder, or renamed.
namespace ZipFinder {

struct Candidate {
    QString path;
    bool sameName = false;
    bool sameSize = false;
    int pagesMatched = 0; // pages known with the same name, CRC and size
};

// The files below folder (sub-folders too; links are not followed, folders in
// skipped not entered) that may be the zip fileName: files of that name, and,
// when known says what the zip held, zip files holding most of its pages (or
// of its size, when no page is known). Files in taken (the zips of other
// catalogue entries) are left out. Best first: the name, then the pages
// matched, then the size.
QList<Candidate> find(const QString &folder, const QString &fileName, const KnownZip &known,
                      const QStringList &taken, const QStringList &skipped);

// Whether two candidates are as good as each other.
bool sameRank(const Candidate &a, const Candidate &b);

} // namespace ZipFinder
