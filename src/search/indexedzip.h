#pragma once

#include "check/knownzip.h"

#include <QString>
#include <optional>

// What the search index in indexFolder knows of the zip at zipPath (its size
// when last indexed, and its pages' names, CRCs and sizes), so that a zip that
// is gone can be known again elsewhere; nothing when the index does not know it.
std::optional<KnownZip> indexedZip(const QString &indexFolder, const QString &zipPath);
